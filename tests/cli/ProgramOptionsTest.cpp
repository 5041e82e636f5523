// The three programs' own options, run as real processes: the version, the desktop program's
// tolerance of options it does not know, and what korvactl says when a port cannot be opened.
#include "ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <unistd.h>

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

// A language korvactl cannot read must not quietly become English.
TEST(ProgramOptions, KorvactlRefusesALanguageThatIsNoId) {
    TempDir dir;
    for (const char* lang : {"ko", "ko_KR", "0x10412", ""}) {
        ProgramResult r =
            runProgram(KORVACTL_PATH, {"--lang", lang, "--model", "X", "setup", "get"}, dir.path(),
                       20000, kOffscreen);
        EXPECT_EQ(r.status, 2) << lang;
        EXPECT_NE(r.err.find("--lang: not a language id"), std::string::npos) << lang << r.err;
    }
    ProgramResult korean =
        runProgram(KORVACTL_PATH, {"--lang", "1042", "--model", "X", "setup", "get"}, dir.path(),
                   20000, kOffscreen);
    EXPECT_EQ(korean.status, 1);
    EXPECT_NE(korean.err.find("[KORVASet] 알수없는 장치입니다."), std::string::npos) << korean.err;
}

// A port that cannot be opened is named with the reason (status 1); a name that names no port
// is a refused command line (status 2), never a failed open.
TEST(ProgramOptions, APortThatCannotBeOpenedIsNamedWithTheReason) {
    TempDir dir;
    struct Row {
        const char *model, *port;
        int status;
        std::string said;
    } rows[] = {
        {"KORVA40S", "/dev/nonexist", 1,
         "Init Fail\nDevice /dev/nonexist: No such file or directory."},
        {"KORVA40P", "LPT:/dev/nonexist", 1,
         "Init Fail\n[ParPortCtl] CreateFile fail : 2\nDevice /dev/nonexist: No such file or "
         "directory."},
        {"KORVA40P", "LPT0", 2, "--port LPT0 is not a port name"},
        {"KORVA40S", "com0", 2, "--port com0 is not a port name"},
        {"KORVA40P", "LPT:", 2, "--port LPT: is not a port name"},
        {"KORVA40S", "PRN", 2, "--port PRN is not a port name"},
    };
    for (const Row& row : rows) {
        ProgramResult r =
            runProgram(KORVACTL_PATH, {"--model", row.model, "--port", row.port, "setup", "get"},
                       dir.path(), 20000, kOffscreen);
        EXPECT_EQ(r.status, row.status) << row.port;
        EXPECT_NE(r.err.find(row.said), std::string::npos) << row.port << ": " << r.err;
        if (row.status == 2) {
            EXPECT_EQ(r.err.find("Init Fail"), std::string::npos) << row.port << ": " << r.err;
        }
    }
}

TEST(ProgramOptions, APortRefusedForLackOfPermissionSaysWhatGrantsAccess) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run korvactl as another, unprivileged user";
    if (::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "setpriv is not installed";
    TempDir dir;
    ::chmod(dir.path().c_str(), 0777); // the unprivileged run writes its log and profile here
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::string tty = ::ttyname(slave);
    ::chmod(tty.c_str(), 0600);
    dir.write("lp0", "");
    ::chmod(dir.file("lp0").c_str(), 0600);
    struct Row {
        std::string port, device, group;
    } rows[] = {{tty, tty, "dialout"}, {"LPT:" + dir.file("lp0"), dir.file("lp0"), "lp"}};
    for (const Row& row : rows) {
        ProgramResult r = runProgram(
            "/usr/bin/setpriv",
            {"--reuid=65534", "--regid=65534", "--clear-groups", KORVACTL_PATH, "--model",
             row.group == "lp" ? "KORVA40P" : "KORVA40S", "--port", row.port, "setup", "get"},
            dir.path(), 20000, kOffscreen);
        EXPECT_EQ(r.status, 1) << row.port;
        EXPECT_NE(r.err.find("Device " + row.device +
                             ": Permission denied. The udev rule shipped "
                             "with the program, or membership of the '" +
                             row.group + "' group, grants access to it."),
                  std::string::npos)
            << r.err;
    }
    ::close(master);
    ::close(slave);
}

// korvactl's serial defaults are the model's first list items; a rate the model's list does not
// hold is refused with the screen's message and the list.
TEST(ProgramOptions, TheBaudRateDefaultsToTheModelsFirstListItem) {
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    const std::string tty = ::ttyname(slave);
    struct Row {
        std::vector<std::string> baud;
        std::string shown, notShown;
        int status = 1; // 2: the rate given is refused
    } rows[] = {
        {{}, "User Setup is not available for KORVA10 printers", "Baudrate is not selected!"},
        {{"--baud", "9600"}, "User Setup is not available for KORVA10", "Baudrate"},
        {{"--baud", "115200"},
         "Baudrate is not selected!\nKORVA10S takes 38400, 19200, 9600.",
         "not available",
         2},
    };
    TempDir dir;
    for (const Row& row : rows) {
        std::vector<std::string> args = {"--model", "KORVA10S", "--port", tty};
        args.insert(args.end(), row.baud.begin(), row.baud.end());
        args.insert(args.end(), {"setup", "test"});
        ProgramResult r = runProgram(KORVACTL_PATH, args, dir.path(), 20000, kOffscreen);
        EXPECT_EQ(r.status, row.status) << r.err;
        EXPECT_NE(r.err.find(row.shown), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find(row.notShown), std::string::npos) << r.err;
    }
    ::close(master);
    ::close(slave);
}

// A command line korvactl refuses ends with status 2 whatever the parser found wrong; asking for
// help is no fault.
TEST(ProgramOptions, ARefusedCommandLineEndsWithStatusTwo) {
    const struct {
        std::vector<std::string> args;
        int status;
    } rows[] = {
        {{"logo", "upload", "a.bmp", "--threshold", "300"}, 2}, // value out of range
        {{"--model"}, 2},                                       // option without its value
        {{"logo", "print", "--all", "--select", "1"}, 2},       // options that exclude each other
        {{"no-such-command"}, 2},
        {{"logo", "print", "--help"}, 0},
    };
    TempDir dir;
    for (const auto& row : rows) {
        ProgramResult r = runProgram(KORVACTL_PATH, row.args, dir.path(), 20000, kOffscreen);
        EXPECT_EQ(r.status, row.status) << row.args.front() << " " << r.err;
    }
}
