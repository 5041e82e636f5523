// korvactl firmware as a program: the FILE port's bytes, the refusals, and every area of a
// KORVA30 and a KORVA40 model against korva-sim over serial, parallel, USB and TCP.
#include "ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <iterator>
#include <unistd.h>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;
const std::string kSim = KORVA_SIM_PATH;
constexpr std::size_t kSize = 0x800000;
// The settling waits shrink a hundredfold: the virtual printer needs no time to reprogram.
const std::map<std::string, std::string> kEnv = {{"KORVASET_LANGID", "0x0409"},
                                                 {"KORVACTL_PAUSE_SCALE", "100"}};

std::string makeImage(const TempDir& dir, const std::string& name, std::size_t size = kSize,
                      const char* signature = "QOLT", std::uint8_t bootEnable = 3) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7) ^ (i >> 9));
    if (size == kSize) {
        bytes[0x7FFFFB] = static_cast<char>(bootEnable);
        bytes.replace(0x7FFFFC, 4, signature);
    }
    std::ofstream(dir.file(name), std::ios::binary) << bytes;
    return bytes;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ProgramResult ctl(const TempDir& dir, std::vector<std::string> args) {
    return runProgram(kCtl, args, dir.path(), 120000, kEnv);
}

} // namespace

TEST(KorvactlFirmwareFile, ProgramAreaBytesExact) {
    TempDir dir;
    std::string image = makeImage(dir, "fw.SHC");
    struct Row {
        std::string model, head;
        std::size_t offset, length;
    } rows[] = {
        {"KORVA30S", std::string("\x01\x11\x52\x30\x00\x80\x09\x00", 8), 0x300000, 0x98000},
        {"KORVA40S", std::string("\x01\x11\x51\x30\x00\x00\x0D\x00", 8), 0x400000, 0xD0000}};
    for (const Row& r : rows) {
        ProgramResult run = ctl(dir, {"--model", r.model, "--port", "FILE:out.bin", "firmware",
                                      "download", "fw.SHC", "--area", "program"});
        ASSERT_EQ(run.status, 0) << run.err;
        std::string out = readAll(dir.file("out.bin"));
        ASSERT_EQ(out.size(), r.length) << r.model;
        EXPECT_EQ(out.substr(0, 8), r.head);
        EXPECT_EQ(out.substr(10), image.substr(r.offset, r.length - 10));
        unsigned sum = 0;
        for (std::size_t i = 10; i < out.size(); ++i)
            sum += static_cast<unsigned char>(out[i]);
        EXPECT_EQ(static_cast<unsigned char>(out[8]) | static_cast<unsigned char>(out[9]) << 8,
                  sum & 0xFFFF);
        EXPECT_NE(run.err.find("Update Complete."), std::string::npos);
        std::string ini = readAll(dir.file("korvaset.INI"));
        EXPECT_NE(ini.find("[FWDN20]"), std::string::npos);
        EXPECT_NE(ini.find("FILE=fw.SHC"), std::string::npos);
    }
}

TEST(KorvactlFirmwareFile, RefusalsSendNothing) {
    TempDir dir;
    makeImage(dir, "short.SHC", kSize - 1);
    makeImage(dir, "nosig.SHC", kSize, "QOLX");
    makeImage(dir, "locked.SHC", kSize, "QOLT", 0);
    makeImage(dir, "fw.SHC");
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string message;
    } rows[] = {
        {{"short.SHC"}, 1, "FileSize (8388607 bytes) Error!"},
        {{"nosig.SHC"}, 1, "Wrong File!"},
        {{"missing.SHC"}, 1, "ERROR : File Open"},
        {{"fw.SHC", "--area", "boot"}, 2, "needs --expert"},
        {{"fw.SHC", "--area", "download"}, 2, "needs --expert"},
        {{"locked.SHC", "--area", "boot", "--expert"}, 2, "boot-enable byte"},
        {{"missing.SHC", "--area", "boot", "--expert"}, 1, "ERROR : File Open"},
        {{"nosig.SHC", "--area", "boot", "--expert"}, 1, "Wrong File!"},
        {{"fw.SHC", "--area", "ext-font"}, 1, "Are you sure the Ext.Font area download?"},
    };
    for (const Row& r : rows) {
        std::vector<std::string> args = {"--model",      "KORVA30S", "--port",
                                         "FILE:out.bin", "firmware", "download"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        ProgramResult run = ctl(dir, args);
        EXPECT_EQ(run.status, r.status) << r.args[0] << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
        EXPECT_TRUE(readAll(dir.file("out.bin")).empty()) << r.args[0];
    }
    ProgramResult lcd = ctl(dir, {"--model", "KORVA30S", "--port", "FILE:out.bin", "--yes",
                                  "firmware", "download", "fw.SHC", "--area", "lcd-font"});
    EXPECT_EQ(lcd.status, 2) << "the LCD font area is only for KORVA40 printers";

    ProgramResult info = ctl(dir, {"--model", "KORVA40S", "firmware", "info", "fw.SHC", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    auto j = nlohmann::json::parse(info.out);
    EXPECT_EQ(j["size"], kSize);
    EXPECT_EQ(j["bootEnable"], 3);
    ASSERT_EQ(j["areas"].size(), 5u);
    EXPECT_EQ(j["areas"][0]["offset"], 0x400000);
    EXPECT_EQ(j["areas"][4]["code"], 0x42);
    EXPECT_EQ(ctl(dir, {"firmware", "info", "short.SHC"}).status, 1);
}

TEST(KorvactlFirmwareSim, EveryAreaOverEveryLink) {
    TempDir dir;
    makeImage(dir, "fw.SHC");
    struct Link {
        std::string simOption, name;
    } links[] = {
        {"--serial", "serial"}, {"--parallel", "parallel"}, {"--usb", "usb"}, {"--tcp", "tcp"}};
    for (std::string model : {"KORVA30S", "KORVA40S"}) {
        std::vector<std::string> areas = {"program", "ext-font", "download", "boot"};
        if (model == "KORVA40S")
            areas.push_back("lcd-font");
        for (const Link& link : links) {
            for (const std::string& area : areas) {
                SCOPED_TRACE(model + " " + link.name + " " + area);
                std::vector<std::string> simArgs = {"--model", model, link.simOption};
                if (link.name == "tcp")
                    simArgs.push_back("0");
                SimProcess sim(kSim, simArgs, dir.file("report.json"));
                std::string error;
                ASSERT_TRUE(sim.start(error)) << error;
                std::vector<std::string> args = {"--model", model};
                std::vector<std::string> at = simLinkArgs(sim, link.name);
                args.insert(args.end(), at.begin(), at.end());
                args.insert(args.end(), {"--yes", "firmware", "download", "fw.SHC", "--area", area,
                                         "--expert"});
                ProgramResult run = ctl(dir, args);
                EXPECT_EQ(run.status, 0) << run.err;
                nlohmann::json report = sim.stop();
                ASSERT_EQ(report["firmwareFrames"].size(), 1u) << report.dump();
                const auto& frame = report["firmwareFrames"][0];
                EXPECT_EQ(frame["verdict"], "ok") << frame.dump();
                EXPECT_EQ(frame["received"], frame["length"]);
                if (area == "boot") {
                    EXPECT_EQ(frame["bootTrailer"], "ok");
                }
            }
        }
    }
}

TEST(KorvactlFirmwareSim, BootTrailerAndSwitchOff) {
    TempDir dir;
    auto bootFrame = [](bool trailer) {
        std::string f(0x15000, '\0');
        f.replace(0, 8, std::string("\x01\x11\x42\x30\x00\x50\x01\x00", 8));
        unsigned sum = 0;
        if (trailer) {
            f.replace(0x14FFC, 4, std::string("\x00\x80\xFE\xFF", 4));
            sum = 0x80 + 0xFE + 0xFF;
        }
        f[8] = static_cast<char>(sum & 0xFF);
        f[9] = static_cast<char>(sum >> 8);
        return f;
    };
    struct Row {
        std::string stream, verdict, trailer;
        bool switchedOff;
    } rows[] = {
        {bootFrame(true) + "\x1B\x40", "ok", "ok", true},
        {bootFrame(false) + "\x1B\x40", "bad-boot-trailer", "bad", false},
    };
    for (const Row& r : rows) {
        std::ofstream(dir.file("in.bin"), std::ios::binary) << r.stream;
        ProgramResult run =
            runProgram(kSim, {"decode", "in.bin", "--model", "KORVA40S"}, dir.path(), 60000);
        ASSERT_EQ(run.status, 0) << run.err;
        auto report = nlohmann::json::parse(run.out);
        ASSERT_EQ(report["firmwareFrames"].size(), 1u);
        EXPECT_EQ(report["firmwareFrames"][0]["verdict"], r.verdict);
        EXPECT_EQ(report["firmwareFrames"][0]["bootTrailer"], r.trailer);
        bool ignored = false;
        for (const auto& i : report["ignored"])
            ignored = ignored || (i["reason"] == "switched off" && i["length"] == 2);
        EXPECT_EQ(ignored, r.switchedOff) << report["ignored"].dump();
    }
}

TEST(KorvactlFirmwareSim, LinkClosedMidFrameEndsWithTheMessage) {
    TempDir dir;
    makeImage(dir, "fw.SHC");
    struct Row {
        std::string link, message;
    } rows[] = {{"serial", "ERROR : PRINTER IS NOT READY!"},
                {"tcp", "ERROR : Firmware transfer incomplete."}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.link);
        std::vector<std::string> simArgs = {"--close-after", "100000", "--" + r.link};
        if (r.link == "tcp")
            simArgs.push_back("0");
        SimProcess sim(kSim, simArgs, dir.file("report.json"));
        std::string error;
        ASSERT_TRUE(sim.start(error)) << error;
        std::vector<std::string> args = simLinkArgs(sim, r.link);
        args.insert(args.end(), {"firmware", "download", "fw.SHC"});
        ProgramResult run = ctl(dir, args);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("Update Complete."), std::string::npos);
        nlohmann::json report = sim.stop();
        ASSERT_EQ(report["firmwareFrames"].size(), 1u);
        EXPECT_EQ(report["firmwareFrames"][0]["verdict"], "truncated");
    }
}

// A slow line: the bytes the tool's port took but the line had not sent yet when the tool
// ended must still reach the printer (a purge of unsent output would cut the frame short).
TEST(KorvactlFirmwareSim, SlowLinkStillGetsTheLastByte) {
    TempDir dir;
    makeImage(dir, "fw.SHC");
    for (std::string link : {"serial", "tcp"}) {
        SCOPED_TRACE(link);
        std::vector<std::string> simArgs = {"--model",   "KORVA30S", "--bytes-per-second", "250000",
                                            "--capture", dir.path(), "--" + link};
        if (link == "tcp")
            simArgs.push_back("0");
        SimProcess sim(kSim, simArgs, dir.file("report.json"));
        std::string error;
        ASSERT_TRUE(sim.start(error)) << error;
        std::string where = sim.link(link);
        std::vector<std::string> args = {"--model", "KORVA30S"};
        if (link == "serial")
            args.insert(args.end(), {"--port", where});
        else
            args.insert(args.end(), {"--port", "ETHERNET_II", "--ip", "127.0.0.1", "--tcp-port",
                                     where.substr(where.find(':') + 1)});
        args.insert(args.end(), {"firmware", "download", "fw.SHC"});
        ProgramResult run = ctl(dir, args);
        EXPECT_EQ(run.status, 0) << run.err;
        // The printer takes the rest at its own pace; the report follows once it has it all.
        std::string captured = dir.file(link == "serial" ? "serial.bin" : "tcp-1.bin");
        for (int i = 0; i < 30000; ++i) {
            std::ifstream in(captured, std::ios::binary | std::ios::ate);
            if (in && in.tellg() >= 0x98000)
                break;
            ::usleep(1000);
        }
        nlohmann::json report = sim.stop();
        ASSERT_EQ(report["firmwareFrames"].size(), 1u) << report.dump();
        EXPECT_EQ(report["firmwareFrames"][0]["verdict"], "ok");
        EXPECT_EQ(report["firmwareFrames"][0]["received"], 0x98000);
    }
}

// Ctrl-C halfway through a slow transfer: the tool stops between blocks, says so, exits 1 by
// itself (nothing left running, no kill needed), and the printer holds a cut frame.
TEST(KorvactlFirmwareSim, CtrlCStopsBetweenBlocks) {
    TempDir dir;
    makeImage(dir, "fw.SHC");
    SimProcess sim(kSim, {"--serial", "--bytes-per-second", "100000", "--capture", dir.path()},
                   dir.file("report.json"));
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
    bool interrupted = false;
    ProgramResult run = runProgram(
        kCtl, {"--port", sim.link("serial"), "firmware", "download", "fw.SHC"}, dir.path(), 120000,
        kEnv, [&](pid_t pid) {
            // Once the printer has taken a good part of the frame (the whole takes 8 s).
            for (int i = 0; i < 20000 && !interrupted; ++i) {
                std::ifstream in(dir.file("serial.bin"), std::ios::binary | std::ios::ate);
                if (in && in.tellg() >= 100000) {
                    interrupted = ::kill(pid, SIGINT) == 0;
                    break;
                }
                ::usleep(1000);
            }
        });
    ASSERT_TRUE(interrupted);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("korvactl: stopped; the printer did not get the whole area"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("Update Complete."), std::string::npos);
    nlohmann::json report = sim.stop();
    ASSERT_EQ(report["firmwareFrames"].size(), 1u);
    EXPECT_EQ(report["firmwareFrames"][0]["verdict"], "truncated");
    EXPECT_LT(report["firmwareFrames"][0]["received"], 0xD0000);
}
