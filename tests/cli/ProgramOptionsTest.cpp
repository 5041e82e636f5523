// The three programs' own options, run as real processes: the version, and the desktop
// program's tolerance of options it does not know.
#include "ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace korva::test;

namespace {

const std::map<std::string, std::string> kOffscreen = {{"QT_QPA_PLATFORM", "offscreen"},
                                                       {"KORVASET_LANGID", "0x0409"}};

} // namespace

TEST(ProgramOptions, EveryProgramPrintsItsNameAndVersion) {
    std::vector<std::pair<std::string, std::string>> programs = {
        {KORVACTL_PATH, "korvactl 1.0.0.3\n"}, {KORVA_SIM_PATH, "korva-sim 1.0.0.3\n"}};
#ifdef KORVASET_PATH
    programs.emplace_back(KORVASET_PATH, "korvaset 1.0.0.3\n");
#endif
    TempDir dir;
    for (const auto& [path, expected] : programs) {
        ProgramResult r = runProgram(path, {"--version"}, dir.path(), 20000, kOffscreen);
        EXPECT_EQ(r.status, 0) << path << r.err;
        EXPECT_EQ(r.out, expected) << path;
    }
}

#ifdef KORVASET_PATH
TEST(ProgramOptions, TheDesktopProgramPassesOverOptionsItDoesNotKnow) {
    TempDir dir;
    ProgramResult r = runProgram(KORVASET_PATH, {"--no-such", "-z", "--also=1", "--version"},
                                 dir.path(), 20000, kOffscreen);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "korvaset 1.0.0.3\n");
    for (const char* name : {"no-such", "z", "also"})
        EXPECT_NE(r.err.find(std::string("ignoring the unknown option ") + name), std::string::npos)
            << r.err;
    // A known option used wrongly still stops it.
    ProgramResult bad = runProgram(KORVASET_PATH, {"--screenshots"}, dir.path(), 20000, kOffscreen);
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Missing value after '--screenshots'"), std::string::npos) << bad.err;
}
#endif
