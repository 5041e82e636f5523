// The virtual printer driven through its real ports: pseudo-terminals, TCP and UDP on
// loopback. Waits are bounded by time-outs of real time; nothing sleeps for seconds.
#include <gtest/gtest.h>
#include <poll.h>

#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/SimTestSupport.h"
#include "sim/VirtualPrinter.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

namespace korva {
namespace {

using test::bytes;
using test::Bytes;
using test::concat;

constexpr int kTimeout = 2000;

Bytes query(int number) {
    return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, static_cast<std::uint8_t>(number)};
}

// The setting replies in a byte stream, cut apart the way the tools' reply parser does:
// everything before 37 27 is dropped.
std::vector<std::string> replies(const Bytes& stream) {
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i + 1 < stream.size()) {
        if (stream[i] != 0x37 || stream[i + 1] != 0x27) {
            ++i;
            continue;
        }
        std::size_t end = i + 2;
        while (end < stream.size() && stream[end] != 0x00)
            ++end;
        if (end == stream.size())
            break;
        out.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(i + 2),
                         stream.begin() + static_cast<std::ptrdiff_t>(end));
        i = end + 1;
    }
    return out;
}

struct Started {
    explicit Started(SimOptions o) : printer(std::move(o)) {
        std::string error;
        ok = printer.start(error);
        EXPECT_TRUE(ok) << error;
    }
    VirtualPrinter printer;
    bool ok = false;
};

TEST(VirtualPrinter, SerialLinkAnswersQueriesAndStoresWrites) {
    SimOptions o;
    o.serial = true;
    o.leaveBusyMs = 0;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.serialPath());
    ASSERT_TRUE(port.ok());
    ASSERT_TRUE(port.write(query(0xFA)));
    EXPECT_EQ(test::hex(port.read(8, kTimeout)), "37 27 32 35 30 1F 30 00");
    ASSERT_TRUE(port.write(bytes("1D 28 45 03 00 01 49 4E 1D 28 45 0A 00 05 FA 00 02 FF 2B 1A 00 "
                                 "00 04 1D 28 45 04 00 02 4F 55 54")));
    ASSERT_TRUE(port.write(concat({query(0xFA), query(0xFF)})));
    Bytes answer = port.read(21, kTimeout);
    EXPECT_EQ(replies(answer), (std::vector<std::string>{"250\x1F"
                                                         "512",
                                                         "255\x1F"
                                                         "6699"}));
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) { return r["setup"]["queries"] == 3; }, kTimeout));
    auto r = sim.printer.report();
    EXPECT_EQ(r["settings"]["250"], "512");
    EXPECT_EQ(r["links"]["serial"], sim.printer.serialPath());
    EXPECT_EQ(test::accountingGaps(r, "serial"), "");
}

TEST(VirtualPrinter, SplitRepliesWithStatusBlocksAndGarbageStillParse) {
    SimOptions o;
    o.parallel = true;
    o.splitReplies = true;
    o.statusBlocks = true;
    o.garbage = true;
    o.seed = 7;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.parallelPath());
    ASSERT_TRUE(port.write(concat({query(0x03), query(0x74), query(0xFC)})));
    Bytes stream;
    for (int i = 0; i < 100 && replies(stream).size() < 3; ++i) {
        Bytes more = port.read(1, 20);
        stream.insert(stream.end(), more.begin(), more.end());
    }
    EXPECT_EQ(replies(stream), (std::vector<std::string>{"3\x1F"
                                                         "6",
                                                         "116\x1F"
                                                         "1",
                                                         "252\x1F"
                                                         "04"}));
    EXPECT_NE(test::hex(stream).find("10 00 00 0F"), std::string::npos);
    EXPECT_GT(stream.size(), 3u * 4 + 6 + 10 + 10);
}

TEST(VirtualPrinter, DroppedAndMuteRepliesNeverArrive) {
    SimOptions o;
    o.serial = true;
    o.dropReplyFor = {0xF6};
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.serialPath());
    ASSERT_TRUE(port.write(concat({query(0xF6), query(0xF9)})));
    EXPECT_EQ(test::hex(port.read(10, kTimeout)), "37 27 32 34 39 1F 32 32 30 00");
    EXPECT_TRUE(port.read(1, 50).empty()); // and nothing for 0xF6

    SimOptions m;
    m.serial = true;
    m.mute = true;
    Started mute(m);
    ASSERT_TRUE(mute.ok);
    test::PtyClient quiet(mute.printer.serialPath());
    ASSERT_TRUE(quiet.write(concat({bytes("1D 49 01"), query(0xF9)})));
    EXPECT_TRUE(quiet.read(1, 150).empty());
    EXPECT_TRUE(mute.printer.waitFor(
        [](const nlohmann::json& r) { return r["setup"]["queries"] == 1; }, kTimeout));
}

TEST(VirtualPrinter, UsbLinkEscapesRepliesAndDeclaresItselfInSysfs) {
    test::TempDir dir;
    SimOptions o;
    o.model = "KORVA40U-II";
    o.usb = true;
    o.serial = true;
    o.sysfsDir = dir.path();
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    namespace fs = std::filesystem;
    EXPECT_EQ(sim.printer.sysRoot(), dir.path() + "/sys");
    EXPECT_EQ(dir.read("sys/devices/usb1/1-1/idVendor"), "5e3b\n");
    EXPECT_EQ(dir.read("sys/devices/usb1/1-1/idProduct"), "3012\n");
    EXPECT_EQ(dir.read("sys/devices/usb1/1-1/bcdDevice"), "0100\n");
    EXPECT_EQ(dir.read("sys/class/usbmisc/lp0/device/../idProduct"), "3012\n");
    EXPECT_NE(dir.read("sys/class/usbmisc/lp0/uevent").find("DEVNAME=usb/lp0"), std::string::npos);
    EXPECT_EQ(fs::read_symlink(dir.file("dev/usb/lp0")).string(), sim.printer.usbPath());
    EXPECT_EQ(dir.read("sys/class/tty/ttyACM0/device/../idProduct"), "3011\n");
    EXPECT_EQ(fs::read_symlink(dir.file("dev/ttyACM0")).string(), sim.printer.serialPath());
    EXPECT_EQ(sim.printer.linkLines()[1], "usb " + sim.printer.usbPath() + " sysfs " + dir.path() +
                                              "/sys dev " + dir.path() + "/dev");

    test::PtyClient usb(dir.file("dev/usb/lp0"));
    ASSERT_TRUE(usb.ok());
    ASSERT_TRUE(usb.write(concat({bytes("1D 49 01"), query(0x03)})));
    // 37 27 33 1F 36 00 with the 00 sent as 1B 30.
    EXPECT_EQ(test::hex(usb.read(8, kTimeout)), "40 37 27 33 1F 36 1B 30");
}

TEST(VirtualPrinter, TcpServiceDecodesLogosAndAnswersOnTheSocket) {
    test::TempDir capture;
    SimOptions o;
    o.tcpPort = 0;
    o.captureDir = capture.path();
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    ASSERT_GT(sim.printer.tcpPort(), 0);
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(sim.printer.tcpPort()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    Bytes stream = concat(
        {bytes("1D 49 01 1B 40 1C 71 01 0D 00 04 00"), Bytes(416, 0xF0), bytes("1C 70 01 00")});
    ASSERT_EQ(::send(s, stream.data(), stream.size(), 0), static_cast<ssize_t>(stream.size()));
    EXPECT_EQ(test::hex(test::readFd(s, 1, kTimeout)), "40");
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) { return r["printed"].size() == 1; }, kTimeout));
    ::close(s);
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) { return r["linkEvents"].size() == 2; }, kTimeout));
    auto r = sim.printer.report();
    EXPECT_EQ(r["nvImages"][0]["size"], 416);
    EXPECT_TRUE(r["printed"][0]["found"].get<bool>());
    EXPECT_EQ(r["linkEvents"][1]["event"], "closed by peer");
    EXPECT_EQ(test::accountingGaps(r, "tcp#1"), "");
    // The capture holds exactly what was sent.
    EXPECT_EQ(capture.read("tcp-1.bin"), std::string(stream.begin(), stream.end()));
}

TEST(VirtualPrinter, StallAfterBytesStopsReadingButKeepsTheLinkOpen) {
    SimOptions o;
    o.tcpPort = 0;
    o.stallAfterBytes = 4;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(sim.printer.tcpPort()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    Bytes stream = bytes("1B 40 1B 40 1B 40 1B 40");
    ASSERT_EQ(::send(s, stream.data(), stream.size(), MSG_NOSIGNAL), 8);
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) {
            for (const auto& e : r["linkEvents"])
                if (e["event"] == "stalled after 4 bytes")
                    return true;
            return false;
        },
        kTimeout));
    // Still open: no hang-up arrives, and what followed stays unread.
    pollfd p{s, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 100), 0);
    auto r = sim.printer.report();
    EXPECT_EQ(r["received"]["tcp#1"], 4);
    EXPECT_EQ(test::commandNames(r, "tcp#1"), (std::vector<std::string>{"init", "init"}));
    ::close(s);
}

TEST(VirtualPrinter, CloseAfterBytesDropsTheLink) {
    SimOptions o;
    o.tcpPort = 0;
    o.closeAfterBytes = 5;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(sim.printer.tcpPort()));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    Bytes stream = bytes("1B 40 1B 40 1B 40 1B 40");
    ASSERT_EQ(::send(s, stream.data(), stream.size(), MSG_NOSIGNAL), 8);
    char c;
    EXPECT_LE(::recv(s, &c, 1, 0), 0); // the printer hung up
    ::close(s);
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) {
            for (const auto& e : r["linkEvents"])
                if (e["event"] == "closed after 5 bytes")
                    return true;
            return false;
        },
        kTimeout));
    auto r = sim.printer.report();
    EXPECT_EQ(r["received"]["tcp#1"], 5);
    EXPECT_EQ(test::commandNames(r, "tcp#1"), (std::vector<std::string>{"init", "init"}));
    EXPECT_EQ(r["undecodable"][0]["reason"], "truncated command"); // the fifth byte, 1B
}

TEST(VirtualPrinter, BusyAfterLeaveIgnoresBytes) {
    SimOptions o;
    o.serial = true;
    o.leaveBusyMs = 150;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.serialPath());
    ASSERT_TRUE(port.write(concat({bytes("1D 28 45 04 00 02 4F 55 54"), query(0x03)})));
    EXPECT_TRUE(port.read(1, 60).empty());
    ASSERT_TRUE(sim.printer.waitFor([](const nlohmann::json& r) { return !r["ignored"].empty(); },
                                    kTimeout));
    EXPECT_EQ(sim.printer.report()["ignored"][0]["reason"], "busy");
    // Once the busy time is over the printer answers again.
    Bytes answer;
    for (int tries = 0; tries < 20 && answer.empty(); ++tries) {
        ASSERT_TRUE(port.write(query(0x03)));
        answer = port.read(6, 50);
    }
    EXPECT_EQ(test::hex(answer), "37 27 33 1F 36 00");
}

TEST(VirtualPrinter, Korva10PacketsAreAnsweredAndTheNakFaultForcesResends) {
    SimOptions o;
    o.model = "KORVA10S";
    o.serial = true;
    o.nakEveryK = 2;
    o.sectorEraseMs = 100;     // three sectors: the erase's ACK comes 300 ms after the packet
    o.bytesPerSecond = 200000; // a slow link still carries everything
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.serialPath());
    auto packet = [](std::uint32_t address, bool last) {
        Bytes p = {0x40,
                   static_cast<std::uint8_t>(last ? 0xF1 : 0xF0),
                   0x02,
                   0x00,
                   0,
                   static_cast<std::uint8_t>(address >> 16),
                   static_cast<std::uint8_t>(address >> 8),
                   0};
        return concat({p, Bytes(512, 0xFF), bytes("FE 00")});
    };
    ASSERT_TRUE(port.write(bytes("40 F2 20 22 00 00 00 00 00 00")));
    // The printer erases before it answers; it read the packet after it was written, so no
    // ACK can come within the first 100 ms whatever the load.
    EXPECT_TRUE(port.read(2, 100).empty());
    EXPECT_EQ(test::hex(port.read(2, kTimeout)), "10 06");
    ASSERT_TRUE(port.write(packet(0x1D0000, false)));
    EXPECT_EQ(test::hex(port.read(2, kTimeout)), "10 06");
    ASSERT_TRUE(port.write(packet(0x1D0200, false)));
    EXPECT_EQ(test::hex(port.read(2, kTimeout)), "10 15"); // the second good packet: NAK
    ASSERT_TRUE(port.write(packet(0x1D0200, false)));
    EXPECT_EQ(test::hex(port.read(2, kTimeout)), "10 06");
    ASSERT_TRUE(port.write(packet(0x1D0000, false))); // not contiguous any more
    EXPECT_EQ(test::hex(port.read(2, kTimeout)), "10 15");
    auto r = sim.printer.report();
    ASSERT_EQ(r["packets"].size(), 5u);
    EXPECT_EQ(r["packets"][0]["eraseMs"], 300);
    EXPECT_EQ(r["packets"][2]["verdict"], "nak-fault");
    EXPECT_EQ(r["packets"][4]["verdict"], "bad-address");
    EXPECT_EQ(r["flashAreas"][0]["next"], 0x1D0400);
}

TEST(VirtualPrinter, AreaFrameArrivesWholeOverAPty) {
    SimOptions o;
    o.serial = true;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.serialPath());
    const std::uint32_t length = 0x18000;
    Bytes frame(length);
    std::uint32_t sum = 0;
    for (std::uint32_t i = 10; i < length; ++i) {
        frame[i] = static_cast<std::uint8_t>(i * 7);
        sum += frame[i];
    }
    Bytes header = {0x01,
                    0x11,
                    0x44,
                    0x30,
                    0x00,
                    0x80,
                    0x01,
                    0x00,
                    static_cast<std::uint8_t>(sum),
                    static_cast<std::uint8_t>(sum >> 8)};
    std::copy(header.begin(), header.end(), frame.begin());
    ASSERT_TRUE(port.write(frame));
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) { return r["firmwareFrames"].size() == 1; }, 5000));
    auto f = sim.printer.report()["firmwareFrames"][0];
    EXPECT_EQ(f["verdict"], "ok");
    EXPECT_EQ(f["received"], length);
}

class UdpClient {
public:
    UdpClient() {
        m_fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        timeval tv{0, 500000};
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    }
    ~UdpClient() { ::close(m_fd); }
    void send(const Bytes& d, const std::string& endpoint) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        auto colon = endpoint.find(':');
        ::inet_pton(AF_INET, endpoint.substr(0, colon).c_str(), &a.sin_addr);
        a.sin_port = htons(static_cast<std::uint16_t>(std::stoi(endpoint.substr(colon + 1))));
        ::sendto(m_fd, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    void sendBroadcast(const Bytes& d, const std::string& endpoint) {
        int on = 1;
        ::setsockopt(m_fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        send(d, endpoint);
    }
    Bytes receive() {
        Bytes buf(64);
        ssize_t n = ::recv(m_fd, buf.data(), buf.size(), 0);
        buf.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return buf;
    }

private:
    int m_fd;
};

TEST(VirtualPrinter, UdpSearchAndChange) {
    SimOptions o;
    o.udpAddress = "127.0.0.83";
    o.ip = "192.168.0.200";
    o.dhcp = true;
    o.netPort = 9100;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    EXPECT_EQ(sim.printer.udpEndpoint(), "127.0.0.83:2918");
    UdpClient tool;
    Bytes search(35, 0);
    search[0] = search[1] = 0xAA;
    search[33] = search[34] = 0x55;
    tool.send(search, sim.printer.udpEndpoint());
    Bytes record = tool.receive();
    ASSERT_EQ(record.size(), 35u);
    EXPECT_EQ(test::hex({record.begin() + 3, record.begin() + 7}), "C0 A8 00 C8");
    EXPECT_EQ(record[21], 1);
    EXPECT_EQ(test::hex({record.begin() + 22, record.begin() + 24}), "23 8C");

    Bytes change = bytes("AA AA 02 0A 00 00 05 FF FF FF 00 0A 00 00 01 00 1A 2B 3C 4D 5E 00 23 8C "
                         "00 00 00 00 00 00 00 00 00 55 55");
    tool.send(bytes("AA AA 02 55 55"), sim.printer.udpEndpoint()); // malformed, ignored
    tool.send(change, sim.printer.udpEndpoint());
    EXPECT_EQ(tool.receive().size(), 35u);
    change[2] = 0x04;
    tool.send(change, sim.printer.udpEndpoint());
    ASSERT_TRUE(sim.printer.waitFor(
        [](const nlohmann::json& r) { return r["network"]["restarts"] == 1; }, kTimeout));
    auto net = sim.printer.report()["network"];
    EXPECT_EQ(net["record"]["ip"], "10.0.0.5");
    EXPECT_FALSE(net["record"]["dhcp"].get<bool>());
    EXPECT_EQ(net["malformed"].size(), 1u);
}

TEST(VirtualPrinter, LoopbackBroadcastSearchIsAnsweredToTheRecordPortToo) {
    SimOptions o;
    o.udpAddress = "127.0.0.84";
    o.udpPort = 29184; // a port of its own, so no other printer under test hears the broadcast
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    // The tool's receiving socket: the record port on this host.
    int receiver = ::socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    ::setsockopt(receiver, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(29184);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(receiver, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    UdpClient sender;
    Bytes search(35, 0);
    search[0] = search[1] = 0xAA;
    search[33] = search[34] = 0x55;
    sender.sendBroadcast(search, "127.255.255.255:29184");
    EXPECT_EQ(sender.receive().size(), 35u);
    sockaddr_in from{};
    socklen_t len = sizeof from;
    Bytes buf(64);
    timeval tv{0, 500000};
    ::setsockopt(receiver, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ssize_t n =
        ::recvfrom(receiver, buf.data(), buf.size(), 0, reinterpret_cast<sockaddr*>(&from), &len);
    ::close(receiver);
    EXPECT_EQ(n, 35);
    char ip[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &from.sin_addr, ip, sizeof ip);
    EXPECT_STREQ(ip, "127.0.0.84");
}

TEST(VirtualPrinter, RefusesWhatItCannotServe) {
    struct Case {
        const char* what;
        SimOptions options;
    };
    SimOptions outside;
    outside.udpAddress = "192.168.0.1";
    SimOptions model;
    model.model = "NOPRINTER";
    SimOptions mac;
    mac.mac = "00:1A";
    for (const Case& c :
         {Case{"non-loopback udp", outside}, Case{"unknown model", model}, Case{"bad mac", mac}}) {
        VirtualPrinter printer(c.options);
        std::string error;
        EXPECT_FALSE(printer.start(error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_FALSE(printer.running()) << c.what;
    }
}

// A tool that writes a burst and ends: what sits in the line when the printer is stopped is
// still taken in at the link's pace, not left unread once the pace's budget is spent.
TEST(VirtualPrinter, AStopTakesInWhatASlowLinkStillHolds) {
    SimOptions o;
    o.serial = true;
    o.bytesPerSecond = 100000;
    Started sim(o);
    ASSERT_TRUE(sim.ok);
    test::PtyClient port(sim.printer.serialPath());
    ASSERT_TRUE(port.ok());
    const Bytes burst(16000, 0x0A); // line feeds: print data that needs no answer
    ASSERT_TRUE(port.write(burst));
    sim.printer.stop();
    EXPECT_EQ(sim.printer.report()["received"]["serial"], burst.size());
}

} // namespace
} // namespace korva
