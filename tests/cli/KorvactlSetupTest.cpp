// korvactl's setup commands as a program: byte-exact on the FILE port, and against korva-sim
// over a serial pseudo-terminal, TCP (ETHERNET_II), the parallel stand-in and the USB stand-in.
#include "ProgramRunner.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;
const std::string kSim = KORVA_SIM_PATH;
const std::string kEnter = "1D 28 45 03 00 01 49 4E";
const std::string kLeave = "1D 28 45 04 00 02 4F 55 54";
const std::map<std::string, std::string> kEnglish = {{"KORVASET_LANGID", "0x0409"}};

Bytes fileBytes(const TempDir& dir, const std::string& name) {
    std::ifstream in(dir.file(name), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

ProgramResult ctl(const TempDir& dir, std::vector<std::string> args, int timeoutMs = 60000) {
    return runProgram(kCtl, args, dir.path(), timeoutMs, kEnglish);
}

// The byte runs of a stream, as hex text, for "contains" checks.
bool has(const Bytes& data, const std::string& hexText) {
    return hex(data).find(hexText) != std::string::npos;
}

} // namespace

TEST(KorvactlFile, MarginOnlyWritesExactlyTheBracket) {
    TempDir dir;
    ProgramResult r = ctl(dir, {"--port", "FILE:out.prn", "setup", "set", "margin=100"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hex(fileBytes(dir, "out.prn")),
              kEnter + " 1D 28 45 0A 00 05 FA 64 00 FF 00 00 00 00 04 " + kLeave);
    EXPECT_NE(r.out.find("margin=100"), std::string::npos);
    // Both programs' files: the log with its header, the profile with the code page pairs.
    EXPECT_NE(dir.read("error.log").find("ERROR LOG : Tool - Ver 1.0.0.3"), std::string::npos);
    EXPECT_NE(dir.read("korvaset.INI").find("CodePage255=254|SPACE PAGE"), std::string::npos);
}

TEST(KorvactlFile, RecordsOfSingleSettings) {
    struct Row {
        std::vector<std::string> keys;
        std::string record; // the Write settings command
    } rows[] = {
        {{"paper_type=2color"}, "1D 28 45 10 00 05 74 01 01 76 55 00 FA 00 00 FF 00 00 00 00 04"},
        {{"setup_code=1A2B"}, "1D 28 45 0A 00 05 FA 00 00 FF 2B 1A 00 00 04"},
        {{"setup_code=12345678G"}, "1D 28 45 0A 00 05 FA 00 00 FF 00 00 00 00 04"},
        {{"code_page=254", "paper_width=58/30"},
         "1D 28 45 10 00 05 03 02 00 F6 FE 00 FA 00 00 FF 00 00 00 00 04"},
        {{"bell_type=TAVEL Melody 2"}, "1D 28 45 0D 00 05 F5 03 03 FA 00 00 FF 00 00 00 00 04"},
        {{"usb_mode=com", "sleep_mode=10"},
         "1D 28 45 10 00 05 D4 02 00 D2 02 00 FA 00 00 FF 00 00 00 00 04"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::vector<std::string> args = {"--port", "FILE:out.prn", "setup", "set"};
        args.insert(args.end(), row.keys.begin(), row.keys.end());
        ProgramResult r = ctl(dir, args);
        ASSERT_EQ(r.status, 0) << row.keys[0] << r.err;
        EXPECT_EQ(hex(fileBytes(dir, "out.prn")), kEnter + " " + row.record + " " + kLeave)
            << row.keys[0];
    }
}

TEST(KorvactlFile, UnknownKeysAndValuesOutOfRangeSendNothing) {
    for (std::string bad : {"colour=1", "margin=513", "water_mark=0", "code_page=6",
                            "paper_width=76", "print_speed=190", "margin"}) {
        TempDir dir;
        ProgramResult r = ctl(dir, {"--port", "FILE:out.prn", "setup", "set", bad});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.err.find("nothing was sent"), std::string::npos) << bad << r.err;
        EXPECT_TRUE(fileBytes(dir, "out.prn").empty()) << bad;
    }
}

// Requests that cannot be written as asked are refused as a command line (status 2), whatever
// the answer to the screen's questions would be.
TEST(KorvactlFile, RequestsThatCannotBeWrittenAsAskedAreRefused) {
    struct Row {
        std::vector<std::string> args;
        std::string reason;
        std::string profile = ""; // korvaset.INI before the run
    } rows[] = {
        // Written with the bell type, which nothing on FILE tells.
        {{"setup", "set", "bell_times=4"}, "the printer's bell type is not known"},
        {{"--yes", "setup", "set", "paper_type=2color", "water_mark=5"},
         "water mark print is impossible in Two-color print mode"},
        {{"setup", "set", "water_mark=5", "paper_type=2Color"}, "cannot be written together"},
        // Places of the list that write another size, or none.
        {{"setup", "set", "receive_buffer=16"},
         "R_BUF_SZ0, but that place of the list writes 64 KB",
         "[USER]\nR_BUF_SZ0=16\nR_BUF_SZ1=32\nR_BUF_SZ2=20\nR_BUF_SZ3=4\nR_BUF_SZ4=8\n"},
        {{"setup", "set", "receive_buffer=8"},
         "R_BUF_SZ4, past the four sizes",
         "[USER]\nR_BUF_SZ0=16\nR_BUF_SZ1=32\nR_BUF_SZ2=20\nR_BUF_SZ3=4\nR_BUF_SZ4=8\n"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        if (!row.profile.empty())
            dir.write("korvaset.INI", row.profile);
        std::vector<std::string> args = {"--port", "FILE:out.prn"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        ProgramResult r = ctl(dir, args);
        EXPECT_EQ(r.status, 2) << row.reason << r.err;
        EXPECT_NE(r.err.find(row.reason), std::string::npos) << r.err;
        EXPECT_TRUE(fileBytes(dir, "out.prn").empty()) << row.reason;
    }
}

// As on the selection screen: the profile's models up to the first empty value.
TEST(KorvactlFile, PortsListsTheProfilesModelsUpToTheFirstEmptyValue) {
    TempDir dir;
    dir.write("korvaset.INI", "[DEVICELIST]\nfirst=K40S\nsecond=PRINTER-X\nthird=\n"
                              "fourth=KORVA40S\n");
    ProgramResult r = ctl(dir, {"--sysfs", dir.path(), "--dev", dir.path(), "ports"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("(from the profile's DEVICELIST):\n  K40S\n  PRINTER-X\nserial ports:"),
              std::string::npos)
        << r.out;
}

TEST(KorvactlFile, MemorySizesOverTheLimitAreRefusedAndNothingIsWritten) {
    TempDir dir;
    ProgramResult r =
        ctl(dir, {"--port", "FILE:out.prn", "setup", "set", "nv_user=320", "nv_graphic=192"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.err.find("Total NV Memory Size 448KB"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing was written"), std::string::npos) << r.err;
    EXPECT_TRUE(fileBytes(dir, "out.prn").empty());

    TempDir fits;
    r = ctl(fits, {"--port", "FILE:out.prn", "setup", "set", "nv_user=64", "nv_graphic=384"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(hex(fileBytes(fits, "out.prn")),
              kEnter + " 1D 28 45 10 00 05 01 01 00 02 07 00 FA 00 00 FF 00 00 00 00 04 " + kLeave);
}

TEST(KorvactlFile, NothingToWriteIsSaid) {
    TempDir dir;
    ProgramResult r = ctl(dir, {"--port", "FILE:out.prn", "setup", "set", "margin=0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("nothing to write"), std::string::npos) << r.err;
    EXPECT_TRUE(fileBytes(dir, "out.prn").empty());
}

TEST(KorvactlFile, DefaultsOnANonKoreanSystem) {
    TempDir dir;
    ProgramResult r = ctl(dir, {"--yes", "--port", "FILE:out.prn", "setup", "defaults"});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes out = fileBytes(dir, "out.prn");
    EXPECT_TRUE(has(out, "FB 01 01"));
    EXPECT_TRUE(has(out, "FC 30 34"));
    EXPECT_TRUE(has(out, "FD 00 01"));
    EXPECT_NE(r.err.find("If you change the stop bit configuration,\nthis program maybe do not "
                         "work correctly."),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("-> Yes"), std::string::npos);

    // No terminal and no --yes: the question is answered No and nothing is written.
    TempDir other;
    r = ctl(other, {"--port", "FILE:out.prn", "setup", "defaults"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("-> No"), std::string::npos);
    EXPECT_TRUE(fileBytes(other, "out.prn").empty());
}

TEST(KorvactlFile, DefaultsOnAKoreanSystemInKorean) {
    TempDir dir;
    ProgramResult r = runProgram(kCtl, {"--yes", "--port", "FILE:out.prn", "setup", "defaults"},
                                 dir.path(), 60000, {{"KORVASET_LANGID", "0x0412"}});
    ASSERT_EQ(r.status, 0) << r.err;
    Bytes out = fileBytes(dir, "out.prn");
    EXPECT_TRUE(has(out, "FB 00 01")) << "drawer in self-test Enable";
    EXPECT_TRUE(has(out, "FC 32 30")) << "receive buffer 20";
    EXPECT_NE(r.err.find("모든 설정을 기본값으로 바꾸시겠습니까?"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Stop Bit설정을 변경 할 경우,\n"), std::string::npos) << r.err;
    // --lang wins over the environment.
    TempDir english;
    r = runProgram(kCtl, {"--lang", "0x0409", "--yes", "--port", "FILE:out.prn", "setup", "test"},
                   english.path(), 60000, {{"KORVASET_LANGID", "0x0412"}});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(has(fileBytes(english, "out.prn"), "C7 D1 B1 DB")) << "no Korean test line";
}

TEST(KorvactlFile, SelectionChecksAndTheirMessages) {
    struct Row {
        std::vector<std::string> args;
        const char* message;
        int status = 1; // 2: the command line itself is refused
    } rows[] = {
        {{"--model", "PRINTER9"}, "Invalid Device!"},
        {{"--port", "/dev/nonexistent", "--baud", "57600"}, "Baudrate is not selected!", 2},
        {{"--model", "KORVA10S", "--port", "/dev/nonexistent", "--baud", "115200"},
         "Baudrate is not selected!",
         2},
        {{"--port", "/dev/nonexistent", "--data", "9"}, "Data length is not selected!", 2},
        {{"--port", "/dev/nonexistent", "--data", "5", "--stop", "2"},
         "Stop Bit is not selected",
         2},
        {{"--port", "ETHERNET_II", "--tcp-port", "1023"},
         "Please enter PORT number between 1024 ~ 65534.",
         2},
        {{"--port", "ETHERNET_II", "--tcp-port", "65535"},
         "Please enter PORT number between 1024 ~ 65534.",
         2},
        {{"--port", "FILE:"}, "Input the output file name!", 2},
        {{"--port", "/dev/nonexistent"}, "Init Fail"},
        {{"--port", "ETHERNET_II", "--ip", "10.0.0.300"},
         "--ip 10.0.0.300 is not an IPv4 address",
         2},
        {{"--port", "ETHERNET_II", "--ip", "printer"}, "--ip printer is not an IPv4 address", 2},
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::vector<std::string> args = row.args;
        args.insert(args.end(), {"--sysfs", dir.path(), "--dev", dir.path(), "setup", "test"});
        ProgramResult r = ctl(dir, args);
        EXPECT_EQ(r.status, row.status) << row.message;
        EXPECT_NE(r.err.find(row.message), std::string::npos) << row.message << ": " << r.err;
    }
}

TEST(KorvactlSim, SerialGetSetGetAndTestPage) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial", "--leave-busy-ms", "20"}, dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    const std::vector<std::string> port = {"--port", sim.link("serial"), "--flow", "none"};
    auto with = [&](std::vector<std::string> rest) {
        std::vector<std::string> a = port;
        a.insert(a.end(), rest.begin(), rest.end());
        return ctl(dir, a);
    };

    ProgramResult get = with({"setup", "get", "--json"});
    ASSERT_EQ(get.status, 0) << get.err;
    auto before = nlohmann::json::parse(get.out);
    EXPECT_EQ(before["margin"], "0");
    EXPECT_EQ(before["nv_graphic"], "384");
    EXPECT_EQ(before.size(), 19u);

    ProgramResult set = with({"setup", "set", "margin=100", "code_page=16", "paper_width=58/32",
                              "water_mark=12", "bell_times=5", "setup_code=1a2b"});
    ASSERT_EQ(set.status, 0) << set.err;
    get = with({"setup", "get", "--json"});
    ASSERT_EQ(get.status, 0) << get.err;
    auto after = nlohmann::json::parse(get.out);
    EXPECT_EQ(after["margin"], "100");
    EXPECT_EQ(after["code_page"], "16");
    EXPECT_EQ(after["paper_width"], "58/32");
    EXPECT_EQ(after["water_mark"], "12");
    EXPECT_EQ(after["bell_times"], "5");
    EXPECT_EQ(after["bell_type"], before["bell_type"]) << "kept from the printer";
    EXPECT_EQ(after["setup_code"], "1A2B");
    for (const char* untouched : {"nv_graphic", "print_speed", "receive_buffer", "stop_bit"})
        EXPECT_EQ(after[untouched], before[untouched]) << untouched;

    ProgramResult text = with({"setup", "get"});
    EXPECT_NE(text.out.find("Default Code Page: 16| PC1252 (Windows CP)"), std::string::npos)
        << text.out;
    ProgramResult test = with({"setup", "test"});
    ASSERT_EQ(test.status, 0) << test.err;

    nlohmann::json report = sim.stop();
    ASSERT_TRUE(report.is_object());
    // Only the given settings (with the printer's bell type) travel in the one bracket.
    EXPECT_EQ(report["setup"]["enters"], 1);
    EXPECT_EQ(report["setup"]["writes"], 1);
    EXPECT_EQ(report["settings"]["246"], "16");
    bool printed = false;
    for (const auto& line : report["textLines"])
        printed = printed || line == "USER SETUP UTILITY TEST PRINT!";
    EXPECT_TRUE(printed);
    EXPECT_GE(report["cuts"].get<int>(), 1);
}

TEST(KorvactlSim, SetRefusesWhenTheMarginCannotBeRead) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial", "--drop-reply", "0xFA"}, dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    ProgramResult r =
        ctl(dir, {"--port", sim.link("serial"), "--flow", "none", "setup", "set", "code_page=16"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("margin and setup code could not be read"), std::string::npos) << r.err;
    ProgramResult get = ctl(dir, {"--port", sim.link("serial"), "--flow", "none", "setup", "get"});
    EXPECT_EQ(get.status, 1) << "a setting went unanswered";
    EXPECT_NE(get.out.find("margin            (no answer)"), std::string::npos) << get.out;
    nlohmann::json report = sim.stop();
    EXPECT_EQ(report["setup"]["enters"], 0) << "nothing was written";
}

TEST(KorvactlSim, MemorySizeIsWeighedAgainstThePrintersOther) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial", "--leave-busy-ms", "20"}, dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    const std::vector<std::string> port = {"--port", sim.link("serial"), "--flow", "none"};
    auto with = [&](std::vector<std::string> rest) {
        std::vector<std::string> a = port;
        a.insert(a.end(), rest.begin(), rest.end());
        return ctl(dir, a);
    };
    // The printer holds 384 KB of graphic memory: 128 KB more user memory would make 512.
    ProgramResult r = with({"setup", "set", "nv_user=128"});
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_NE(r.err.find("Total NV Memory Size 448KB"), std::string::npos) << r.err;
    ProgramResult ok = with({"setup", "set", "nv_user=64", "margin=3"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    nlohmann::json report = sim.stop();
    ASSERT_TRUE(report.is_object());
    EXPECT_EQ(report["setup"]["enters"], 1) << "only the write that fits";
}

TEST(KorvactlSim, ParallelSetKeepsTheReadMarginAndCodeWhenASettingGoesUnanswered) {
    TempDir dir;
    SimProcess sim(
        kSim,
        {"--model", "KORVA40P", "--parallel", "--drop-reply", "0x03", "--leave-busy-ms", "20"},
        dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    const std::vector<std::string> port = {"--model", "KORVA40P", "--port",
                                           "LPT:" + sim.link("parallel")};
    auto with = [&](std::vector<std::string> rest) {
        std::vector<std::string> a = port;
        a.insert(a.end(), rest.begin(), rest.end());
        return runProgram(kCtl, a, dir.path(), 60000,
                          {{"KORVASET_LANGID", "0x0409"}, {"KORVACTL_PAUSE_SCALE", "100"}});
    };
    ASSERT_EQ(with({"setup", "set", "margin=7", "setup_code=1A", "paper_type=2color",
                    "color_density=dark"})
                  .status,
              0);
    // The paper width never answers, so the screen is still asking when the write is due.
    ProgramResult set = with({"setup", "set", "code_page=16", "water_mark=disable"});
    ASSERT_EQ(set.status, 0) << set.err;
    ProgramResult get = with({"setup", "get", "--json"});
    EXPECT_EQ(get.status, 1) << "the paper width went unanswered";
    auto values = nlohmann::json::parse(get.out);
    EXPECT_EQ(values["code_page"], "16");
    EXPECT_EQ(values["margin"], "7") << "the printer's margin was kept";
    EXPECT_EQ(values["setup_code"], "1A") << "the printer's setup code was kept";
    EXPECT_EQ(values["paper_type"], "2color");
    EXPECT_EQ(values["color_density"], "dark") << "the printer's density went with its paper type";
}

TEST(KorvactlSim, TwoColorMeetsThePrintersWaterMark) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial", "--leave-busy-ms", "20"}, dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    auto with = [&](std::vector<std::string> rest) {
        std::vector<std::string> a = {"--port", sim.link("serial"), "--flow", "none"};
        a.insert(a.end(), rest.begin(), rest.end());
        return ctl(dir, a);
    };
    ASSERT_EQ(with({"setup", "set", "paper_type=black", "water_mark=12"}).status, 0);
    // Asked whether to disable the printer's water mark; No leaves one colour.
    ProgramResult no = with({"setup", "set", "paper_type=2color"});
    EXPECT_NE(no.err.find("Disable water mark function?"), std::string::npos) << no.err;
    EXPECT_EQ(no.status, 3) << "a value not applied is no success";
    EXPECT_NE(no.err.find("paper_type=2color was not applied: the printer's water mark stays on"),
              std::string::npos)
        << no.err;
    auto values = nlohmann::json::parse(with({"setup", "get", "--json"}).out);
    EXPECT_EQ(values["paper_type"], "black");
    EXPECT_EQ(values["water_mark"], "12");
    ASSERT_EQ(with({"--yes", "setup", "set", "paper_type=2color"}).status, 0);
    values = nlohmann::json::parse(with({"setup", "get", "--json"}).out);
    EXPECT_EQ(values["paper_type"], "2color");
    EXPECT_EQ(values["water_mark"], "disable") << "never 2Color with a water mark";
    ProgramResult noMark = with({"setup", "set", "water_mark=5"});
    EXPECT_EQ(noMark.status, 3);
    EXPECT_NE(noMark.err.find("water_mark=5 was not applied: the printer's paper stays 2Color"),
              std::string::npos)
        << noMark.err;
    // And the other way round: a water mark on a 2Color printer asks for one colour.
    ASSERT_EQ(with({"--yes", "setup", "set", "water_mark=5"}).status, 0);
    values = nlohmann::json::parse(with({"setup", "get", "--json"}).out);
    EXPECT_EQ(values["paper_type"], "black");
    EXPECT_EQ(values["water_mark"], "5");
}

// The bell type and its times are one record: either half alone keeps the printer's other.
TEST(KorvactlSim, ABellHalfKeepsThePrintersOtherHalf) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial", "--leave-busy-ms", "20"}, dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    auto with = [&](std::vector<std::string> rest) {
        std::vector<std::string> a = {"--port", sim.link("serial"), "--flow", "none"};
        a.insert(a.end(), rest.begin(), rest.end());
        return ctl(dir, a);
    };
    auto bell = [&] {
        auto values = nlohmann::json::parse(with({"setup", "get", "--json"}).out);
        return values["bell_type"].get<std::string>() + " " +
               values["bell_times"].get<std::string>();
    };
    ASSERT_EQ(with({"setup", "set", "bell_type=tavel_melody_1", "bell_times=5"}).status, 0);
    ProgramResult type = with({"setup", "set", "bell_type=tavel_bell"});
    ASSERT_EQ(type.status, 0) << type.err;
    EXPECT_EQ(bell(), "tavel_bell 5");
    ProgramResult times = with({"setup", "set", "bell_times=2"});
    ASSERT_EQ(times.status, 0) << times.err;
    EXPECT_EQ(bell(), "tavel_bell 2");
}

TEST(KorvactlSim, FaultyRepliesOverSerial) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial", "--split-replies", "--status-blocks", "--garbage"},
                   dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    ProgramResult get =
        ctl(dir, {"--port", sim.link("serial"), "--flow", "none", "setup", "get", "--json"});
    ASSERT_EQ(get.status, 0) << get.err;
    auto values = nlohmann::json::parse(get.out);
    EXPECT_EQ(values["paper_width"], "80");
    EXPECT_EQ(values["receive_buffer"], "4");
}

TEST(KorvactlSim, NetworkSetAndGet) {
    TempDir dir;
    SimProcess sim(kSim, {"--model", "KORVA40E-II", "--tcp", "0", "--leave-busy-ms", "20"},
                   dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    std::string tcp = sim.link("tcp");
    std::string portNumber = tcp.substr(tcp.find(':') + 1);
    const std::vector<std::string> net = {"--model", "KORVA40E-II", "--port",     "ETHERNET_II",
                                          "--ip",    "127.0.0.1",   "--tcp-port", portNumber};
    std::vector<std::string> a = net;
    a.insert(a.end(), {"setup", "set", "print_speed=150", "margin=7"});
    // The printer is busy for 20 ms only, so the 3 s pause after the write may shrink too.
    ProgramResult set =
        runProgram(kCtl, a, dir.path(), 60000,
                   {{"KORVASET_LANGID", "0x0409"}, {"KORVACTL_PAUSE_SCALE", "100"}});
    ASSERT_EQ(set.status, 0) << set.err;
    a = net;
    a[5] = "127.000.000.001"; // the same address with leading zeros reaches the same printer
    a.insert(a.end(), {"setup", "get", "--json"});
    ProgramResult get = ctl(dir, a);
    ASSERT_EQ(get.status, 0) << get.err;
    auto values = nlohmann::json::parse(get.out);
    EXPECT_EQ(values["print_speed"], "150");
    EXPECT_EQ(values["margin"], "7");
    EXPECT_FALSE(values.contains("stop_bit")) << "not asked over the network";
}

TEST(KorvactlSim, ParallelAndUsbGet) {
    TempDir dir;
    SimProcess sim(kSim,
                   {"--model", "KORVA40U-II", "--serial", "--parallel", "--usb", "--sysfs-dir",
                    dir.file("tree")},
                   dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    ProgramResult lpt = ctl(dir, {"--model", "KORVA40P", "--port", "LPT:" + sim.link("parallel"),
                                  "setup", "get", "--json"});
    ASSERT_EQ(lpt.status, 0) << lpt.err;
    auto values = nlohmann::json::parse(lpt.out);
    EXPECT_EQ(values["margin"], "0");
    EXPECT_EQ(values.size(), 18u) << "17 queries, the bell answers two keys";

    ProgramResult usb = ctl(dir, {"--model", "KORVA40U-II", "--sysfs", dir.file("tree/sys"),
                                  "--dev", dir.file("tree/dev"), "setup", "get", "--json"});
    ASSERT_EQ(usb.status, 0) << usb.err;
    values = nlohmann::json::parse(usb.out);
    EXPECT_EQ(values["nv_user"], "64");
    EXPECT_EQ(values.size(), 19u);

    // The tree's virtual serial port is a link to the printer's terminal, found and given.
    for (const std::string& port : {std::string(), dir.file("tree/dev/ttyACM0")}) {
        std::vector<std::string> args = {
            "--model", "KORVA40U-I", "--sysfs", dir.file("tree/sys"), "--dev", dir.file("tree/dev"),
            "setup",   "get",        "--json"};
        if (!port.empty())
            args.insert(args.begin(), {"--port", port});
        ProgramResult acm = ctl(dir, args);
        ASSERT_EQ(acm.status, 0) << port << acm.err;
        EXPECT_EQ(nlohmann::json::parse(acm.out)["margin"], "0");
    }

    // The names the udev rule makes: relative links, one to this printer, one to a node that
    // is not it.
    std::filesystem::create_directories(dir.file("tree/dev/korva"));
    std::filesystem::create_symlink("../usb/lp0", dir.file("tree/dev/korva/KORVA40U-II-SIM1"));
    std::filesystem::create_symlink("../null", dir.file("tree/dev/korva/KORVA40U-I-OTHER"));
    dir.write("tree/dev/null", "");
    ProgramResult ports =
        ctl(dir, {"--sysfs", dir.file("tree/sys"), "--dev", dir.file("tree/dev"), "ports"});
    EXPECT_EQ(ports.status, 0);
    EXPECT_NE(ports.out.find("KORVA40U-II  (preselected)"), std::string::npos) << ports.out;
    EXPECT_NE(ports.out.find("USB\\VID_5E3B&PID_3012&REV_0100  " + dir.file("tree/dev/usb/lp0") +
                             "  " + dir.file("tree/dev/korva/KORVA40U-II-SIM1") + "\n"),
              std::string::npos)
        << ports.out;
    EXPECT_EQ(ports.out.find("OTHER"), std::string::npos) << ports.out;
}

TEST(KorvactlSim, GetOnAKoreanSystemLabelsRowsAsTheKoreanScreen) {
    TempDir dir;
    SimProcess sim(kSim, {"--serial"}, dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    ProgramResult get =
        runProgram(kCtl, {"--port", sim.link("serial"), "--flow", "none", "setup", "get"},
                   dir.path(), 60000, {{"KORVASET_LANGID", "0x0412"}});
    ASSERT_EQ(get.status, 0) << get.err;
    for (const char* line : {"용지 종류: 검정", "워터마크 기능: 사용안함", "인쇄 최고 속도: ",
                             "Customize Setup Code: "}) // the screen leaves this row English
        EXPECT_NE(get.out.find(line), std::string::npos) << line << "\n" << get.out;
    EXPECT_EQ(get.out.find("Paper Type:"), std::string::npos) << get.out;
}
