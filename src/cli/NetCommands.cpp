// korvactl net ...: the network settings screen's jobs from the command line: the printer search
// by broadcast and the settings change of one printer, addressed by its MAC address.
#include "base/MessageCatalogue.h"
#include "cli/CliConnection.h"
#include "cli/Commands.h"
#include "cli/HookedPrompter.h"
#include "network/NetSettingScreen.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>

namespace korva::cli {

namespace {

struct NetArgs {
    NetLinkOptions link;
    bool json = false;
    std::string mac, ip, mask, gateway;
    int port = 0;
    bool dhcp = false;
    bool yes = false;
};

// The socket options are plain values until the command runs; a bad address is refused before
// any socket opens. A good one is rewritten in the plain dotted form the sockets take (no
// blanks, no leading zeros), which is also the form this PC's own addresses are compared in.
bool checkLinkOptions(NetLinkOptions& link) {
    for (std::string* text : {&link.broadcast, &link.bindAddress}) {
        Ip4 address{};
        if (!parseDotted(*text, address)) {
            std::fprintf(stderr, "korvactl: not an IPv4 address: %s\n", text->c_str());
            return false;
        }
        *text = dottedText(address);
    }
    return true;
}

void addLinkOptions(CLI::App& command, NetArgs& args) {
    command
        .add_option("--broadcast", args.link.broadcast,
                    "Destination of the records (default: the limited broadcast of the local "
                    "segment)")
        ->capture_default_str();
    command.add_flag("--all-interfaces", args.link.allInterfaces,
                     "Also send to the broadcast address of every interface of this PC");
    command.add_option("--bind", args.link.bindAddress, "Local address of the receiving socket")
        ->capture_default_str();
    command
        .add_option("--wait-ms", args.link.waitMs,
                    "How long to wait for the next datagram, in milliseconds")
        ->check(CLI::Range(1, 60000))
        ->capture_default_str();
}

int runSearch(NetArgs args, const CliOptions& options) {
    if (!checkLinkOptions(args.link))
        return 2;
    CliConnection connection(options);
    AppContext& app = connection.app();
    std::size_t printed = 0;
    NetSettingScreen* shown = nullptr;
    // The rows found so far are printed before any message, so the list comes before the
    // completion text.
    HookedPrompter prompter(connection.prompter(), [&] {
        if (!shown || args.json)
            return;
        const std::vector<NetSettingRow>& rows = shown->view().rows;
        for (; printed < rows.size(); ++printed) {
            const NetSettingRow& r = rows[printed];
            std::printf("%-22s %-5s %-15s %-15s %s\n", r.ipText.c_str(), r.portText.c_str(),
                        r.subnetText.c_str(), r.gatewayText.c_str(), r.macText.c_str());
        }
        std::fflush(stdout);
    });
    NetSettingScreen screen(app.catalogue, prompter, app.clock, app.log, args.link);
    shown = &screen;
    screen.open(connection.langId());
    screen.searchPrinter();
    screen.run();
    const std::vector<NetSettingRow>& rows = screen.view().rows;
    if (args.json) {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const NetSettingRow& r : rows)
            out.push_back({{"ip", dottedText(r.record.ip())},
                           {"dhcp", r.record.dhcp()},
                           {"port", r.record.port()},
                           {"subnet", r.subnetText},
                           {"gateway", r.gatewayText},
                           {"mac", r.macText},
                           {"from", r.from}});
        std::printf("%s\n", out.dump(2).c_str());
        std::fflush(stdout);
    }
    return screen.outcome().socketsOk ? 0 : 1;
}

int runSet(NetArgs args, CliOptions options) {
    if (!checkLinkOptions(args.link))
        return 2;
    options.yes = options.yes || args.yes;
    CliConnection connection(options);
    AppContext& app = connection.app();
    NetSettingScreen screen(app.catalogue, connection.prompter(), app.clock, app.log, args.link);
    screen.open(connection.langId());
    screen.setSelectedMac(args.mac);
    screen.changeSetting(args.ip, args.mask, args.gateway, args.port, args.dhcp);
    screen.run();
    const NetSettingScreen::Outcome& outcome = screen.outcome();
    if (outcome.refused)
        return 2;
    if (!outcome.confirmed || !outcome.socketsOk)
        return 1;
    if (!outcome.answered) {
        std::fprintf(stderr,
                     "korvactl: no printer answered the new settings within %d ms; check the MAC "
                     "address\n",
                     args.link.waitMs);
        return 1;
    }
    return 0;
}

} // namespace

void registerNetCommands(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<NetArgs>();
    CLI::App* group =
        app.add_subcommand("net", "Network printer search and network settings change (UDP 2918)");
    group->require_subcommand(1);

    CLI::App* search = group->add_subcommand("search", "Find the network printers by broadcast");
    search->add_flag("--json", args->json, "Print JSON");
    addLinkOptions(*search, *args);
    search->callback([args, &context] { context.exitCode = runSearch(*args, context.options); });

    CLI::App* set = group->add_subcommand(
        "set", "Change one printer's network settings, addressed by its MAC address");
    set->add_option("--mac", args->mac, "The printer's MAC address, AA:BB:CC:DD:EE:FF")->required();
    set->add_option("--ip", args->ip, "New IP address")->required();
    set->add_option("--mask", args->mask, "New subnet mask")->required();
    set->add_option("--gateway", args->gateway, "New gateway address")->required();
    set->add_option("--port", args->port, "New TCP port: 1024 to 65534, or 515")->required();
    set->add_flag("--dhcp", args->dhcp, "The printer takes its address by DHCP");
    set->add_flag("--yes", args->yes, "Answer Yes to the question");
    addLinkOptions(*set, *args);
    set->callback([args, &context] { context.exitCode = runSet(*args, context.options); });
}

} // namespace korva::cli
