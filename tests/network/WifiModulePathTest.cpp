// Where the desktop program looks for the WiFi plugin: installed, in a build folder, overridden.
#include "network/WifiModule.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace korva {
namespace {

TEST(WifiModulePath, InstalledBuildTreeAndOverride) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string plugin = WifiModule::kFileName;
    // An installed layout (bin and the plugin folder relative to it) and a build folder.
    const std::string bin = dir.file("usr/bin");
    const std::string installed = bin + "/" + WifiModule::kInstalledDir + "/" + plugin;
    const std::string build = dir.file("build/src/gui");
    fs::create_directories(fs::path(installed).parent_path());
    fs::create_directories(build);
    dir.write("usr/bin/korvaset", "");
    dir.write("build/src/gui/korvaset", "");
    dir.write("build/src/gui/" + plugin, "");

    struct Case {
        const char* what;
        const char* override;
        std::string exe;
        bool installedPresent;
        std::string expected;
    };
    const Case cases[] = {
        {"installed program, plugin installed", nullptr, bin + "/korvaset", true, installed},
        {"installed program, no plugin: named where it belongs", nullptr, bin + "/korvaset", false,
         installed},
        {"build folder: beside the program", nullptr, build + "/korvaset", true,
         build + "/" + plugin},
        {"the environment wins", "/opt/x/libkorva-wifi.so", bin + "/korvaset", true,
         "/opt/x/libkorva-wifi.so"},
        {"empty environment value is unset", "", bin + "/korvaset", true, installed},
        {"no executable path", nullptr, "", true, plugin},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.installedPresent)
            dir.write("usr/bin/" + std::string(WifiModule::kInstalledDir) + "/" + plugin, "");
        else
            fs::remove(installed);
        EXPECT_EQ(WifiModule::locate(c.override, c.exe), c.expected);
    }
    // The folder the build fixed is the multiarch library folder beside bin.
    EXPECT_TRUE(std::string(WifiModule::kInstalledDir).starts_with("../lib"));
    EXPECT_TRUE(std::string(WifiModule::kInstalledDir).ends_with("/korvaset"));
}

} // namespace
} // namespace korva
