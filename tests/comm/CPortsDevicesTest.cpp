// CPorts on the parallel, file and USB paths, and the USB reply collection.
#include "FakeDeviceTree.h"
#include "PtyPair.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "comm/CPorts.h"
#include "comm/UniqueFd.h"
#include "comm/UsbReplyUnescaper.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

struct CountingTarget : NotifyTarget {
    std::atomic<int> count{0};
    void onDataArrived() override { ++count; }
};

class Devices : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(log.Open(logDir.file("error.log")));
        ports.m_NotifyWnd = &target;
    }
    std::string logText() { return logDir.read("error.log"); }
    Bytes drainQueue() {
        Bytes out;
        while (!ports.m_QueueRead.empty())
            out.push_back(ports.m_QueueRead.get());
        return out;
    }

    PtyPair pty;
    TempDir logDir;
    TempDir work;
    ErrorLog log;
    VirtualClock clock;
    RecordingPrompter prompter;
    MessageCatalogue catalogue;
    CountingTarget target;
    FakeDeviceTree tree;
    CPorts ports{log, catalogue, prompter, clock, tree.roots()};
};

} // namespace

TEST_F(Devices, ParallelPortIsWriteOnlyAndPassesBytesUnchanged) {
    ports.m_PortName = "lpt:" + pty.slavePath();
    ports.m_ReceiveMode = 2; // never a thread on LPT
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(ports.m_bConnected.load(), 1);
    EXPECT_FALSE(ports.receiveThreadRunning());
    Bytes data = bytes("1B 40 0A 0D 0A 00 FF");
    EXPECT_EQ(ports.Write(data.data(), 7), 7);
    EXPECT_EQ(pty.receive(7), data); // no CR/LF translation on a terminal stand-in

    ASSERT_TRUE(pty.send(bytes("01 02")));
    std::uint8_t buffer[4];
    EXPECT_EQ(ports.Read(buffer, 4), 0); // write-only
    EXPECT_EQ(ports.Close(), 1);

    tree.addNode("lp1", pty.slavePath());
    ports.m_PortName = "lpt2";
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(ports.m_PortName, "LPT2");
    EXPECT_EQ(ports.Write(data.data(), 2), 2);
    EXPECT_EQ(hex(pty.receive(2)), "1B 40");

    ports.m_PortName = "LPT3"; // no lp2 node: the open handle is let go, the open fails
    EXPECT_EQ(ports.Open(), 0);
    EXPECT_EQ(ports.m_hPort, -1);
    EXPECT_NE(logText().find("CPorts::Open() CreateFile error\r\n"), std::string::npos);
}

TEST_F(Devices, FileOutputAsksForTheNameAndReplacesTheFile) {
    ScopedCwd cwd(work.path());
    work.write("out.prn", "old content that must go");
    prompter.queueInput(std::string()); // OK with an empty name: entry 0, asked again
    prompter.queueInput(std::string("out.prn"));
    ports.m_PortName = "FILE";
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(ports.m_PortName, "out.prn");
    auto shown = prompter.shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].kind, RecordingPrompter::Shown::InputText);
    EXPECT_EQ(shown[0].text, "Print to File");
    EXPECT_EQ(shown[0].caption, "Input the output file name");
    EXPECT_EQ(shown[1].text, catalogue.text(MsgInputOutputFileName));
    EXPECT_EQ(shown[2].kind, RecordingPrompter::Shown::InputText);

    Bytes data = bytes("1B 40 41 0A");
    EXPECT_EQ(ports.Write(data.data(), 4), 4);
    EXPECT_EQ(ports.Write(data.data(), 0), 0);
    EXPECT_EQ(ports.Close(), 1);
    EXPECT_EQ(work.read("out.prn"), "\x1b@A\n");

    // The name stays the file's: a second print to file must set FILE again.
    EXPECT_EQ(ports.Open(), 0);
    EXPECT_NE(logText().find("CPorts::Open() Invalid Handle\r\n"), std::string::npos);

    // Leaving the dialog without OK prints to temp.prn.
    ports.m_PortName = "FILE";
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(ports.m_PortName, "temp.prn");
    EXPECT_EQ(ports.Write(data.data(), 2), 2);
    ports.Close();
    EXPECT_EQ(work.read("temp.prn"), "\x1b@");

    prompter.queueInput(std::string("no/such/folder/x.prn"));
    ports.m_PortName = "FILE";
    EXPECT_EQ(ports.Open(), 0);
}

// The output file name is the user's: one naming a pipe nobody reads (or a terminal without
// carrier) must fail the open, not hang the program in it.
TEST_F(Devices, FileOutputToAPipeWithoutReaderDoesNotHang) {
    ASSERT_EQ(::mkfifo(work.file("pipe").c_str(), 0600), 0);
    prompter.queueInput(work.file("pipe"));
    ports.m_PortName = "FILE";
    std::atomic<int> result{-1};
    std::thread opener([&] { result = ports.Open(); });
    for (int i = 0; i < 500 && result < 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    bool returned = result >= 0;
    if (!returned) {
        // Let the hung open go, so the test can end.
        UniqueFd reader(::open(work.file("pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        opener.join();
        ports.Close();
    } else {
        opener.join();
    }
    ASSERT_TRUE(returned) << "Open blocked on the pipe";
    EXPECT_EQ(result.load(), 0);
    EXPECT_EQ(ports.m_hPort, -1);
    EXPECT_NE(logText().find("CPorts::Open() CreateFile error\r\n"), std::string::npos);

    // With a reader the same name works, and the bytes arrive.
    UniqueFd reader(::open(work.file("pipe").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(reader.valid());
    prompter.queueInput(work.file("pipe"));
    ports.m_PortName = "FILE";
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(ports.Write(reinterpret_cast<const std::uint8_t*>("\x1b@"), 2), 2);
    char got[4] = {};
    EXPECT_EQ(::read(reader.get(), got, sizeof got), 2);
    EXPECT_EQ(std::string(got, 2), "\x1b@");
    EXPECT_EQ(ports.Close(), 1);
}

namespace {

// A pipe with a reader that does not read, filled to the brim: the next write must wait.
struct FullPipe {
    explicit FullPipe(const std::string& path) {
        ok = ::mkfifo(path.c_str(), 0600) == 0;
        reader = UniqueFd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        UniqueFd filler(::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        ok = ok && reader.valid() && filler.valid();
        std::uint8_t block[4096] = {};
        while (ok && ::write(filler.get(), block, sizeof block) > 0)
            ;
    }
    void drain() {
        std::uint8_t block[4096];
        while (::read(reader.get(), block, sizeof block) > 0)
            ;
    }
    bool ok = false;
    UniqueFd reader;
};

// Runs a write on its own thread; a write still blocked after 3 s is freed by draining the pipe,
// so a hang fails the check instead of the whole suite.
int boundedWrite(CPorts& ports, FullPipe& pipe, const Bytes& data, bool& returned) {
    std::atomic<int> result{-1};
    std::thread writer(
        [&] { result = ports.Write(data.data(), static_cast<std::uint32_t>(data.size())); });
    for (int i = 0; i < 3000 && result < 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    returned = result >= 0;
    while (result < 0) {
        pipe.drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    return result;
}

} // namespace

TEST_F(Devices, FileWritesAreBoundedAndNeverReportAPartialWrite) {
    FullPipe pipe(work.file("pipe"));
    ASSERT_TRUE(pipe.ok);
    prompter.queueInput(work.file("pipe"));
    ports.m_PortName = "FILE";
    ports.m_PrinterMinWriteWaitMs = 100;
    ports.m_WriteTimeoutPerByteMs = 0;
    ASSERT_EQ(ports.Open(), 1);
    bool returned = false;
    EXPECT_EQ(boundedWrite(ports, pipe, Bytes(16, 0x41), returned), 0);
    EXPECT_TRUE(returned) << "the write waited on the stopped reader for ever";
    EXPECT_NE(logText().find("WriteFile Time-out!"), std::string::npos);
    ports.Close();

    // A file size limit cuts the write short: the job is not in the file, so 0, not the count.
    ScopedCwd cwd(work.path());
    rlimit old{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    prompter.queueInput(std::string("limited.prn"));
    ports.m_PortName = "FILE";
    ASSERT_EQ(ports.Open(), 1);
    rlimit small = old;
    small.rlim_cur = 1000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    Bytes big(4000, 0x42);
    int written = ports.Write(big.data(), 4000);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(written, 0);
    EXPECT_EQ(std::filesystem::file_size(work.file("limited.prn")), 1000u) << "cut short as meant";
    EXPECT_NE(logText().find("WriteFile get error result [27]"), std::string::npos); // EFBIG
    ports.Close();
}

// A busy printer holds a short write for a while; the parallel and USB paths wait seconds, not
// the serial line's 50 ms.
TEST_F(Devices, AShortWriteToABusyParallelPrinterWaitsForIt) {
    FullPipe pipe(work.file("lp"));
    ASSERT_TRUE(pipe.ok);
    ports.m_PortName = "LPT:" + work.file("lp");
    ASSERT_EQ(ports.Open(), 1);
    std::thread printer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        pipe.drain();
    });
    Bytes command = bytes("1B 40 0A");
    EXPECT_EQ(ports.Write(command.data(), 3), 3) << logText();
    printer.join();
    EXPECT_EQ(logText().find("WriteFile Time-out!"), std::string::npos);
}

TEST_F(Devices, UnknownPortNamesAreNotOpened) {
    for (const char* name : {"ETHERNET_II", "WIFI", "", "PRN"}) {
        ports.m_PortName = name;
        EXPECT_EQ(ports.Open(), 0) << name;
        EXPECT_EQ(ports.m_hPort, -1);
        EXPECT_EQ(ports.Write(reinterpret_cast<const std::uint8_t*>("x"), 1), 0);
    }
    EXPECT_NE(logText().find("CPorts::Open() Invalid Handle\r\n"), std::string::npos);
}

TEST_F(Devices, UsbOpensThePrinterOfTheModelKind) {
    PtyPair other;
    ASSERT_TRUE(other.ok());
    tree.addUsbPrinter(0, "5e3b", "3004", "0100", other.slavePath());
    tree.addUsbPrinter(1, "5e3b", "0101", "0100", pty.slavePath());
    struct Case {
        int kind;
        std::string expectedNode; // "" = fails
    } cases[] = {{1, "lp1"}, {2, "lp1"}, {3, "lp0"}, {4, "lp0"}, {5, ""}, {6, "lp0"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        ports.m_PortName = "usb";
        ports.m_ModelKind = c.kind;
        if (c.expectedNode.empty()) {
            EXPECT_EQ(ports.Open(), 0);
            continue;
        }
        ASSERT_EQ(ports.Open(), 1);
        EXPECT_EQ(ports.m_PortName, "USB");
        EXPECT_EQ(ports.m_DevicePath, tree.roots().dev + "/usb/" + c.expectedNode);
        EXPECT_EQ(ports.usbList().size(), 2u);
        EXPECT_FALSE(ports.receiveThreadRunning());
        EXPECT_EQ(ports.Write(reinterpret_cast<const std::uint8_t*>("\x0a"), 1), 1);
        PtyPair& peer = c.expectedNode == "lp1" ? pty : other;
        EXPECT_EQ(hex(peer.receive(1)), "0A");
        EXPECT_EQ(ports.Close(), 1);
        EXPECT_TRUE(ports.usbList().empty()); // released with the connection
    }
    // Kind 6 prefers its own printer over the fallback.
    tree.addUsbPrinter(2, "5e3b", "3012", "0100", pty.slavePath());
    ports.m_ModelKind = 6;
    ports.m_PortName = "USB";
    ASSERT_EQ(ports.Open(), 1);
    EXPECT_EQ(ports.m_DevicePath, tree.roots().dev + "/usb/lp2");
}

TEST_F(Devices, UsbRepliesAreUnescapedIntoTheQueue) {
    tree.addUsbPrinter(0, "5e3b", "3012", "0100", pty.slavePath());
    ports.m_PortName = "USB";
    ports.m_ModelKind = 6;
    ports.m_UsbReplyWaitMs = 5;
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(pty.send(bytes("37 27 32 34 32 1F 1B 30 1B 1B 1B 41 31 00")));
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    EXPECT_EQ(ports.m_hUsbRead, -1);
    EXPECT_EQ(target.count.load(), 1);
    EXPECT_EQ(hex(drainQueue()), "37 27 32 34 32 1F 00 1B 41 31 00");

    // Nothing waiting: four empty passes, no notification.
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    EXPECT_EQ(target.count.load(), 1);
    EXPECT_TRUE(ports.m_QueueRead.empty());

    // The printer answers at its own pace: an escape pair cut between two collections is still
    // one byte, and a new connection does not inherit an escape the last one was left with.
    ASSERT_TRUE(pty.send(bytes("37 27 1B")));
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    ASSERT_TRUE(pty.send(bytes("30 31 1B")));
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    EXPECT_EQ(hex(drainQueue()), "37 27 00 31");
    EXPECT_EQ(ports.Close(), 1);
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(pty.send(bytes("30 31")));
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    EXPECT_EQ(hex(drainQueue()), "30 31");

    // A reply that does not fit is dropped with the queue message.
    for (int i = 0; i < 4090; ++i)
        ports.m_QueueRead.put(0);
    ASSERT_TRUE(pty.send(bytes("01 02 03 04 05 06")));
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    EXPECT_EQ(ports.m_QueueRead.count(), 4090u);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0], catalogue.text(MsgQueueFull));
}

// The KORVA10 firmware download (receive mode 3, model kind 2) gets its DLE replies over USB
// through the receive thread, unescaped; every other mode and model reads USB replies only by
// the reply collection.
TEST_F(Devices, UsbReceiveThreadRunsOnlyForTheKorva10FirmwareDownload) {
    tree.addUsbPrinter(0, "5e3b", "0101", "0100", pty.slavePath());
    struct Row {
        int mode, kind;
        bool thread;
    } rows[] = {{3, 2, true}, {2, 2, false}, {1, 2, false}, {3, 1, false}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.mode * 10 + r.kind);
        ports.m_PortName = "USB";
        ports.m_ReceiveMode = r.mode;
        ports.m_ModelKind = r.kind;
        ASSERT_EQ(ports.Open(), 1);
        EXPECT_EQ(ports.receiveThreadRunning(), r.thread);
        if (r.thread) {
            ASSERT_TRUE(pty.send(bytes("10 06 1B 30 1B 1B 10")));
            Bytes got;
            for (int i = 0; i < 200 && got.size() < 5; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                Bytes more = drainQueue();
                got.insert(got.end(), more.begin(), more.end());
            }
            EXPECT_EQ(hex(got), "10 06 00 1B 10");
            EXPECT_GE(target.count.load(), 1);
        }
        EXPECT_EQ(ports.Close(), 1);
        EXPECT_FALSE(ports.receiveThreadRunning());
    }
}

// The usblp driver lets only one descriptor hold a printer, so a second open of the node fails
// while the connection is up: the replies are then read through the connection's own handle.
TEST_F(Devices, UsbRepliesAreCollectedWhileTheNodeRefusesASecondOpen) {
    tree.addUsbPrinter(0, "5e3b", "3012", "0100", pty.slavePath());
    ports.m_PortName = "USB";
    ports.m_ModelKind = 6;
    ports.m_UsbReplyWaitMs = 5;
    ASSERT_EQ(ports.Open(), 1);
    ASSERT_TRUE(std::filesystem::remove(ports.m_DevicePath)); // nothing more can open it
    ASSERT_TRUE(pty.send(bytes("37 27 31 1F 1B 30 00")));
    EXPECT_EQ(ports.CollectUsbReplies(), 1);
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_EQ(hex(drainQueue()), "37 27 31 1F 00 00");
    EXPECT_EQ(ports.m_hUsbRead, -1);
    // The connection itself is still open and usable.
    EXPECT_EQ(ports.Write(reinterpret_cast<const std::uint8_t*>("\x0a"), 1), 1);
    EXPECT_EQ(hex(pty.receive(1)), "0A");
    EXPECT_EQ(ports.Close(), 1);
}

TEST_F(Devices, UsbReplyCollectionShowsThePathItCannotOpen) {
    ports.m_DevicePath = tree.roots().dev + "/usb/lp9";
    EXPECT_EQ(ports.CollectUsbReplies(), 0);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0], ports.m_DevicePath);
    EXPECT_EQ(ports.m_hUsbRead, -1);
}

TEST(UsbReplyUnescaper, DecodesEscapesAlsoAcrossReads) {
    struct Case {
        std::vector<std::string> reads;
        std::string expected;
    } cases[] = {
        {{"1B 30"}, "00"},
        {{"1B 1B"}, "1B"},
        {{"1B 41 42"}, "41 42"},
        {{"30 1B"}, "30"},
        {{"41 1B", "30 42"}, "41 00 42"},
        {{"1B", "1B", "1B 30"}, "1B 00"},
        {{"37 27 1B"}, "37 27"},
    };
    for (const Case& c : cases) {
        UsbReplyUnescaper u;
        Bytes out;
        for (const std::string& read : c.reads) {
            Bytes in = bytes(read);
            Bytes chunk(in.size());
            chunk.resize(u.feed(in.data(), in.size(), chunk.data()));
            out.insert(out.end(), chunk.begin(), chunk.end());
        }
        EXPECT_EQ(hex(out), c.expected);
    }
}
