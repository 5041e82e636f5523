// korvactl setup ...: the user setup screen's jobs from the command line (Get Value, Set Value,
// Default then Set Value, TEST), through the screen's own controller.
#include "app/ModelRules.h"
#include "cli/CliConnection.h"
#include "cli/Commands.h"
#include "cli/SettingKeys.h"
#include "cli/SetupSession.h"
#include "setup/ReceiveBufferList.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>

namespace korva::cli {

namespace {

struct SetupArgs {
    bool json = false;
    bool force = false;
    std::vector<std::string> assignments;
};

// The connection and the screen, or nothing after the reason was shown.
bool prepare(CliConnection& connection) {
    if (!connection.choose())
        return false;
    if (connection.app().ports.m_ModelKind == ModelKindKorva10) {
        // The main menu keeps User Setup disabled for this class.
        std::fprintf(stderr, "korvactl: User Setup is not available for KORVA10 printers\n");
        return false;
    }
    return true;
}

void printSettings(UserSetupScreen& screen, bool json) {
    const auto& keys = SettingKeys::all();
    nlohmann::ordered_json out = nlohmann::ordered_json::object();
    for (int k : SettingKeys::answeredKeys(screen)) {
        const auto& key = keys[static_cast<std::size_t>(k)];
        bool answered = screen.received(key.number);
        std::optional<std::string> value = answered ? SettingKeys::value(screen, k) : std::nullopt;
        if (json) {
            out[key.name] = value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json();
            continue;
        }
        if (!answered)
            std::printf("%-17s (no answer)\n", key.name);
        else if (!value)
            std::printf("%-17s (answered, not a value the screen lists)\n", key.name);
        else
            std::printf("%-17s %-8s %s: %s\n", key.name, value->c_str(),
                        SettingKeys::rowCaption(screen, k).c_str(),
                        SettingKeys::wording(screen, k).c_str());
    }
    if (json)
        std::printf("%s\n", out.dump(2).c_str());
}

// Puts what a screen read into a fresh one: the margin and setup code every write carries, and
// the kept choices.
void carryOver(UserSetupScreen& screen, const PrinterSettings& read,
               const std::vector<UserSetupScreen::Choice>& keep) {
    using Choice = UserSetupScreen::Choice;
    screen.setEdit(UserSetupScreen::Edit::Margin, std::to_string(read.leftMargin));
    screen.setEdit(UserSetupScreen::Edit::SetupCode, read.setupCode);
    for (Choice c : keep) {
        if (c == Choice::WaterMark) {
            if (read.waterMark)
                screen.choose(c, *read.waterMark);
            screen.setEdit(UserSetupScreen::Edit::WaterMarkImage,
                           std::to_string(read.waterMarkImage));
            continue;
        }
        const std::optional<int>& v = c == Choice::PaperType   ? read.paperType
                                      : c == Choice::BellType  ? read.bellType
                                      : c == Choice::NvGraphic ? read.nvGraphicMemory
                                                               : read.nvUserMemory;
        if (v)
            screen.choose(c, *v);
        if (c == Choice::BellType && read.bellTimes)
            screen.choose(Choice::BellTimes, *read.bellTimes);
        // Choosing 2Color sets MEDIUM; the printer's own density goes with its paper type.
        if (c == Choice::PaperType && read.colorDensity)
            screen.choose(Choice::ColorDensity, *read.colorDensity);
    }
}

// A requested value the screen did not take, after the rest was written.
constexpr int kNotApplied = 3;

std::string notAppliedReason(const UserSetupScreen& s, int key) {
    const PrinterSettings& p = s.settings();
    if (key == SettingKeys::find("paper_type") && p.waterMark == pos::Enable)
        return "the printer's water mark stays on (the screen's question was answered No)";
    if (key == SettingKeys::find("water_mark") && p.paperType == pos::TwoColor)
        return "the printer's paper stays 2Color (the screen's question was answered No)";
    return "the screen's rules left another value";
}

// Opens the user setup screen on the chosen printer and runs one job on it; 1 when the printer
// or the screen could not be opened (the reason has been shown).
int inSession(const CliOptions& options, const std::function<int(SetupSession&)>& job) {
    CliConnection connection(options);
    if (!prepare(connection))
        return connection.refusalStatus();
    SetupSession session(connection);
    if (!session.open())
        return 1;
    int status = job(session);
    session.exit();
    return status;
}

int runGet(const CliOptions& options, const SetupArgs& args) {
    return inSession(options, [&](SetupSession& session) {
        bool all = session.getAll();
        printSettings(session.screen(), args.json);
        if (!all)
            std::fprintf(stderr, "korvactl: not every setting was answered\n");
        return all ? 0 : 1;
    });
}

int runSet(const CliOptions& options, const SetupArgs& args) {
    CliConnection connection(options);
    // Every value is checked before the port is touched.
    std::vector<std::string> receiveBuffer = ReceiveBufferList::load(connection.app().profile);
    std::vector<SettingRequest> requests;
    for (const std::string& a : args.assignments) {
        SettingRequest r;
        std::string why;
        if (!SettingKeys::parse(a, receiveBuffer, r, why)) {
            std::fprintf(stderr, "korvactl: %s; nothing was sent\n", why.c_str());
            return 2;
        }
        requests.erase(std::remove_if(requests.begin(), requests.end(),
                                      [&](const SettingRequest& q) { return q.key == r.key; }),
                       requests.end());
        requests.push_back(r);
    }
    // The screen's order, so a choice that enables another control comes first.
    std::sort(requests.begin(), requests.end(),
              [](const SettingRequest& a, const SettingRequest& b) { return a.key < b.key; });
    auto given = [&](const char* name) {
        int k = SettingKeys::find(name);
        return std::any_of(requests.begin(), requests.end(),
                           [&](const SettingRequest& r) { return r.key == k; });
    };
    // 2Color and a water mark exclude each other: the screen would ask to give one of them
    // up, so asking for both at once is a contradiction, not a question.
    auto valueOf = [&](const char* name) -> const std::string* {
        int k = SettingKeys::find(name);
        for (const SettingRequest& r : requests)
            if (r.key == k)
                return &r.value;
        return nullptr;
    };
    const std::string* paperType = valueOf("paper_type");
    const std::string* waterMark = valueOf("water_mark");
    if (paperType && waterMark && SettingKeys::sameValue(*paperType, "2color") &&
        !SettingKeys::sameValue(*waterMark, "disable")) {
        std::fprintf(stderr,
                     "korvactl: paper_type=%s and water_mark=%s cannot be written together: "
                     "water mark print is impossible in Two-color print mode; nothing was sent\n",
                     paperType->c_str(), waterMark->c_str());
        return 2;
    }
    if (!prepare(connection))
        return connection.refusalStatus();
    SetupSession session(connection);
    if (!session.open())
        return 1;

    const bool file = session.screen().portKind() == PortKind::File;
    if (!file) {
        // Every write carries the margin and the setup code: keep the printer's own.
        bool all = session.getAll();
        UserSetupScreen& s = session.screen();
        bool marginKnown = given("margin") || s.received(SetLeftMargin);
        bool codeKnown = given("setup_code") || s.received(SetSetupCode);
        if ((!marginKnown || !codeKnown) && !args.force) {
            std::fprintf(stderr,
                         "korvactl: the printer's left margin and setup code could not be read "
                         "and every write carries them; nothing was written (give margin= and "
                         "setup_code=, or --force to write the values shown)\n");
            session.exit();
            return 1;
        }
        // A parallel Get Value still asking keeps Set Value disabled: the screen is opened
        // afresh, and what was read goes over to it.
        const PrinterSettings read = s.settings();
        bool reopened = false;
        if (!all && s.getValueRunning()) {
            if (!session.reopen())
                return 1;
            reopened = true;
        }
        std::vector<UserSetupScreen::Choice> keep;
        // 2Color and the water mark exclude each other: a lone one meets the printer's other
        // (and its question) as on the screen.
        if ((given("color_density") || given("water_mark")) && !given("paper_type"))
            keep.push_back(UserSetupScreen::Choice::PaperType);
        if (given("paper_type") && !given("water_mark"))
            keep.push_back(UserSetupScreen::Choice::WaterMark);
        // The bell type and its times are one record: a lone half goes with the printer's
        // other half.
        if (given("bell_times") != given("bell_type"))
            keep.push_back(UserSetupScreen::Choice::BellType);
        // The 448 KB rule weighs a memory size against the printer's other one.
        if (given("nv_user") && !given("nv_graphic"))
            keep.push_back(UserSetupScreen::Choice::NvGraphic);
        if (given("nv_graphic") && !given("nv_user"))
            keep.push_back(UserSetupScreen::Choice::NvUser);
        session.screen().resetChoices(true, keep);
        if (reopened)
            carryOver(session.screen(), read, keep);
    }
    UserSetupScreen& s = session.screen();
    for (const SettingRequest& r : requests) {
        std::string why;
        if (!SettingKeys::apply(s, r, why)) {
            std::fprintf(stderr, "korvactl: %s; nothing was written\n", why.c_str());
            session.exit();
            return 2;
        }
    }
    // A memory size the 448 KB rule refused lost its selection: the job cannot be done.
    for (const char* nv : {"nv_user", "nv_graphic"}) {
        if (given(nv) && !SettingKeys::value(s, SettingKeys::find(nv))) {
            std::fprintf(stderr,
                         "korvactl: %s refused by the NV memory limit; nothing was written\n", nv);
            session.exit();
            return 2;
        }
    }
    // The printer's other memory size only served the check; only what was given is written.
    if (!file) {
        if (given("nv_user") && !given("nv_graphic"))
            s.choose(UserSetupScreen::Choice::NvGraphic, -1);
        if (given("nv_graphic") && !given("nv_user"))
            s.choose(UserSetupScreen::Choice::NvUser, -1);
    }
    if (given("bell_times") && !s.settings().bellType) {
        std::fprintf(stderr, "korvactl: bell_times is written together with the bell type, and "
                             "the printer's bell type is not known; give bell_type too; nothing "
                             "was written\n");
        session.exit();
        return 2;
    }
    if (given("color_density") && !s.settings().paperType) {
        std::fprintf(stderr, "korvactl: color_density is written together with the paper type; "
                             "give paper_type too; nothing was written\n");
        session.exit();
        return 2;
    }
    if (!s.setValue()) {
        // The screen sends nothing when nothing is chosen, the margin is 0 and the code "0".
        if (!s.failed() && s.settings().nothingChosen())
            std::fprintf(stderr, "korvactl: nothing to write: no setting chosen, the margin 0 and "
                                 "the setup code 0\n");
        session.exit();
        return 1;
    }
    int status = 0;
    for (const SettingRequest& r : requests) {
        const char* name = SettingKeys::all()[static_cast<std::size_t>(r.key)].name;
        auto now = SettingKeys::value(s, r.key);
        std::printf("%s=%s\n", name, now ? now->c_str() : "(none)");
        // A setup code that is not hexadecimal is sent as 0 by design (README).
        if ((now && SettingKeys::sameValue(*now, r.value)) ||
            r.key == SettingKeys::find("setup_code"))
            continue;
        std::fprintf(stderr, "korvactl: %s=%s was not applied: %s; the printer got %s\n", name,
                     r.value.c_str(), notAppliedReason(s, r.key).c_str(),
                     now ? now->c_str() : "no value for it");
        status = kNotApplied;
    }
    session.exit();
    return status;
}

int runDefaults(const CliOptions& options) {
    return inSession(options, [](SetupSession& session) {
        if (!session.screen().defaults()) {
            std::fprintf(stderr,
                         "korvactl: the defaults were not confirmed; nothing was written\n");
            return 1;
        }
        bool written = session.screen().setValue();
        if (written)
            std::printf("default settings written\n");
        return written ? 0 : 1;
    });
}

int runTest(const CliOptions& options) {
    return inSession(options, [](SetupSession& session) {
        bool sent = session.screen().test();
        if (sent)
            std::printf("test page sent\n");
        return sent ? 0 : 1;
    });
}

} // namespace

void registerSetupCommands(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<SetupArgs>();
    CLI::App* setup = app.add_subcommand("setup", "User setup: read, write, default, test page");
    setup->require_subcommand(1);

    CLI::App* get = setup->add_subcommand("get", "Query every setting and print it");
    get->add_flag("--json", args->json, "One JSON object keyed by the setting keys");
    get->callback([&context, args] { context.exitCode = runGet(context.options, *args); });

    CLI::App* set = setup->add_subcommand("set", "Set the given settings in one write bracket");
    set->add_option("assignments", args->assignments, "KEY=VALUE (see the README)")
        ->required()
        ->expected(1, -1);
    set->add_flag("--force", args->force,
                  "Write even when the printer's margin and setup code could not be read");
    set->callback([&context, args] { context.exitCode = runSet(context.options, *args); });

    CLI::App* defaults = setup->add_subcommand("defaults", "The Default choices, then Set Value");
    defaults->callback([&context] { context.exitCode = runDefaults(context.options); });

    CLI::App* test = setup->add_subcommand("test", "Print the test page");
    test->callback([&context] { context.exitCode = runTest(context.options); });
}

} // namespace korva::cli
