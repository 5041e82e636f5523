// korvactl firmware for a KORVA10 model as a program: the FILE port's packets byte for byte, the
// refusals, and downloads against korva-sim over a serial pseudo-terminal, the USB stand-in and
// the parallel stand-in, with NAKs, a mute printer and a lost ACK. Every packet the printer got
// is compared with the packets built from the file.
#include "ProgramRunner.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <thread>

using namespace korva::test;

namespace {

const std::string kCtl = KORVACTL_PATH;
const std::string kSim = KORVA_SIM_PATH;
// The erase waits, the silence bounds and the packet pauses shrink tenfold: 6 x 500 ms of erase
// waits become 300 ms, the 15 s after the erase packet 1.5 s, the 5 s after a write packet 0.5 s.
const std::map<std::string, std::string> kEnv = {{"KORVASET_LANGID", "0x0409"},
                                                 {"KORVACTL_PAUSE_SCALE", "10"}};
// Three sectors of 20 ms: well inside the shortened erase waits.
const std::vector<std::string> kSimBase = {"--model", "KORVA10S", "--sector-erase-ms", "20"};

struct Area {
    std::string name;
    std::uint32_t start, end;
    std::uint8_t first, last;
};
const Area kProgram{"program", 0x1D0000, 0x1F0000, 0x20, 0x22};
const Area kBoot{"boot", 0x1F0000, 0x200000, 0x22, 0x23};
const Area kFont{"font", 0x190000, 0x1B0000, 0x1C, 0x1E};

using Packet = std::string;

std::string makeFile(const TempDir& dir) {
    std::string bytes(0x200000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 13) ^ (i >> 10));
    std::ofstream(dir.file("fw.bin"), std::ios::binary) << bytes;
    return bytes;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The packets the area takes, built here independently of the program.
std::vector<Packet> expectedPackets(const std::string& file, const Area& a) {
    std::vector<Packet> out;
    out.push_back(std::string("\x40\xF2", 2) + static_cast<char>(a.first) +
                  static_cast<char>(a.last) + std::string(6, '\0'));
    for (std::uint32_t at = a.start; at < a.end; at += 512) {
        std::uint32_t n = std::min<std::uint32_t>(512, a.end - at);
        Packet p = {'\x40', static_cast<char>(a.end - at > 512 ? 0xF0 : 0xF1),
                    static_cast<char>(n >> 8), static_cast<char>(n)};
        for (int s = 24; s >= 0; s -= 8)
            p += static_cast<char>(at >> s);
        unsigned sum = 0;
        for (std::uint32_t i = 0; i < n; ++i)
            sum += static_cast<unsigned char>(file[at + i]);
        p += file.substr(at, n);
        p += static_cast<char>(sum >> 8 & 0xFF);
        p += static_cast<char>(sum & 0xFF);
        out.push_back(p);
    }
    return out;
}

// A received stream cut into packets by their own lengths.
std::vector<Packet> splitPackets(const std::string& stream) {
    std::vector<Packet> out;
    std::size_t at = 0;
    while (at + 4 <= stream.size()) {
        std::size_t len = static_cast<unsigned char>(stream[at + 1]) == 0xF2
                              ? 10
                              : (static_cast<unsigned char>(stream[at + 2]) << 8 |
                                 static_cast<unsigned char>(stream[at + 3])) +
                                    10u;
        out.push_back(stream.substr(at, len));
        at += len;
    }
    if (at < stream.size())
        out.push_back(stream.substr(at));
    return out;
}

std::string hexHead(const Packet& p, std::size_t n = 8) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < n && i < p.size(); ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", static_cast<unsigned char>(p[i]));
        out += buf;
    }
    return out;
}

ProgramResult ctl(const TempDir& dir, std::vector<std::string> args) {
    return runProgram(kCtl, args, dir.path(), 60000, kEnv);
}

// A KORVA10 korva-sim per case, and the korvactl arguments that download through it.
class KorvactlKorva10Sim : public ::testing::Test {
protected:
    // Starts the printer on link with the extra options; args then downloads area (the
    // program's default when empty) through it.
    void startSim(const std::string& link, const std::vector<std::string>& extra,
                  const std::string& area) {
        std::vector<std::string> simArgs = kSimBase;
        simArgs.push_back("--" + link);
        simArgs.insert(simArgs.end(), extra.begin(), extra.end());
        sim = std::make_unique<SimProcess>(kSim, simArgs, dir.file("report.json"));
        std::string error;
        ASSERT_TRUE(sim->start(error)) << error;
        args = {"--model", "KORVA10S"};
        const std::vector<std::string> port = simLinkArgs(*sim, link);
        args.insert(args.end(), port.begin(), port.end());
        args.insert(args.end(), {"firmware", "download", "fw.bin"});
        if (!area.empty())
            args.insert(args.end(), {"--area", area});
    }

    TempDir dir;
    std::unique_ptr<SimProcess> sim;
    std::vector<std::string> args;
};

} // namespace

TEST(KorvactlKorva10File, PacketsByteExactAndTheRefusals) {
    TempDir dir;
    const std::string file = makeFile(dir);
    for (const Area& a : {kProgram, kBoot}) {
        SCOPED_TRACE(a.name);
        ProgramResult run = ctl(dir, {"--model", "KORVA10S", "--port", "FILE:out.bin", "firmware",
                                      "download", "fw.bin", "--area", a.name});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("COMPLETED"), std::string::npos) << run.err;
        std::vector<Packet> got = splitPackets(readAll(dir.file("out.bin")));
        EXPECT_TRUE(got == expectedPackets(file, a)) << got.size() << " packets";
        const std::string ini = readAll(dir.file("korvaset.INI"));
        EXPECT_NE(ini.find("[FWDN15]"), std::string::npos);
        EXPECT_NE(ini.find("FOLDER=" + dir.file("fw.bin")), std::string::npos);
        EXPECT_NE(ini.find("FILE=fw.bin"), std::string::npos);
    }
    // The vectors of the packet layout, through the program.
    std::vector<Packet> boot = splitPackets(readAll(dir.file("out.bin")));
    ASSERT_EQ(boot.size(), 129u);
    EXPECT_EQ(hexHead(boot[0], 10), "40 F2 22 23 00 00 00 00 00 00");
    EXPECT_EQ(hexHead(boot[128]), "40 F1 02 00 00 1F FE 00");

    std::ofstream(dir.file("short.bin"), std::ios::binary) << std::string(0x1F0000, '\xFF');
    struct Row {
        std::vector<std::string> args;
        int status;
        std::string message;
    } rows[] = {
        {{"KORVA10S", "fw.bin", "--area", "ext-font"}, 2, "areas program, boot and font"},
        {{"KORVA10S", "short.bin", "--area", "boot"}, 1, "The file is too short for this area."},
        {{"KORVA10S", "missing.bin"}, 1, "File open error!!"},
        {{"KORVA30S", "fw.bin", "--area", "font"}, 2, "only for KORVA10 printers"},
    };
    for (const Row& r : rows) {
        std::remove(dir.file("out.bin").c_str());
        std::vector<std::string> args = {"--model",      r.args[0],  "--port",
                                         "FILE:out.bin", "firmware", "download"};
        args.insert(args.end(), r.args.begin() + 1, r.args.end());
        ProgramResult run = ctl(dir, args);
        EXPECT_EQ(run.status, r.status) << r.args[1] << run.err;
        EXPECT_NE(run.err.find(r.message), std::string::npos) << run.err;
        EXPECT_TRUE(readAll(dir.file("out.bin")).empty()) << r.args[1];
    }

    ProgramResult info =
        ctl(dir, {"--model", "KORVA10S", "firmware", "info", "short.bin", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    auto j = nlohmann::json::parse(info.out);
    ASSERT_EQ(j["areas"].size(), 3u);
    const std::pair<const char*, int> counts[] = {{"program", 256}, {"boot", 128}, {"font", 256}};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(j["areas"][i]["area"], counts[i].first);
        EXPECT_EQ(j["areas"][i]["writePackets"], counts[i].second);
    }
    EXPECT_EQ(j["areas"][1]["firstSector"], 0x22);
    // 0x1F0000 bytes hold the program and font areas, not the boot area.
    EXPECT_EQ(j["areas"][0]["inFile"], true);
    EXPECT_EQ(j["areas"][1]["inFile"], false);
    std::ofstream(dir.file("tiny.bin"), std::ios::binary) << std::string(16, '\0');
    EXPECT_EQ(ctl(dir, {"--model", "KORVA10S", "firmware", "info", "tiny.bin"}).status, 1);
}

TEST_F(KorvactlKorva10Sim, EveryPacketArrivesOverEachLinkAndNaksAreResentByteForByte) {
    const std::string file = makeFile(dir);
    struct Row {
        std::string link;
        Area area;
        int nakEvery;
    } rows[] = {
        {"serial", kProgram, 0}, {"usb", kFont, 0}, {"parallel", kBoot, 0},
        {"serial", kBoot, 7},    {"usb", kBoot, 5},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.link + " " + r.area.name + " nak-every " + std::to_string(r.nakEvery));
        std::filesystem::remove_all(dir.file("capture"));
        std::vector<std::string> extra = {"--capture", dir.file("capture")};
        if (r.nakEvery)
            extra.insert(extra.end(), {"--nak-every", std::to_string(r.nakEvery)});
        ASSERT_NO_FATAL_FAILURE(startSim(r.link, extra, r.area.name));
        ProgramResult run = ctl(dir, args);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find("COMPLETED"), std::string::npos) << run.err;
        nlohmann::json report = sim->stop();

        const std::vector<Packet> expected = expectedPackets(file, r.area);
        const std::vector<Packet> got =
            splitPackets(readAll(dir.file("capture/" + r.link + ".bin")));
        const auto& packets = report["packets"];
        ASSERT_EQ(packets.size(), got.size());
        // Each NAKed packet is followed by the same bytes; without the NAKed ones the stream is
        // exactly the area's packets, each one judged sound by the printer.
        std::vector<Packet> accepted;
        int naks = 0;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (packets[i]["verdict"] == "nak-fault") {
                ++naks;
                ASSERT_LT(i + 1, got.size());
                EXPECT_TRUE(got[i + 1] == got[i]) << "resend of packet " << i;
                continue;
            }
            EXPECT_EQ(packets[i]["verdict"], "ok") << packets[i].dump();
            accepted.push_back(got[i]);
        }
        ASSERT_EQ(accepted.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_TRUE(accepted[i] == expected[i])
                << "packet " << i << ": " << hexHead(accepted[i]);
        EXPECT_EQ(naks > 0, r.nakEvery > 0);
        ASSERT_EQ(report["flashAreas"].size(), 1u);
        EXPECT_EQ(report["flashAreas"][0]["area"], r.area.name);
        EXPECT_TRUE(report["flashAreas"][0]["complete"].get<bool>());
        EXPECT_TRUE(report["ignored"].empty()) << report["ignored"].dump();
    }
}

TEST_F(KorvactlKorva10Sim, SilentPrinterEndsWithTheTimeOutMessage) {
    makeFile(dir);
    struct Row {
        std::string link;
        std::vector<std::string> fault;
        std::size_t packets; // what the printer received before the program gave up
    } rows[] = {
        {"serial", {"--mute"}, 1},          // the erase packet, then 1.5 s of silence
        {"usb", {"--drop-ack", "4"}, 4},    // the third write packet's ACK is lost
        {"serial", {"--drop-ack", "1"}, 1}, // the erase's ACK is lost
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.link + " " + r.fault[0]);
        ASSERT_NO_FATAL_FAILURE(startSim(r.link, r.fault, "boot"));
        // The bound: the program must end by itself well before it would be killed.
        ProgramResult run = runProgram(kCtl, args, dir.path(), 20000, kEnv);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find("The printer did not answer."), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("The area is not completely written."), std::string::npos);
        EXPECT_EQ(run.err.find("COMPLETED"), std::string::npos);
        nlohmann::json report = sim->stop();
        ASSERT_EQ(report["packets"].size(), r.packets);
        EXPECT_EQ(report["packets"].back()["reply"], r.fault[0] == "--mute" ? "none" : "dropped");
        EXPECT_FALSE(report["flashAreas"][0]["complete"].get<bool>());
    }
}

// Runs the download, sends Ctrl-C as soon as ready() holds (looked at every few milliseconds),
// and checks the command stopped as interrupted, not timed out or done.
ProgramResult interruptWhen(const std::vector<std::string>& args, const std::string& dir,
                            const std::string& pauseScale, const std::function<bool()>& ready) {
    bool signalled = false;
    ProgramResult run = runProgram(
        kCtl, args, dir, 20000,
        {{"KORVASET_LANGID", "0x0409"}, {"KORVACTL_PAUSE_SCALE", pauseScale}}, [&](pid_t pid) {
            for (int i = 0; i < 4000 && !signalled; ++i) {
                if (ready()) {
                    ::kill(pid, SIGINT);
                    signalled = true;
                } else {
                    std::this_thread::sleep_for(std::chrono::milliseconds(2));
                }
            }
        });
    EXPECT_TRUE(signalled);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("korvactl: stopped; the printer did not get the whole area"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(run.err.find("did not answer"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("COMPLETED"), std::string::npos) << run.err;
    return run;
}

TEST_F(KorvactlKorva10Sim, CtrlCIsCancelAndNothingFollowsIt) {
    makeFile(dir);
    // A printer that never answers keeps the download waiting after its erase packet.
    ASSERT_NO_FATAL_FAILURE(startSim("serial", {"--mute"}, ""));
    // Full waits (no pause scale): the 15 s bound after the erase packet is far away. The
    // profile keys are written once the port is open, with Ctrl-C already taken as CANCEL.
    interruptWhen(args, dir.path(), "1", [&] {
        return readAll(dir.file("korvaset.INI")).find("[FWDN15]") != std::string::npos;
    });
    nlohmann::json report = sim->stop();
    ASSERT_EQ(report["packets"].size(), 1u); // the erase packet, and nothing after CANCEL
    EXPECT_EQ(report["packets"][0]["type"], "erase");
}

// Ctrl-C while the write packets go out (the third one's ACK is lost, so the download waits for
// it) stops the download just the same: nothing is sent after the packet in flight.
TEST_F(KorvactlKorva10Sim, CtrlCDuringTheWritePacketsStopsTheDownload) {
    makeFile(dir);
    ASSERT_NO_FATAL_FAILURE(
        startSim("serial", {"--drop-ack", "4", "--capture", dir.file("capture")}, "boot"));
    // The erase packet and three write packets: the program then waits for the lost ACK (5 s,
    // 1.25 s at this scale), and the signal comes while it does.
    const std::uintmax_t inFlight = 10 + 3 * 522;
    const std::string capture = dir.file("capture/serial.bin");
    interruptWhen(args, dir.path(), "4", [&] {
        std::error_code ec;
        return std::filesystem::file_size(capture, ec) >= inFlight && !ec;
    });
    nlohmann::json report = sim->stop();
    EXPECT_EQ(std::filesystem::file_size(capture), inFlight);
    ASSERT_EQ(report["packets"].size(), 4u);
    EXPECT_EQ(report["packets"][0]["type"], "erase");
    EXPECT_EQ(report["packets"][3]["type"], "write");
    EXPECT_EQ(report["packets"][3]["reply"], "dropped");
    EXPECT_FALSE(report["flashAreas"][0]["complete"].get<bool>());
}
