// korvactl firmware ...: the firmware download screen's jobs from the command line: what an
// image holds, and the download of one flash area with the screen's checks, questions and pacing.
#include "app/ModelRules.h"
#include "cli/CliConnection.h"
#include "cli/Commands.h"
#include "cli/Korva10Download.h"
#include "firmware/AreaFrame.h"
#include "firmware/AreaTransfer.h"
#include "firmware/FirmwareImage.h"

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

void showError(ConsolePrompter& prompter, const std::string& text, const char* caption = "") {
    prompter.message(text, caption, Icon::Stop, Buttons::Ok);
}

std::string fileSizeText(std::uint64_t size) {
    char text[64];
    std::snprintf(text, sizeof text, "FileSize (%d bytes) Error!", static_cast<int>(size));
    return text;
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
        std::fprintf(stderr, "%s\n", fileSizeText(size).c_str());
        return 1;
    }
    if (loaded != FirmwareImage::Load::Ok) {
        std::fprintf(stderr, "Wrong File!\n");
        return 1;
    }
    return 0;
}

// The screen's area rules: which areas this model and mode may send. "" when allowed.
std::string areaRefusal(int area, int kind, bool expert, const std::string& file) {
    if (area == AreaLcdFont && kind != ModelKindKorva40)
        return "the LCD font area is only for KORVA40 printers";
    if ((area == AreaDownload || area == AreaBoot) && !expert)
        return std::string("the ") + areaCaption(area, false) + " needs --expert";
    if (area == AreaBoot) {
        auto trailer = readFirmwareTrailer(file);
        if (trailer && (!trailer->signatureOk || !bootAllowed(trailer->bootEnable)))
            return "the image's boot-enable byte does not allow the Boot Area";
    }
    return "";
}

bool confirmed(int area, CliConnection& connection) {
    const MessageCatalogue& cat = connection.app().catalogue;
    std::string question;
    switch (area) {
    case AreaExtFont:
        question = cat.text(MsgConfirmExtFont);
        break;
    case AreaLcdFont:
        question = cat.pick("Are you sure the LCD Font area download?",
                            "LCD 폰트를 다운로드 하시겠습니까?");
        break;
    case AreaDownload:
        question = cat.text(MsgConfirmDownloader);
        break;
    case AreaBoot:
        question = cat.text(MsgConfirmBoot);
        break;
    default:
        return true;
    }
    return connection.prompter().message(question, kAppName, Icon::Question, Buttons::YesNo) ==
           Answer::Yes;
}

int runDownload(const FirmwareArgs& args, const CliOptions& options) {
    CliConnection connection(options);
    if (modelKind(options.model) == ModelKindKorva10) {
        // KORVA10-class printers take their firmware by erase and write packets, not by frame.
        if (!connection.choose())
            return 1;
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
        return 1;
    AppContext& app = connection.app();
    CPorts& ports = app.ports;
    ConsolePrompter& prompter = connection.prompter();
    const MessageCatalogue& cat = app.catalogue;
    int kind = ports.m_ModelKind;
    std::string refusal = areaRefusal(*area, kind, args.expert, args.file);
    if (!refusal.empty()) {
        std::fprintf(stderr, "korvactl: %s\n", refusal.c_str());
        return 2;
    }
    std::filesystem::path path(args.file);
    app.profile.WriteString("FWDN20", "FOLDER", args.file);
    app.profile.WriteString("FWDN20", "FILE", path.filename().string());

    FirmwareImage image;
    FirmwareImage::Load loaded = image.load(args.file);
    if (loaded == FirmwareImage::Load::OpenFailed) {
        showError(prompter, "ERROR : File Open");
        return 1;
    }
    if (loaded == FirmwareImage::Load::WrongSize) {
        showError(prompter, fileSizeText(image.fileSize()), "Error");
        return 1;
    }
    if (!confirmed(*area, connection))
        return 1;
    bool ethernet = ports.m_PortName.rfind("ETH", 0) == 0;
    if (!ethernet) {
        ports.Close();
        if (!ports.Open()) {
            showError(prompter, cat.text(MsgInitFail));
            return 1;
        }
    }
    if (loaded == FirmwareImage::Load::ShortRead || loaded == FirmwareImage::Load::WrongSignature) {
        ports.Close();
        showError(prompter,
                  loaded == FirmwareImage::Load::ShortRead ? "ERROR : File Size Error"
                                                           : "Wrong File!",
                  loaded == FirmwareImage::Load::ShortRead ? "" : "Error");
        return 1;
    }
    FirmwareArea chosen = firmwareArea(*area, kind);
    AreaFrame frame(image.bytes(), chosen);
    image.release();
    std::fprintf(stderr, "%s: %u bytes, CHECKSUM %s\n", areaCaption(*area, false), frame.length(),
                 frame.checksumText().c_str());

    bool terminal = ::isatty(STDERR_FILENO) != 0;
    std::uint32_t lastPercent = 101;
    // The settling wait is the printer's time to take the frame in: the pause clock, which tests
    // against a virtual printer may shorten.
    AreaTransfer transfer(
        connection.pauseClock(),
        [&](AreaTransfer::Phase phase, std::uint32_t position) {
            std::uint32_t percent = titlePercent(position, frame.length());
            if (!terminal || percent == lastPercent)
                return;
            lastPercent = percent;
            if (phase == AreaTransfer::Phase::Sending)
                std::fprintf(stderr, "\r%u of %u bytes - %u %%", std::min(position, frame.length()),
                             frame.length(), percent);
            else
                std::fprintf(stderr, "\rsettling - %u %%              ", percent);
        },
        &g_interrupted);
    // The no-progress bound shrinks with the pauses, down to a floor that a loaded machine
    // feeding a virtual printer still meets.
    if (connection.pauseScale() > 1)
        transfer.setStallLimitMs(
            std::max(kShortestStallLimitMs, AreaTransfer::kStallLimitMs / connection.pauseScale()));
    g_interrupted = false;
    struct sigaction action {};
    struct sigaction previous {};
    action.sa_handler = onInterrupt;
    ::sigaction(SIGINT, &action, &previous);
    AreaTransfer::Outcome outcome = ethernet
                                        ? transfer.sendToSocket(app.socket, app.ethernet, frame)
                                        : transfer.sendToPort(ports, frame);
    ::sigaction(SIGINT, &previous, nullptr);
    if (terminal)
        std::fprintf(stderr, "\n");
    std::fprintf(stderr, "FileSize: %u bytes sent\n", transfer.totalSent());
    if (outcome == AreaTransfer::Outcome::Stopped) {
        std::fprintf(stderr, "korvactl: stopped; the printer did not get the whole area\n");
        return 1;
    }
    if (outcome != AreaTransfer::Outcome::Done) {
        showError(prompter, transfer.message(outcome, cat));
        return 1;
    }
    prompter.message(cat.text(MsgUpdateCompleteFirmware), kAppName, Icon::Information, Buttons::Ok);
    return 0;
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
