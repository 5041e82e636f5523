// korvactl firmware for the KORVA10 class: the erase/write packet download runs the window's
// controller on a TimerQueue, and waits for the printer's DLE replies between its timers.
#include "cli/Korva10Download.h"

#include "app/ConnectionSummary.h"
#include "base/Prompter.h"
#include "base/TimerHost.h"
#include "cli/CliConnection.h"
#include "cli/FullPath.h"
#include "cli/HookedPrompter.h"
#include "cli/ScaledTimers.h"
#include "firmware/Korva10FirmwareScreen.h"

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace korva::cli {

namespace {

// Ctrl-C during a download is the screen's CANCEL.
std::atomic<bool> g_interrupted{false};
extern "C" void onKorva10Interrupt(int) {
    g_interrupted = true;
}

// The longest the loop waits before it looks at Ctrl-C again.
constexpr int kPollSliceMs = 100;

std::string plainCaption(const char* caption) {
    std::string text(caption);
    std::erase(text, '&');
    return text;
}

// Runs the download until the screen ends or stops; false when Ctrl-C cancelled it.
bool runScreen(Korva10FirmwareScreen& screen, TimerQueue& timers) {
    while (screen.running()) {
        if (g_interrupted.exchange(false)) {
            screen.cancel();
            return false;
        }
        std::int64_t due = timers.msUntilNext();
        if (due == 0) {
            timers.fireNext();
            continue;
        }
        int wait =
            due < 0 ? kPollSliceMs : static_cast<int>(std::min<std::int64_t>(due, kPollSliceMs));
        if (screen.waitForData(wait))
            screen.pumpReplies();
    }
    return true;
}

} // namespace

int runKorva10Info(const std::string& file, const std::string& model, bool json) {
    std::error_code ec;
    const auto status = std::filesystem::status(file, ec);
    if (ec || !std::filesystem::is_regular_file(status)) {
        std::fprintf(stderr, "ERROR : File Open\n");
        return 1;
    }
    const std::uint64_t size = std::filesystem::file_size(file, ec);
    if (ec) {
        std::fprintf(stderr, "ERROR : File Open\n");
        return 1;
    }
    nlohmann::ordered_json out;
    out["file"] = file;
    out["size"] = size;
    out["model"] = model;
    out["areas"] = nlohmann::ordered_json::array();
    bool anyFits = false;
    for (const Korva10Area& a : korva10::areas()) {
        if (!a.enabled)
            continue;
        const bool fits = size >= a.end;
        anyFits = anyFits || fits;
        out["areas"].push_back({{"area", a.name},
                                {"caption", plainCaption(a.caption)},
                                {"start", a.start},
                                {"end", a.end},
                                {"length", a.length()},
                                {"firstSector", a.firstSector},
                                {"lastSector", a.lastSector},
                                {"eraseWaitMs", a.eraseWaitMs},
                                {"writePackets", korva10::writePacketCount(a)},
                                {"inFile", fits}});
    }
    if (json) {
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("file        %s\nsize        %llu bytes\n", file.c_str(),
                    static_cast<unsigned long long>(size));
        for (const auto& a : out["areas"])
            std::printf(
                "%-8s 0x%06X..0x%06X length %6u sectors 0x%02X..0x%02X erase wait 6 x %u ms "
                "%3d write packets%s\n",
                a["area"].get<std::string>().c_str(), a["start"].get<unsigned>(),
                a["end"].get<unsigned>(), a["length"].get<unsigned>(),
                a["firstSector"].get<unsigned>(), a["lastSector"].get<unsigned>(),
                a["eraseWaitMs"].get<unsigned>(), a["writePackets"].get<int>(),
                a["inFile"].get<bool>() ? "" : "  (not in the file: it is too short)");
    }
    if (!anyFits) {
        std::fprintf(stderr, "The file is too short for every area.\n");
        return 1;
    }
    return 0;
}

int runKorva10Download(const std::string& file, const std::string& areaName,
                       CliConnection& connection) {
    const Korva10Area* area = korva10::areaNamed(areaName);
    if (!area) {
        std::fprintf(stderr,
                     "korvactl: KORVA10 printers have the areas program, boot and font, not %s\n",
                     areaName.c_str());
        return 2;
    }
    AppContext& app = connection.app();
    CPorts& ports = app.ports;
    if (portKindOf(ports.m_PortName) == PortKind::None) {
        // The packets go through the port connection only: COM, LPT, USB or a file.
        std::fprintf(stderr,
                     "korvactl: KORVA10 printers take firmware over COM, LPT or USB, not %s\n",
                     ports.m_PortName.c_str());
        return 2;
    }
    ports.Close();
    // The port's own write bound (100 ms a byte: 52 s for a packet a stalled parallel printer
    // does not take) shrinks with the screen's bounds, or a virtual printer that stops reading
    // would hold the download far longer than a silent one.
    const int scale = connection.pauseScale();
    ports.m_WriteTimeoutPerByteMs = std::max(1, ports.m_WriteTimeoutPerByteMs / scale);
    ports.m_PrinterMinWriteWaitMs = std::max(1, ports.m_PrinterMinWriteWaitMs / scale);

    TimerRelay relay;
    TimerQueue queue(connection.clock(), relay);
    ScaledTimers timers(queue, connection.pauseScale());
    HookedPrompter prompter(connection.prompter());
    Korva10FirmwareScreen screen(Korva10FirmwareContext{ports, app.log, app.catalogue, prompter,
                                                        connection.pauseClock(), app.profile,
                                                        app.langId, connectionSummary(ports)},
                                 timers);
    relay.target = &screen;
    screen.open();
    screen.setFile(fullPath(file));
    screen.chooseArea(static_cast<int>(area - korva10::areas().data()));

    std::fprintf(stderr, "%s: 0x%06X..0x%06X, %u bytes, %d write packets\n",
                 plainCaption(area->caption).c_str(), area->start, area->end, area->length(),
                 korva10::writePacketCount(*area));
    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    std::uint32_t lastPercent = 101;
    std::string lastTitle;
    bool lineOpen = false;
    // The progress line ends before any message, so "COMPLETED", why it stopped and the file
    // name question start on their own line.
    prompter.before = [&] {
        if (lineOpen)
            std::fprintf(stderr, "\n");
        lineOpen = false;
    };
    screen.onProgress = [&] {
        const Korva10FirmwareView& v = screen.view();
        if (!terminal || !screen.running())
            return;
        // The title changes before the first packet sets the position.
        const std::uint32_t done = v.progress > v.progressMin ? v.progress - v.progressMin : 0;
        const std::uint32_t percent = done * 100u / (v.progressMax - v.progressMin);
        if (percent == lastPercent && v.title == lastTitle)
            return;
        lastPercent = percent;
        lastTitle = v.title;
        std::fprintf(stderr, "\r%-20s %u of %u bytes - %u %%", v.title.c_str(), done,
                     v.progressMax - v.progressMin, percent);
        lineOpen = true;
    };

    g_interrupted = false;
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = onKorva10Interrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previous);
    bool finished = false;
    if (screen.ok())
        finished = runScreen(screen, queue);
    ::sigaction(SIGINT, &previous, nullptr);
    screen.onProgress = nullptr;
    relay.target = nullptr;
    prompter.before();
    if (screen.packetsSent() > 0)
        std::fprintf(stderr, "%d packets sent\n", screen.packetsSent());
    if (!finished && screen.outcome() == Korva10FirmwareScreen::Outcome::Cancelled) {
        std::fprintf(stderr, "korvactl: stopped; the printer did not get the whole area\n");
        return 1;
    }
    // Every other ending has shown its message: COMPLETED, or why the download stopped.
    return screen.outcome() == Korva10FirmwareScreen::Outcome::Completed ? 0 : 1;
}

} // namespace korva::cli
