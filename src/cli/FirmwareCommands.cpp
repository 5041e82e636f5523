// korvactl firmware ...: the firmware download screen's jobs from the command line: what an
// image holds, and the download of one flash area through the screen's own controller.
#include "app/ConnectionSummary.h"
#include "app/ModelRules.h"
#include "cli/CliConnection.h"
#include "cli/Commands.h"
#include "cli/FullPath.h"
#include "cli/HookedPrompter.h"
#include "cli/Korva10Download.h"
#include "firmware/AreaFrame.h"
#include "firmware/FirmwareImage.h"
#include "firmware/FirmwareScreen.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace korva::cli {

namespace {

constexpr int kShortestStallLimitMs = 2000;
// The longest the console waits before it looks at Ctrl-C and the progress again.
constexpr int kPollSliceMs = 100;

struct FirmwareArgs {
    std::string file;
    std::string area = "program";
    bool json = false;
    bool expert = false;
};

// Ctrl-C during a download: the transfer stops between two blocks.
std::atomic<bool> g_interrupted{false};
extern "C" void onInterrupt(int) {
    g_interrupted = true;
}

int runInfo(const FirmwareArgs& args, const CliOptions& options) {
    if (modelKind(options.model) == ModelKindKorva10)
        return runKorva10Info(args.file, options.model, args.json);
    std::error_code ec;
    auto size = std::filesystem::file_size(args.file, ec);
    if (ec) {
        std::fprintf(stderr, "ERROR : File Open\n");
        return 1;
    }
    FirmwareImage image;
    FirmwareImage::Load loaded = image.load(args.file);
    auto trailer = readFirmwareTrailer(args.file);
    int kind = modelKind(options.model);
    nlohmann::ordered_json out;
    out["file"] = args.file;
    out["size"] = size;
    out["signature"] = trailer && trailer->signatureOk;
    out["bootEnable"] = trailer ? trailer->bootEnable : 0;
    out["bootAllowed"] = trailer && bootAllowed(trailer->bootEnable);
    out["model"] = options.model;
    out["areas"] = nlohmann::ordered_json::array();
    if (loaded == FirmwareImage::Load::Ok) {
        for (int i = 0; i < kFirmwareAreaCount; ++i) {
            FirmwareArea area = firmwareArea(i, kind);
            AreaFrame frame(image.bytes(), area);
            out["areas"].push_back({{"area", areaName(i)},
                                    {"caption", areaCaption(i, false)},
                                    {"offset", area.offset},
                                    {"length", area.length},
                                    {"code", area.code},
                                    {"checksum", frame.checksumText()}});
        }
    }
    if (args.json) {
        std::printf("%s\n", out.dump(2).c_str());
    } else {
        std::printf("file        %s\nsize        %llu bytes\nsignature   %s\nboot-enable %u (%s)\n",
                    args.file.c_str(), static_cast<unsigned long long>(size),
                    out["signature"].get<bool>() ? "QOLT" : "missing",
                    out["bootEnable"].get<unsigned>(),
                    out["bootAllowed"].get<bool>() ? "Boot Area allowed" : "Boot Area locked");
        for (const auto& a : out["areas"])
            std::printf("%-9s offset 0x%06X length %7u code 0x%02X checksum %s\n",
                        a["area"].get<std::string>().c_str(), a["offset"].get<unsigned>(),
                        a["length"].get<unsigned>(), a["code"].get<unsigned>(),
                        a["checksum"].get<std::string>().c_str());
    }
    if (size != kFirmwareFileSize) {
        std::fprintf(stderr, "FileSize (%llu bytes) Error!\n",
                     static_cast<unsigned long long>(size));
        return 1;
    }
    if (loaded != FirmwareImage::Load::Ok) {
        std::fprintf(stderr, "Wrong File!\n");
        return 1;
    }
    return 0;
}

// Shows the window's message for a file that cannot be downloaded to any area; false for an image.
bool imageFault(const std::string& path, Prompter& prompter) {
    FirmwareImage image;
    char size[64];
    switch (image.load(path)) {
    case FirmwareImage::Load::OpenFailed:
        prompter.message("ERROR : File Open", kAppName, Icon::Stop, Buttons::Ok);
        return true;
    case FirmwareImage::Load::WrongSize:
        std::snprintf(size, sizeof size, "FileSize (%llu bytes) Error!",
                      static_cast<unsigned long long>(image.fileSize()));
        prompter.message(size, "Error", Icon::Stop, Buttons::Ok);
        return true;
    case FirmwareImage::Load::ShortRead:
        prompter.message("ERROR : File Size Error", kAppName, Icon::Stop, Buttons::Ok);
        return true;
    case FirmwareImage::Load::WrongSignature:
        prompter.message("Wrong File!", "Error", Icon::Stop, Buttons::Ok);
        return true;
    default:
        return false;
    }
}

// Why the screen keeps an area's button disabled, in the command line's words.
std::string areaRefusal(int area, bool expert) {
    if (area == AreaLcdFont)
        return "the LCD font area is only for KORVA40 printers";
    if (!expert)
        return std::string("the ") + areaCaption(area, false) + " needs --expert";
    return "the Boot Area needs an image whose boot-enable byte is 1 to 10";
}

// The window's controller with the file and area of the command line: File Open is the FILE
// argument, the area's radio button --area, expert mode --expert; the controller checks, asks
// and sends as the window does, and the console shows its progress.
int runDownload(const FirmwareArgs& args, const CliOptions& options) {
    CliConnection connection(options);
    if (modelKind(options.model) == ModelKindKorva10) {
        // KORVA10-class printers take their firmware by erase and write packets, not by frame.
        if (!connection.choose())
            return connection.refusalStatus();
        return runKorva10Download(args.file, args.area, connection);
    }
    auto area = areaFromName(args.area);
    if (!area) {
        if (args.area == "font")
            std::fprintf(stderr, "korvactl: the font area is only for KORVA10 printers\n");
        else
            std::fprintf(stderr, "korvactl: unknown area %s\n", args.area.c_str());
        return 2;
    }
    if (!connection.choose())
        return connection.refusalStatus();
    AppContext& app = connection.app();
    HookedPrompter prompter(connection.prompter());
    // The no-progress bound shrinks with the pauses, down to a floor that a loaded machine
    // feeding a virtual printer still meets.
    const int stallLimitMs =
        connection.pauseScale() > 1
            ? std::max(kShortestStallLimitMs, AreaTransfer::kStallLimitMs / connection.pauseScale())
            : AreaTransfer::kStallLimitMs;
    // The settling wait is the printer's time to take the frame in: the pause clock, which tests
    // against a virtual printer may shorten.
    FirmwareScreen screen(FirmwareContext{app.ports, app.socket, app.ethernet, app.log,
                                          app.catalogue, prompter, connection.pauseClock(),
                                          app.profile, app.langId, connectionSummary(app.ports),
                                          stallLimitMs});
    screen.open(args.expert, fullPath(args.file));
    if (!screen.chooseArea(*area)) {
        // A file that is no image at all is refused for what it is, as for any other area.
        if (*area == AreaBoot && args.expert && imageFault(screen.view().path, prompter))
            return 1;
        std::fprintf(stderr, "korvactl: %s\n", areaRefusal(*area, args.expert).c_str());
        return 2;
    }
    if (!screen.download())
        return 1;
    const FirmwareView& view = screen.view();
    const std::uint32_t length = view.progressMax - kProgressSlack;
    std::fprintf(stderr, "%s: %u bytes, CHECKSUM %s\n", areaCaption(*area, false), length,
                 view.checksum.c_str());

    const bool terminal = ::isatty(STDERR_FILENO) != 0;
    std::uint32_t lastPercent = 101;
    bool lineOpen = false;
    prompter.before = [&] {
        if (lineOpen)
            std::fprintf(stderr, "\n");
        lineOpen = false;
    };
    g_interrupted = false;
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = onInterrupt;
    ::sigaction(SIGINT, &action, &previous);
    while (!screen.waitForTransfer(kPollSliceMs)) {
        if (g_interrupted.exchange(false))
            screen.stop();
        const std::uint32_t percent = titlePercent(view.progress, length);
        if (!terminal || percent == lastPercent)
            continue;
        lastPercent = percent;
        if (screen.state() == FirmwareScreen::State::Settling)
            std::fprintf(stderr, "\rsettling - %u %%              ", percent);
        else
            std::fprintf(stderr, "\r%u of %u bytes - %u %%", std::min(view.progress, length),
                         length, percent);
        lineOpen = true;
    }
    ::sigaction(SIGINT, &previous, nullptr);
    prompter.before();
    std::fprintf(stderr, "FileSize: %u bytes sent\n", screen.sent());
    if (screen.lastOutcome() == FirmwareScreen::Outcome::Stopped) {
        std::fprintf(stderr, "korvactl: stopped; the printer did not get the whole area\n");
        return 1;
    }
    // Every other ending has shown its message: the completion, or why the transfer stopped.
    return screen.lastOutcome() == FirmwareScreen::Outcome::Done ? 0 : 1;
}

} // namespace

void registerFirmwareCommands(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<FirmwareArgs>();
    CLI::App* group = app.add_subcommand("firmware", "Firmware image and area download");
    group->require_subcommand(1);

    CLI::App* info = group->add_subcommand("info", "What a firmware image holds, per area");
    info->add_option("FILE", args->file, "Firmware image (.SHC; .bin for KORVA10 models)")
        ->required();
    info->add_flag("--json", args->json, "Print JSON");
    info->callback([args, &context] { context.exitCode = runInfo(*args, context.options); });

    CLI::App* download = group->add_subcommand("download", "Send one flash area to the printer");
    download->add_option("FILE", args->file, "Firmware image (.SHC; .bin for KORVA10 models)")
        ->required();
    download->add_option("--area", args->area, "Flash area (KORVA10 models: program, boot, font)")
        ->check(CLI::IsMember({"program", "ext-font", "lcd-font", "download", "boot", "font"}))
        ->capture_default_str();
    download->add_flag("--expert", args->expert, "Allow the DOWNLOAD and Boot areas");
    download->callback(
        [args, &context] { context.exitCode = runDownload(*args, context.options); });
}

} // namespace korva::cli
