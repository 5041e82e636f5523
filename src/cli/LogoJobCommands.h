#pragma once
// korvactl logo list, upload, erase and print: the logo tool's jobs through its controllers.
namespace CLI {
class App;
}

namespace korva::cli {

struct CliContext;

void registerLogoJobCommands(CLI::App& logo, CliContext& context);

} // namespace korva::cli
