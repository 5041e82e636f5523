#include "PtyPair.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "comm/CPorts.h"
#include "comm/SerialConfig.h"
#include "comm/UniqueFd.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <mutex>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

class CountingTarget : public NotifyTarget {
public:
    void onDataArrived() override {
        std::lock_guard lock(m_mutex);
        ++m_count;
        m_changed.notify_all();
    }
    bool waitFor(int count, int timeoutMs = 1000) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                  [&] { return m_count >= count; });
    }
    int count() {
        std::lock_guard lock(m_mutex);
        return m_count;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_count = 0;
};

termios attributesOf(int fd) {
    termios tio{};
    EXPECT_EQ(::tcgetattr(fd, &tio), 0);
    return tio;
}

class SerialPort : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(log.Open(logDir.file("error.log")));
        ports.m_PortName = pty.slavePath();
        ports.m_BaudRate = 115200;
        ports.m_DataBits = 8;
        ports.m_Parity = 0;
        ports.m_StopBits = 0;
        ports.m_FlowControl = 3;
        ports.m_NotifyWnd = &target;
    }
    std::string logText() { return logDir.read("error.log"); }

    PtyPair pty;
    TempDir logDir;
    ErrorLog log;
    VirtualClock clock;
    RecordingPrompter prompter;
    MessageCatalogue catalogue;
    CountingTarget target;
    CPorts ports{log, catalogue, prompter, clock};
};

struct SerialCase {
    int baud, dataBits, parity, stopBits, flow;
    speed_t speed;
    tcflag_t size;
    tcflag_t parityFlags; // PARENB | PARODD | CMSPAR as expected
    bool twoStop;
    tcflag_t iflowFlags; // IXON | IXOFF as expected
    bool rtscts;
};

} // namespace

const SerialCase kCases[] = {
    {9600, 8, 0, 0, 3, B9600, CS8, 0, false, 0, false},
    {19200, 7, 1, 2, 2, B19200, CS7, PARENB | PARODD, true, IXON | IXOFF, false},
    {38400, 6, 2, 0, 1, B38400, CS6, PARENB, false, 0, true},
    {115200, 5, 0, 1, 3, B115200, CS5, 0, true, 0, false}, // 1.5 stop bits sent as 2
    {230400, 8, 3, 0, 3, B230400, CS8, PARENB | PARODD | CMSPAR, false, 0, false},
    {921600, 8, 4, 2, 3, B921600, CS8, PARENB | CMSPAR, true, 0, false},
    {50, 8, 0, 0, 3, B50, CS8, 0, false, 0, false},
};

void choose(ConnectionSettings& s, const SerialCase& c) {
    s.m_BaudRate = c.baud;
    s.m_DataBits = c.dataBits;
    s.m_Parity = c.parity;
    s.m_StopBits = c.stopBits;
    s.m_FlowControl = c.flow;
}

TEST(SerialConfig, BuildsTheTerminalAttributes) {
    for (const SerialCase& c : kCases) {
        SCOPED_TRACE(c.baud);
        ConnectionSettings s;
        choose(s, c);
        termios tio{};
        // As a port opened before with parity leaves it: a port without parity must not keep
        // checking input parity.
        tio.c_iflag = IXON | IXANY | ICRNL | INPCK;
        tio.c_oflag = OPOST | ONLCR;
        tio.c_lflag = ICANON | ECHO | ISIG;
        tio.c_cflag = CRTSCTS | PARENB | CS8;
        bool oneAndHalf = false;
        ASSERT_EQ(SerialConfig::build(s, tio, oneAndHalf), 0);
        EXPECT_EQ(oneAndHalf, c.stopBits == 1);
        EXPECT_EQ(::cfgetospeed(&tio), c.speed);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), c.parityFlags);
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.parityFlags != 0);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY), c.iflowFlags);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtscts);
        EXPECT_NE(tio.c_cflag & (CREAD | CLOCAL), 0u);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(tio.c_iflag & ICRNL, 0u);
    }
}

// A pseudo-terminal keeps the rate, stop bits, flow control and raw mode as set (it forces CS8
// and no parity on itself, so those are checked on the built attributes above).
TEST_F(SerialPort, ParametersAreReallyApplied) {
    for (const SerialCase& c : kCases) {
        SCOPED_TRACE(c.baud);
        choose(ports, c);
        ASSERT_EQ(ports.Open(), 1);
        termios tio = attributesOf(ports.m_hPort);
        EXPECT_EQ(::cfgetospeed(&tio), c.speed);
        EXPECT_EQ(::cfgetispeed(&tio), c.speed);
        EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStop);
        EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), c.iflowFlags);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtscts);
        EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u); // raw
        EXPECT_EQ(tio.c_oflag & OPOST, 0u);
        EXPECT_EQ(ports.Close(), 1);
    }
    EXPECT_NE(logText().find("1.5 stop bits are sent as 2 stop bits"), std::string::npos);
}

TEST_F(SerialPort, RefusesUnchosenAndImpossibleParameters) {
    int CPorts::*const fields[] = {&CPorts::m_BaudRate, &CPorts::m_DataBits, &CPorts::m_Parity,
                                   &CPorts::m_FlowControl};
    for (auto field : fields) {
        int saved = ports.*field;
        ports.*field = -1;
        EXPECT_EQ(ports.Open(), 0);
        EXPECT_EQ(ports.m_bConnected.load(), 0);
        ports.*field = saved;
    }
    EXPECT_EQ(logText().find("CPorts::"), std::string::npos); // nothing was logged

    struct Bad {
        int baud, dataBits, parity, stopBits, flow;
    } bad[] = {{12345, 8, 0, 0, 3}, {9600, 9, 0, 0, 3}, {9600, 4, 0, 0, 3},
               {9600, 8, 5, 0, 3},  {9600, 8, 0, 3, 3}, {9600, 8, 0, 0, 4}};
    for (const Bad& b : bad) {
        ports.m_BaudRate = b.baud;
        ports.m_DataBits = b.dataBits;
        ports.m_Parity = b.parity;
        ports.m_StopBits = b.stopBits;
        ports.m_FlowControl = b.flow;
        EXPECT_EQ(ports.Open(), 0);
        EXPECT_EQ(ports.m_hPort, -1);
    }
    EXPECT_NE(logText().find("CPorts::Open() SetCommstate failed(22).\r\n"), std::string::npos);

    // Only the low byte of the stop bits counts.
    ports.m_BaudRate = 9600;
    ports.m_DataBits = 8;
    ports.m_Parity = 0;
    ports.m_FlowControl = 3;
    ports.m_StopBits = 0x102;
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_NE(attributesOf(ports.m_hPort).c_cflag & CSTOPB, 0u);
}

TEST_F(SerialPort, NonTerminalsAndMissingDevicesFailWithTheirLogLines) {
    TempDir dir;
    dir.write("plain", "x");
    ports.m_PortName = dir.file("plain"); // not under /dev: not a port name at all
    EXPECT_EQ(ports.Open(), 0);
    EXPECT_NE(logText().find("CPorts::Open() Invalid Handle\r\n"), std::string::npos);

    ports.m_PortName = "/dev/null"; // a device, but no terminal
    EXPECT_EQ(ports.Open(), 0);
    EXPECT_NE(logText().find("CPorts::Open() GetCommState failed.\r\n"), std::string::npos);

    ports.m_PortName = "/dev/ttyKORVA-missing";
    EXPECT_EQ(ports.Open(), 0);
    EXPECT_NE(logText().find("CPorts::Open() CreateFile error\r\n"), std::string::npos);
}

TEST_F(SerialPort, ComAliasesMapToTtySUnderTheDevRoot) {
    TempDir devRoot;
    std::filesystem::create_symlink(pty.slavePath(), devRoot.file("ttyS0"));
    CPorts aliased(log, catalogue, prompter, clock, DeviceRoots{"/sys", devRoot.path()});
    aliased.m_PortName = "com1";
    aliased.m_BaudRate = 9600;
    aliased.m_DataBits = 8;
    aliased.m_Parity = 0;
    aliased.m_FlowControl = 3;
    ASSERT_EQ(aliased.Open(), 1);
    EXPECT_EQ(aliased.m_PortName, "COM1");
    const std::uint8_t data[] = {0x1B, 0x40, 0x0A};
    EXPECT_EQ(aliased.Write(data, 3), 3);
    EXPECT_EQ(hex(pty.receive(3)), "1B 40 0A");

    aliased.m_PortName = "com2"; // no ttyS1 in this tree
    EXPECT_EQ(aliased.Open(), 0);
}

// The port is exclusive only while it is held: a printer stand-in (or any other process) that
// keeps the terminal open must not lock the next Open out once this one has closed.
TEST_F(SerialPort, ExclusiveUseEndsWithClose) {
    UniqueFd held(::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(held.valid());
    auto exclusive = [&] {
        int state = -1;
        EXPECT_EQ(::ioctl(held.get(), TIOCGEXCL, &state), 0);
        return state;
    };
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(exclusive(), 1);
    ASSERT_EQ(ports.Open(), 1); // the stale handle is let go and the port taken again
    EXPECT_EQ(exclusive(), 1);
    EXPECT_EQ(ports.Close(), 1);
    EXPECT_EQ(exclusive(), 0);

    // An open that fails on the parameters lets the port go as well.
    ports.m_BaudRate = 12345;
    EXPECT_EQ(ports.Open(), 0);
    EXPECT_EQ(exclusive(), 0);
}

TEST_F(SerialPort, BytesWrittenArriveUnchanged) {
    ASSERT_EQ(ports.Open(), 1);
    Bytes all;
    for (int i = 0; i < 256; ++i)
        all.push_back(static_cast<std::uint8_t>(i));
    EXPECT_EQ(ports.Write(all.data(), static_cast<std::uint32_t>(all.size())), 256);
    EXPECT_EQ(pty.receive(256), all);
    EXPECT_EQ(ports.Write(all.data(), 0), 0);
}

TEST_F(SerialPort, ALongWriteIsTakenWholeWhileThePrinterReads) {
    ASSERT_EQ(ports.Open(), 1);
    // Far more than the terminal buffers hold: the write has to wait for room several times.
    Bytes big(300000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 13 + 1);
    Bytes got;
    std::thread printer([&] { got = pty.receive(big.size(), 5000); });
    EXPECT_EQ(ports.Write(big.data(), static_cast<std::uint32_t>(big.size())),
              static_cast<int>(big.size()));
    printer.join();
    EXPECT_EQ(got, big);
    EXPECT_EQ(logText().find("WriteFile"), std::string::npos);
}

TEST_F(SerialPort, ReadReturnsWhatWaitsAndZeroWhenNothingDoes) {
    ports.m_ReceiveMode = 1; // no receive thread
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_FALSE(ports.receiveThreadRunning());
    std::uint8_t buffer[8];
    EXPECT_EQ(ports.Read(buffer, sizeof buffer), 0);
    ASSERT_TRUE(pty.send(bytes("10 04 01 12 34 56 78 9A AB CD")));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(ports.Read(buffer, sizeof buffer), 8);
    EXPECT_EQ(hex(buffer, 8), "10 04 01 12 34 56 78 9A");
    EXPECT_EQ(ports.Read(buffer, sizeof buffer), 2);
    EXPECT_EQ(hex(buffer, 2), "AB CD");
}

TEST_F(SerialPort, ReceiveThreadStartsOnlyInTheReceiveModesThatNeedIt) {
    struct Mode {
        int receiveMode, modelKind;
        bool thread;
    } modes[] = {{0, 2, false}, {1, 2, false}, {2, 1, true}, {2, 6, true},
                 {3, 2, true},  {3, 1, false}, {3, 6, false}};
    for (const Mode& m : modes) {
        SCOPED_TRACE(m.receiveMode * 10 + m.modelKind);
        ports.m_ReceiveMode = m.receiveMode;
        ports.m_ModelKind = m.modelKind;
        ASSERT_EQ(ports.Open(), 1);
        EXPECT_EQ(ports.receiveThreadRunning(), m.thread);
        ports.Close();
    }
}

TEST_F(SerialPort, RepliesReachTheRingAndTheNotification) {
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(pty.send(bytes("37 27 32 34 32 1F 31 31 32 00")));
    ASSERT_TRUE(target.waitFor(1));
    Bytes got;
    while (!ports.m_QueueRead.empty())
        got.push_back(ports.m_QueueRead.get());
    EXPECT_EQ(hex(got), "37 27 32 34 32 1F 31 31 32 00");

    // A batch larger than the 2048-byte read buffer arrives whole, in order.
    Bytes big(3000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i * 7);
    int before = target.count();
    ASSERT_TRUE(pty.send(big));
    Bytes received;
    for (int round = 0; round < 100 && received.size() < big.size(); ++round) {
        target.waitFor(before + 1, 100);
        before = target.count();
        while (!ports.m_QueueRead.empty())
            received.push_back(ports.m_QueueRead.get());
    }
    EXPECT_EQ(received, big);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(SerialPort, AFullQueueDropsTheBatchWithTheQueueMessage) {
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    for (int i = 0; i < 4094; ++i)
        ports.m_QueueRead.put(0x55);
    ASSERT_TRUE(pty.send(bytes("01"))); // fills the queue to exactly 4095: queued
    ASSERT_TRUE(target.waitFor(1));
    EXPECT_EQ(ports.m_QueueRead.count(), 4095u);
    EXPECT_TRUE(prompter.messages().empty());

    // No room: dropped. A printer that keeps sending gets one box; the rest is logged, counted.
    for (int i = 2; i <= 4; ++i) {
        ASSERT_TRUE(pty.send(Bytes{static_cast<std::uint8_t>(i)}));
        ASSERT_TRUE(target.waitFor(i));
    }
    EXPECT_EQ(ports.m_QueueRead.count(), 4095u);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0], catalogue.text(MsgQueueFull));
    EXPECT_NE(logText().find("Receive queue full: 1 bytes dropped (drop 3 since the message)"),
              std::string::npos)
        << logText();
    // A batch that fits ends the spell: the next drop shows the box again.
    ports.m_QueueRead.get();
    ASSERT_TRUE(pty.send(bytes("05")));
    ASSERT_TRUE(target.waitFor(5));
    ASSERT_TRUE(pty.send(bytes("06")));
    ASSERT_TRUE(target.waitFor(6));
    EXPECT_EQ(prompter.messages().size(), 2u);
}

TEST_F(SerialPort, CloseEndsTheReceiveThreadAtOnce) {
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(ports.receiveThreadRunning());
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ports.Close(), 1);
    while (ports.receiveThreadRunning() &&
           std::chrono::steady_clock::now() - start < std::chrono::milliseconds(500))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(ports.receiveThreadRunning());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(ports.Close(), 0);
    EXPECT_EQ(ports.m_bConnected.load(), 0);
    EXPECT_EQ(ports.m_bThreadRun.load(), 0);

    // The port can be opened again at once; the old thread is collected.
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(pty.send(bytes("AA")));
    EXPECT_TRUE(target.waitFor(1));
}

TEST_F(SerialPort, CloseFromInsideTheNotificationDoesNotDeadlock) {
    struct Closer : NotifyTarget {
        CPorts* ports = nullptr;
        std::atomic<int> closed{-1};
        void onDataArrived() override { closed = ports->Close(); }
    } closer;
    closer.ports = &ports;
    ports.m_NotifyWnd = &closer;
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(pty.send(bytes("01")));
    for (int i = 0; i < 500 && ports.receiveThreadRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(ports.receiveThreadRunning());
    EXPECT_EQ(closer.closed.load(), 1);
}

TEST_F(SerialPort, AStaleHandleIsClosedWithAPause) {
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_NE(logText().find("CPorts::Open() CloseHandle run\r\n"), std::string::npos);
    EXPECT_EQ(clock.sleeps(), std::vector<int>{1000});
    ASSERT_TRUE(pty.send(bytes("42")));
    ASSERT_TRUE(target.waitFor(1));
    EXPECT_EQ(ports.m_QueueRead.get(), 0x42);
}

TEST_F(SerialPort, AClosedPeerMakesWritesFailWithoutAHang) {
    ports.m_ReceiveMode = 2;
    ASSERT_EQ(ports.Open(), 1);
    pty.closeMaster();
    const std::uint8_t data[] = {1, 2, 3};
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ports.Write(data, 3), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    EXPECT_NE(logText().find("WriteFile get error result [5]"), std::string::npos);
    // The receive thread notices the hang-up and ends instead of spinning.
    for (int i = 0; i < 500 && ports.receiveThreadRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    EXPECT_FALSE(ports.receiveThreadRunning());
    EXPECT_EQ(ports.Close(), 1);
}

TEST_F(SerialPort, AStalledLineReturnsThePartialCount) {
    ports.m_FlowControl = 2; // S/W: the printer's XOFF stops our output
    ports.m_WriteTimeoutPerByteMs = 1;
    ASSERT_EQ(ports.Open(), 1);
    const std::uint8_t first[] = {'A', 'B'};
    ASSERT_EQ(ports.Write(first, 2), 2);
    EXPECT_EQ(hex(pty.receive(2)), "41 42");

    ASSERT_TRUE(pty.send(bytes("13"))); // XOFF
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    Bytes data(80, 0x5A);
    auto start = std::chrono::steady_clock::now();
    int written = ports.Write(data.data(), 80);
    auto took = std::chrono::steady_clock::now() - start;
    EXPECT_LT(written, 80);
    EXPECT_GE(took, std::chrono::milliseconds(70)); // the 1 ms per byte (80 ms) was waited
    EXPECT_LT(took, std::chrono::milliseconds(1000));
    EXPECT_NE(logText().find("WriteFile Time-out!"), std::string::npos);

    ASSERT_TRUE(pty.send(bytes("11"))); // XON: what was taken comes out
    EXPECT_EQ(pty.receive(static_cast<std::size_t>(written), 500).size(),
              static_cast<std::size_t>(written));
}

TEST(SerialConfig, KnowsEveryStandardRate) {
    for (int rate : {50, 300, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800,
                     921600, 1000000, 4000000}) {
        speed_t speed = SerialConfig::speedOf(rate);
        EXPECT_NE(speed, 0u) << rate;
        EXPECT_EQ(SerialConfig::baudOf(speed), rate);
    }
    EXPECT_EQ(SerialConfig::speedOf(0), 0u);
    EXPECT_EQ(SerialConfig::speedOf(-1), 0u);
    EXPECT_EQ(SerialConfig::speedOf(14400), 0u);
}
