// korvactl logo list / upload / erase / print: the list the desktop program keeps in the profile,
// the NV definition of several images, the erase, and printing stored images. The upload and the
// print run the window's controllers on a TimerQueue with the real clock; Ctrl-C is the dialog's
// Cancel, so an upload always ends with a well-formed command.
#include "cli/LogoJobCommands.h"

#include "app/ModelRules.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "base/TimerHost.h"
#include "cli/CliConnection.h"
#include "cli/Commands.h"
#include "cli/FullPath.h"
#include "logo/LogoSheet.h"
#include "logo/NvPrint.h"
#include "logo/NvSize.h"
#include "logo/NvUpload.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <unistd.h>

namespace korva::cli {

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;

std::atomic<bool> g_interrupted{false};

void onInterrupt(int) {
    g_interrupted = true;
}

// Ctrl-C becomes a request the job loop sees between images, for as long as the job runs.
class InterruptGuard {
public:
    InterruptGuard() {
        g_interrupted = false;
        struct sigaction sa {};
        sa.sa_handler = onInterrupt;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &m_old);
    }
    ~InterruptGuard() { ::sigaction(SIGINT, &m_old, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_old {};
};

// One progress line on standard error: redrawn in place on a terminal, written once at the end
// otherwise.
class ProgressLine {
public:
    ProgressLine() : m_terminal(::isatty(STDERR_FILENO) == 1) {}
    void draw(const std::string& text, double fraction) {
        m_last = text;
        if (!m_terminal)
            return;
        const int width = 30;
        int filled = static_cast<int>(fraction * width);
        filled = filled < 0 ? 0 : filled > width ? width : filled;
        std::fprintf(
            stderr, "\r[%s%s] %s\x1b[K", std::string(static_cast<std::size_t>(filled), '#').c_str(),
            std::string(static_cast<std::size_t>(width - filled), '.').c_str(), text.c_str());
        std::fflush(stderr);
        m_drawn = true;
    }
    void done() {
        if (m_drawn)
            std::fprintf(stderr, "\n");
        else if (!m_last.empty())
            std::fprintf(stderr, "%s\n", m_last.c_str());
        m_drawn = false;
        m_last.clear();
    }

private:
    bool m_terminal;
    bool m_drawn = false;
    std::string m_last;
};

// The controllers' shared needs on the command line.
struct LogoRun {
    explicit LogoRun(const CliOptions& options)
        : connection(options), timers(connection.clock(), relay) {}

    // Fires the job's timers until its dialog closes; Ctrl-C cancels.
    template <typename Job> void run(Job& job) {
        relay.target = &job;
        while (!job.dialogClosed()) {
            if (g_interrupted.exchange(false))
                job.cancel();
            else if (!timers.fireNext())
                break;
        }
        relay.target = nullptr;
    }

    CliConnection connection;
    TimerRelay relay;
    TimerQueue timers;
};

LogoContext makeContext(LogoRun& run, const CliOptions& options) {
    AppContext& app = run.connection.app();
    return LogoContext{app.ports,
                       app.socket,
                       app.ethernet,
                       app.log,
                       app.catalogue,
                       run.connection.prompter(),
                       run.connection.pauseClock(),
                       modelKind(options.model)};
}

// ---------------------------------------------------------------- list

int runList(const CliOptions& options, bool json) {
    LogoRun run(options);
    LogoContext context = makeContext(run, options);
    LogoSheet sheet(context, run.connection.app().profile, "", "");
    const LogoList& list = sheet.list();
    if (json) {
        nlohmann::ordered_json out;
        out["entries"] = nlohmann::ordered_json::array();
        for (const LogoEntry& e : list.entries())
            out["entries"].push_back(
                {{"number", e.number}, {"name", e.name}, {"size", e.size}, {"path", e.path}});
        out["count"] = list.entryCount();
        out["totalBytes"] = list.totalBytes();
        out["usedKB"] = list.usedKB();
        out["capacityKB"] = sheet.options().nvGraphicsKB;
        std::printf("%s\n", out.dump(2).c_str());
        return 0;
    }
    std::printf("%5s  %-24s %10s  %s\n", "No.", "Name", "Size", "Path");
    for (const LogoEntry& e : list.entries())
        std::printf("%5d  %-24s %10lld  %s\n", e.number, e.name.c_str(),
                    static_cast<long long>(e.size), e.path.c_str());
    std::printf("Number of Image Files: %s\nTotal Image File Size: %s\n", list.countText().c_str(),
                list.memoryText().c_str());
    return 0;
}

// ---------------------------------------------------------------- upload, erase

struct UploadArgs {
    std::vector<std::string> files; // FILE or N=FILE
    bool gray = false;
    bool star = false;
    bool centreAll = false;
    std::vector<int> centreFor;
    int threshold = LogoOptions::kDefaultThreshold;
    int maxWidth = 0;
};

int storedKeys(const Profile& profile) {
    int k = 1;
    for (;; ++k) {
        char key[32];
        std::snprintf(key, sizeof key, LogoList::kKeyFormat, k);
        if (profile.GetString(LogoList::kSection, key, "").empty())
            return k - 1;
    }
}

// Splits "N=FILE"; number 0 for a plain FILE. False for a bad number.
bool splitArgument(const std::string& arg, int& number, std::string& path) {
    number = 0;
    path = arg;
    std::size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0 || eq > 3)
        return true;
    std::string digits = arg.substr(0, eq);
    if (digits.find_first_not_of("0123456789") != std::string::npos)
        return true; // a file name with '=' in it
    number = std::stoi(digits);
    path = arg.substr(eq + 1);
    return number >= 1 && number <= 255 && !path.empty();
}

// Fills the list from the command line: every file loaded, converted and admitted before
// anything is sent. Returns 0 or the exit status.
int fillList(LogoSheet& sheet, const UploadArgs& a) {
    LogoList& list = sheet.list();
    list.ResetList();
    std::vector<int> wanted;
    std::set<int> taken;
    for (const std::string& arg : a.files) {
        int number = 0;
        std::string path;
        if (!splitArgument(arg, number, path)) {
            std::fprintf(stderr, "korvactl: %s: the image number must be 1..255\n", arg.c_str());
            return kExitUsage;
        }
        if (number > 0 && !taken.insert(number).second) {
            std::fprintf(stderr, "korvactl: image number %d is given twice\n", number);
            return kExitUsage;
        }
        path = fullPath(path);
        if (!list.AddEntry(0, path)) {
            std::fprintf(stderr, "korvactl: %s is refused; nothing was sent\n", path.c_str());
            return kExitFailed;
        }
        wanted.push_back(number);
    }
    int next = 1;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        int number = wanted[i];
        if (number == 0) {
            while (taken.count(next))
                ++next;
            number = next;
            taken.insert(number);
        }
        list.setNumber(static_cast<int>(i), number);
    }
    return 0;
}

int runUpload(const CliOptions& options, const UploadArgs& a, bool erase) {
    LogoRun run(options);
    if (!run.connection.choose())
        return run.connection.refusalStatus();
    AppContext& app = run.connection.app();
    LogoContext context = makeContext(run, options);
    const bool fromProfile = !erase && a.files.empty();
    LogoSheet sheet(context, app.profile, app.ports.m_PortName, run.connection.summary(),
                    fromProfile);
    LogoOptions& lo = sheet.options();
    if (erase) {
        sheet.list().ResetList();
    } else {
        if (a.gray && modelKind(options.model) == ModelKindKorva10) {
            std::fprintf(stderr, "korvactl: KORVA10 printers have no gray printing\n");
            return kExitUsage;
        }
        if (fromProfile && sheet.list().entryCount() <
                               std::min(sheet.list().storedKeyCount, LogoList::kMaxEntries)) {
            // Sending the rest would move every later image down one number.
            std::fprintf(stderr, "korvactl: a file of the stored list cannot be used; nothing was "
                                 "sent and the list stays as it is\n");
            return kExitFailed;
        }
        if (a.gray)
            sheet.list().setGraySizes(true);
        if (fromProfile && !FitsNvBudget(sheet.list().totalBytes(), 0, lo.nvGraphicsKB)) {
            context.prompter.message(context.catalogue.text(MsgNvAreaTooSmall), kAppName,
                                     Icon::None, Buttons::Ok);
            std::fprintf(stderr, "korvactl: nothing was sent\n");
            return kExitFailed;
        }
        lo.starEmulation = a.star;
        lo.threshold = a.threshold;
        if (a.maxWidth > 0)
            lo.maxPrintableWidth = a.maxWidth;
        if (!a.files.empty()) {
            sheet.list().storedKeyCount = storedKeys(app.profile);
            if (int status = fillList(sheet, a))
                return status;
        } else if (sheet.list().entryCount() == 0) {
            std::fprintf(stderr, "korvactl: the stored list is empty; name the files to upload "
                                 "(or use logo erase)\n");
            return kExitUsage;
        }
        for (int i = 0; i < sheet.list().entryCount(); ++i) {
            const int n = sheet.list().entry(i).number;
            bool centre = a.centreAll ||
                          std::find(a.centreFor.begin(), a.centreFor.end(), n) != a.centreFor.end();
            sheet.setCentre(i, centre);
        }
    }

    InterruptGuard guard;
    NvUpload job(context, sheet.list(), lo, app.profile, run.timers, sheet.portName());
    ProgressLine line;
    int lastImage = -1;
    job.setProgress([&] {
        const std::int64_t total = job.totalBytes() > 0 ? job.totalBytes() : 1;
        char text[160];
        std::snprintf(text, sizeof text, "%lld / %lld bytes, image %d of %d",
                      static_cast<long long>(job.bytesSent()),
                      static_cast<long long>(job.totalBytes()), job.imagesStarted(),
                      job.imageCount());
        line.draw(text, static_cast<double>(job.bytesSent()) / static_cast<double>(total));
        lastImage = job.imagesStarted();
    });
    if (job.begin()) {
        if (!erase)
            std::fprintf(stderr, "Erasing... (the printer clears its NV graphics memory)\n");
        job.initDialog();
        run.run(job);
    }
    UploadOutcome outcome = job.end();
    line.done();
    switch (outcome) {
    case UploadOutcome::Completed:
        std::printf("%d image(s), %lld bytes stored in the printer\n", job.imageCount(),
                    static_cast<long long>(job.bytesSent()));
        return job.listUnrecorded() ? kExitFailed : 0;
    case UploadOutcome::Erased:
        std::printf("every NV image erased\n");
        return 0;
    case UploadOutcome::Cancelled:
        std::fprintf(stderr,
                     "korvactl: upload cancelled after %d of %d image(s); the rest went "
                     "as empty records\n",
                     job.imagesStarted(), job.imageCount());
        return kExitCancelled;
    default:
        return kExitFailed;
    }
}

// ---------------------------------------------------------------- print

struct PrintArgs {
    bool all = false;
    std::string select;
    std::string quality = "normal";
    bool header = false;
    bool star = false;
};

int runPrint(const CliOptions& options, const PrintArgs& a) {
    LogoRun run(options);
    if (!run.connection.choose())
        return run.connection.refusalStatus();
    AppContext& app = run.connection.app();
    LogoContext context = makeContext(run, options);
    LogoSheet sheet(context, app.profile, app.ports.m_PortName, run.connection.summary(), false);
    sheet.options().starEmulation = a.star;
    NvPrint job(context, sheet.options(), run.timers, sheet.portName());
    if (!job.printEnabled()) {
        std::fprintf(stderr, "korvactl: logo print needs a printer port (COM, LPT, USB or "
                             "ETHERNET_II), not a file\n");
        return kExitUsage;
    }
    static const std::map<std::string, int> qualities = {{"normal", NvPrint::Normal},
                                                         {"double-width", NvPrint::DoubleWidth},
                                                         {"double-height", NvPrint::DoubleHeight},
                                                         {"quadruple", NvPrint::Quadruple}};
    job.quality = qualities.at(a.quality);
    job.header = a.header;
    job.range = a.all ? NvPrint::All : NvPrint::Selection;
    job.selection = a.select;
    InterruptGuard guard;
    ProgressLine line;
    job.setProgress(
        [&] { line.draw(job.view().text, static_cast<double>(job.printed()) / job.total()); });
    if (!job.print())
        return job.selectionInvalid() ? kExitUsage : kExitFailed;
    run.run(job);
    job.end();
    line.done();
    if (job.failed())
        return kExitFailed;
    if (job.cancelled()) {
        std::fprintf(stderr, "korvactl: printing cancelled after %d image(s)\n", job.printed());
        return kExitCancelled;
    }
    std::printf("%d image(s) printed\n", job.printed());
    return 0;
}

} // namespace

void registerLogoJobCommands(CLI::App& logo, CliContext& context) {
    auto json = std::make_shared<bool>(false);
    CLI::App* list = logo.add_subcommand(
        "list", "The stored logo list (profile section LOGO): number, name, NV size, path");
    list->add_flag("--json", *json, "Print the list as JSON");
    list->callback([json, &context] { context.exitCode = runList(context.options, *json); });

    auto up = std::make_shared<UploadArgs>();
    CLI::App* upload = logo.add_subcommand(
        "upload", "Store these BMP files (or the stored list) as the printer's NV images");
    upload->add_option("files", up->files,
                      "FILE or N=FILE (N, 1..255, orders the files; the images are numbered "
                      "1, 2, 3 ... in that order)");
    upload->add_flag("--gray", up->gray, "Six-level gray printing (4 x the memory)");
    upload->add_flag("--star", up->star, "Star emulation: ESC before the definition command");
    upload->add_option("--threshold", up->threshold, "Black / White diverging point (0~255)")
        ->check(CLI::Range(0, 255))
        ->capture_default_str();
    upload
        ->add_option("--max-width", up->maxWidth,
                     "Max printable width in dots (default: 384 for KORVA10 models, else 512)")
        ->check(CLI::Range(1, 512));
    upload->add_flag("--center", up->centreAll, "Centre every image (monochrome)");
    upload->add_option("--center-for", up->centreFor, "Centre the image with this number")
        ->check(CLI::Range(1, 255));
    upload->callback([up, &context] { context.exitCode = runUpload(context.options, *up, false); });

    CLI::App* erase = logo.add_subcommand("erase", "Erase every NV image in the printer");
    erase->callback([&context] { context.exitCode = runUpload(context.options, {}, true); });

    auto pr = std::make_shared<PrintArgs>();
    CLI::App* print = logo.add_subcommand("print", "Print NV images stored in the printer");
    auto* all = print->add_flag("--all", pr->all, "All 255 image numbers");
    auto* sel = print->add_option("--select", pr->select, "Numbers and ranges, e.g. 1,3-5,9");
    all->excludes(sel);
    print->add_option("--quality", pr->quality, "Print size")
        ->check(CLI::IsMember({"normal", "double-width", "double-height", "quadruple"}))
        ->capture_default_str();
    print->add_flag("--header", pr->header, "Print \"--- Logo N ---\" before each image");
    print->add_flag("--star", pr->star, "Star emulation: ESC before the print command");
    print->callback([pr, print, &context] {
        if (!pr->all && print->count("--select") == 0) {
            std::fprintf(stderr, "korvactl: logo print needs --all or --select TEXT\n");
            context.exitCode = kExitUsage;
            return;
        }
        context.exitCode = runPrint(context.options, *pr);
    });
}

} // namespace korva::cli
