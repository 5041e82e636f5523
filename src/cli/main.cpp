// korvactl: the service utility's jobs from the command line, for scripts and headless machines.
#include "base/FileVersion.h"
#include "base/Language.h"
#include "cli/Commands.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    korva::cli::CliContext context;
    korva::cli::CliOptions& o = context.options;

    CLI::App app{"korvactl - KORVA printer service utility"};
    app.require_subcommand(1);
    app.set_version_flag(
        "--version", [] { return "korvactl " + korva::dottedVersion(korva::currentFileVersion()); },
        "Print the program's name and version and exit");
    app.add_option("--model", o.model, "Printer model name, as the ports command lists them")
        ->capture_default_str();
    app.add_option("--port", o.port, "Device path, COMn, LPTn, USB, ETHERNET_II or FILE:NAME");
    app.add_option("--baud", o.baud,
                   "Serial baud rate (default: the model's first, 38400 for the KORVA10 family, "
                   "115200 for the others)");
    app.add_option("--data", o.dataBits, "Serial data bits")->capture_default_str();
    app.add_option("--parity", o.parity, "Serial parity")
        ->check(CLI::IsMember({"none", "odd", "even"}))
        ->capture_default_str();
    app.add_option("--stop", o.stopBits, "Serial stop bits")
        ->check(CLI::IsMember({1, 2}))
        ->capture_default_str();
    app.add_option("--flow", o.flow, "Serial flow control")
        ->check(CLI::IsMember({"hw", "sw", "none"}))
        ->capture_default_str();
    app.add_option("--ip", o.ip, "Network printer address (ETHERNET_II)")->capture_default_str();
    app.add_option("--tcp-port", o.tcpPort, "Network printer TCP port")->capture_default_str();
    app.add_option("--sysfs", o.sysRoot, "sysfs root for discovery")->capture_default_str();
    app.add_option("--dev", o.devRoot, "device-node root for discovery")->capture_default_str();
    app.add_option("--lang", o.lang, "Language id: 0x0412 Korean, any other (0x0409) English")
        ->check(CLI::Validator(
            [](std::string& id) -> std::string {
                if (korva::parseLanguageId(id.c_str()))
                    return "";
                return "not a language id; 0x0412 gives Korean, 0x0409 English";
            },
            "ID"));
    app.add_flag("--yes", o.yes, "Answer Yes to every question");

    // Command groups (one line each):
    korva::cli::registerLogoCommands(app, context);
    korva::cli::registerSetupCommands(app, context);
    korva::cli::registerPortsCommand(app, context);
    korva::cli::registerFirmwareCommands(app, context);
    korva::cli::registerNetCommands(app, context);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Scripts tell a refused command line by status 2, whatever CLI11 numbers the fault.
        return app.exit(e) == 0 ? 0 : 2;
    }
    return context.exitCode;
}
