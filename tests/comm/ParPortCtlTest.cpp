#include "PtyPair.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "comm/ParPortCtl.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

using namespace korva;
using namespace korva::test;

namespace {

class ParallelControl : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        ASSERT_TRUE(log.Open(logDir.file("error.log")));
    }
    Bytes popAll() {
        Bytes out;
        int status = 1;
        for (;;) {
            std::uint8_t b = port.PopByte(status);
            if (status != 1)
                break;
            out.push_back(b);
        }
        return out;
    }
    bool waitForRing(std::uint32_t count, int timeoutMs = 1000) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (port.ringCount() < count && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return port.ringCount() >= count;
    }

    PtyPair pty;
    TempDir logDir;
    ErrorLog log;
    VirtualClock clock;
    ParPortCtl port{log, clock};
};

} // namespace

TEST_F(ParallelControl, StripsStatusBlocksFromTheStream) {
    struct Case {
        const char* stream;
        const char* ring;
        const char* status; // last status afterwards
    } cases[] = {
        {"10 00 00 0F 37 27 33 1F 36 00", "37 27 33 1F 36 00", "10 00 00 0F"},
        {"37 27 31 1F 36 00 10 00 00", "37 27 31 1F 36 00 10 00 00", "00 00 00 00"},
        {"14 0F 0F 0F 41", "41", "14 0F 0F 0F"},             // masked bits may vary
        {"11 00 00 0F 41", "11 00 00 0F 41", "00 00 00 00"}, // 0x11 & 0x93 = 0x11: no block
        {"10 80 00 0F", "10 80 00 0F", "00 00 00 00"},
        {"10 00 10 0F", "10 00 10 0F", "00 00 00 00"},
        {"10 00 00 0E", "10 00 00 0E", "00 00 00 00"},
        {"41 10 00 00 0F 10 04 00 0F 42", "41 42", "10 04 00 0F"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stream);
        ParPortCtl fresh(log, clock);
        Bytes in = bytes(c.stream);
        EXPECT_TRUE(fresh.absorb(in.data(), static_cast<std::uint32_t>(in.size())));
        Bytes ring;
        int status = 1;
        for (std::uint8_t b = fresh.PopByte(status); status == 1; b = fresh.PopByte(status))
            ring.push_back(b);
        EXPECT_EQ(hex(ring), c.ring);
        const auto& last = fresh.lastStatus();
        EXPECT_EQ(hex(last.data(), last.size()), c.status);
    }
}

TEST_F(ParallelControl, PopOnAnEmptyRingReportsIt) {
    int status = 0;
    EXPECT_EQ(port.PopByte(status), 0);
    EXPECT_EQ(status, -1);
    EXPECT_EQ(port.lastErrorText(), "[ParPortCtl] Receive Queue is Empty");
    EXPECT_TRUE(port.ringEmpty());
}

TEST_F(ParallelControl, WriteBeforeOpenWritesNothing) {
    const std::uint8_t data[] = {1, 2};
    EXPECT_EQ(port.Write(data, 2), 0);
    EXPECT_TRUE(pty.drain(10).empty());
    EXPECT_EQ(port.Open("LPT:/dev/korva-no-such-port"), 0);
    EXPECT_EQ(port.lastErrorText(), "[ParPortCtl] CreateFile fail : 2");
    EXPECT_EQ(port.lastErrorCode(), 2);
    EXPECT_FALSE(port.timeoutMode());
}

TEST_F(ParallelControl, ReceivesOnRequestThroughAStandIn) {
    ASSERT_EQ(port.Open("LPT:" + pty.slavePath()), 1);
    EXPECT_EQ(port.lastErrorCode(), 0);
    Bytes query = bytes("1D 61 00 1D 28 45 02 00 06 03 0A");
    EXPECT_EQ(port.Write(query.data(), static_cast<std::uint32_t>(query.size())), 11);
    EXPECT_EQ(pty.receive(11), query);

    ASSERT_EQ(port.StartReceiver(), 1);
    EXPECT_EQ(port.StartReceiver(), 1); // already running: no second thread
    ASSERT_TRUE(pty.send(bytes("10 00 00 0F 37 27 33 1F 36 00")));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(port.ringEmpty()); // nothing is read without a request
    port.RequestRead();
    ASSERT_TRUE(waitForRing(6));
    EXPECT_EQ(hex(popAll()), "37 27 33 1F 36 00");
    const auto& status = port.lastStatus();
    EXPECT_EQ(hex(status.data(), status.size()), "10 00 00 0F");

    // A request waits for the answer; stopping ends the wait at once.
    port.RequestRead();
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.StopReceiver(), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_FALSE(port.receiverRunning());

    // Re-armed, the receiver works again.
    ASSERT_EQ(port.StartReceiver(), 1);
    ASSERT_TRUE(pty.send(bytes("37 27 31 1F 35 00")));
    port.RequestRead();
    ASSERT_TRUE(waitForRing(6));
    EXPECT_EQ(hex(popAll()), "37 27 31 1F 35 00");
    EXPECT_EQ(port.Close(), 1);
    EXPECT_FALSE(port.receiverRunning());
    EXPECT_EQ(clock.sleeps(), std::vector<int>{100});
    EXPECT_EQ(port.Write(query.data(), 1), 0);
}

TEST_F(ParallelControl, AFullRingEndsTheReceiver) {
    ASSERT_EQ(port.Open("LPT:" + pty.slavePath()), 1);
    ASSERT_EQ(port.StartReceiver(), 1);
    Bytes chunk(512, 0x41);
    // 4095 bytes fill the ring; the next byte ends the receiver.
    std::uint32_t sent = 0;
    while (sent < 4096) {
        std::uint32_t n = std::min<std::uint32_t>(512, 4096 - sent);
        ASSERT_TRUE(pty.send(Bytes(chunk.begin(), chunk.begin() + n)));
        sent += n;
        port.RequestRead();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (port.receiverRunning() && port.ringCount() < std::min<std::uint32_t>(sent, 4095) &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (int i = 0; i < 1000 && port.receiverRunning(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_FALSE(port.receiverRunning());
    EXPECT_EQ(port.ringCount(), 4095u);
    EXPECT_EQ(port.lastErrorText(), "Receive Queue is FULL!");

    // What is in the ring stays poppable; a restarted receiver goes on.
    EXPECT_EQ(popAll().size(), 4095u);
    ASSERT_EQ(port.StartReceiver(), 1);
    ASSERT_TRUE(pty.send(bytes("42")));
    port.RequestRead();
    ASSERT_TRUE(waitForRing(1));
    EXPECT_EQ(hex(popAll()), "42");
}

TEST_F(ParallelControl, AWriteThatCannotCompleteGivesZero) {
    ASSERT_EQ(port.Open("LPT:" + pty.slavePath()), 1);
    port.setWriteWaitMs(30);
    // Nobody reads the stand-in's other side: its buffers fill and the write stalls.
    Bytes big(1 << 20, 0x20);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(port.Write(big.data(), static_cast<std::uint32_t>(big.size())), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    EXPECT_EQ(port.lastErrorText(), ""); // no text for a time-out

    pty.drain(20);
    pty.closeMaster();
    EXPECT_EQ(port.Write(big.data(), 4), 0);
    EXPECT_EQ(port.lastErrorText(), "[ParPortCtl] Write fail : 5");
}
