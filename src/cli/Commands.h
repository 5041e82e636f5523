#pragma once
// Each command group of korvactl lives in its own file and registers itself here. A command
// sets *exitCode (0 only when its job succeeded) from its callback.
#include "cli/CliOptions.h"

namespace CLI {
class App;
}

namespace korva::cli {

struct CliContext {
    CliOptions options;
    int exitCode = 0;
};

// Command groups (one line each):
void registerLogoCommands(CLI::App& app, CliContext& context);
void registerSetupCommands(CLI::App& app, CliContext& context);
void registerPortsCommand(CLI::App& app, CliContext& context);
void registerFirmwareCommands(CLI::App& app, CliContext& context);
void registerNetCommands(CLI::App& app, CliContext& context);

} // namespace korva::cli
