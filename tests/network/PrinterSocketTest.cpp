#include "network/PrinterSocket.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "comm/UniqueFd.h"
#include "network/ConnectionProbe.h"
#include "network/EthernetSettings.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <arpa/inet.h>
#include <chrono>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

// A printer listening on 127.0.0.1 at a port the system chose.
class LoopbackPrinter {
public:
    LoopbackPrinter() : m_listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listener.get(), reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(m_listener.get(), 16) != 0 ||
            ::getsockname(m_listener.get(), reinterpret_cast<sockaddr*>(&address), &size) != 0)
            m_listener.reset();
        m_port = ntohs(address.sin_port);
    }
    bool ok() const { return m_listener.valid(); }
    int port() const { return m_port; }
    void stopListening() { m_listener.reset(); }

    // Accepts one waiting connection (waiting up to a second).
    bool accept() {
        pollfd p{m_listener.get(), POLLIN, 0};
        if (::poll(&p, 1, 1000) != 1)
            return false;
        m_peer.reset(::accept4(m_listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
        return m_peer.valid();
    }
    bool send(const Bytes& data) {
        return ::send(m_peer.get(), data.data(), data.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(data.size());
    }
    Bytes receive(std::size_t count) {
        Bytes out;
        std::uint8_t buffer[4096];
        while (out.size() < count) {
            pollfd p{m_peer.get(), POLLIN, 0};
            if (::poll(&p, 1, 1000) != 1)
                break;
            ssize_t n = ::recv(m_peer.get(), buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            out.insert(out.end(), buffer, buffer + n);
        }
        return out;
    }
    void closePeer() { m_peer.reset(); }

private:
    UniqueFd m_listener;
    UniqueFd m_peer;
    int m_port = 0;
};

// A loopback port that is certainly closed: bound, never listened on.
class ClosedPort {
public:
    ClosedPort() : m_socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        ::bind(m_socket.get(), reinterpret_cast<sockaddr*>(&address), size);
        ::getsockname(m_socket.get(), reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
    }
    int port() const { return m_port; }

private:
    UniqueFd m_socket;
    int m_port = 0;
};

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 1000) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class NetworkLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(printer.ok());
        ASSERT_TRUE(log.Open(logDir.file("error.log")));
        settings.ipAddress = "127.0.0.1";
        settings.acceptedPort = printer.port();
    }
    std::string logText() { return logDir.read("error.log"); }

    LoopbackPrinter printer;
    TempDir logDir;
    ErrorLog log;
    VirtualClock clock;
    RecordingPrompter prompter;
    MessageCatalogue catalogue;
    EthernetSettings settings;
    PrinterSocket socket{log, catalogue, prompter};
};

} // namespace

TEST(EthernetSettings, StartsWithTheFactoryAddress) {
    EthernetSettings s;
    EXPECT_EQ(s.ipAddress, "192.168.0.254");
    EXPECT_EQ(s.port, 6001);
    EXPECT_EQ(s.acceptedPort, 6001);
}

TEST_F(NetworkLink, AListeningPrinterPassesTheProbe) {
    EXPECT_TRUE(connectionProbe(socket, settings, clock));
    EXPECT_EQ(clock.sleeps(), std::vector<int>{50});
    EXPECT_TRUE(waitUntil([&] { return socket.connected(); }));
    ASSERT_TRUE(printer.accept());
    Bytes data = bytes("1D 28 45 02 00 06 03");
    EXPECT_EQ(socket.Send(data.data(), 7), 7);
    EXPECT_EQ(printer.receive(7), data);
}

TEST_F(NetworkLink, AClosedPortFailsAfterTenAttempts) {
    ClosedPort closed;
    settings.acceptedPort = closed.port();
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(connectionProbe(socket, settings, clock));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(clock.sleeps(), std::vector<int>(10, 50));
    EXPECT_FALSE(socket.connected());
    EXPECT_LT(socket.Send(nullptr, 0), 0);
}

// The zero-byte send of the probe and the receive thread both look at a refused connect at the
// same moment; whichever looks first, the link must be reported as never made, not as made and
// then closed by the printer.
TEST_F(NetworkLink, ARefusedConnectIsNeverReportedAsMade) {
    ClosedPort closed;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(socket.Create());
        if (!socket.Connect("127.0.0.1", closed.port()))
            continue; // refused at once: nothing runs in the background
        EXPECT_LT(socket.Send(nullptr, 0), 0);
        ASSERT_TRUE(waitUntil([&] { return socket.connectFailed() || socket.peerClosed(); }));
        EXPECT_TRUE(socket.connectFailed());
        EXPECT_FALSE(socket.peerClosed());
        EXPECT_FALSE(socket.connected());
    }
}

TEST_F(NetworkLink, ReceivedBytesReachTheQueue) {
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.Connect("127.0.0.1", printer.port()));
    ASSERT_TRUE(printer.accept());
    ASSERT_TRUE(waitUntil([&] { return socket.connected(); }));
    ASSERT_TRUE(printer.send(bytes("37 27 32 34 32 1F 31 31 32 00")));
    ASSERT_TRUE(waitUntil([&] { return socket.queue().count() == 10; }));
    Bytes got;
    while (!socket.queue().empty())
        got.push_back(socket.queue().get());
    EXPECT_EQ(hex(got), "37 27 32 34 32 1F 31 31 32 00");

    // A batch not smaller than the free room is dropped with the queue message.
    for (int i = 0; i < 4090; ++i)
        socket.queue().put(0);
    ASSERT_TRUE(printer.send(bytes("01 02 03 04 05 06")));
    ASSERT_TRUE(waitUntil([&] { return !prompter.messages().empty(); }));
    EXPECT_EQ(prompter.messages()[0], catalogue.text(MsgQueueFull));
    // Further drops while the queue stays full are logged, not shown.
    ASSERT_TRUE(printer.send(bytes("01 02 03 04 05 06")));
    ASSERT_TRUE(waitUntil([&] { return logText().find("drop 2 since") != std::string::npos; }));
    EXPECT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(socket.queue().count(), 4090u);
    socket.queue().clear();
    ASSERT_TRUE(printer.send(bytes("07")));
    ASSERT_TRUE(waitUntil([&] { return socket.queue().count() == 1; }));
}

TEST_F(NetworkLink, PeerCloseClearsTheConnectedFlag) {
    ASSERT_TRUE(socket.Create());
    ASSERT_TRUE(socket.Connect("127.0.0.1", printer.port()));
    ASSERT_TRUE(printer.accept());
    ASSERT_TRUE(waitUntil([&] { return socket.connected(); }));
    EXPECT_EQ(socket.Send(nullptr, 0), 0);
    printer.closePeer();
    ASSERT_TRUE(waitUntil([&] { return !socket.connected(); }));
    EXPECT_TRUE(socket.peerClosed());
    Bytes data = bytes("1B 40");
    EXPECT_LT(socket.Send(data.data(), 2), 0);
    EXPECT_LT(socket.Send(nullptr, 0), 0);

    // The probe brings the link back while the printer still listens.
    EXPECT_TRUE(connectionProbe(socket, settings, clock));
    EXPECT_FALSE(socket.peerClosed());
}

TEST_F(NetworkLink, SendAndConnectRefuseWhatCannotWork) {
    Bytes data = bytes("1B 40");
    EXPECT_LT(socket.Send(data.data(), 2), 0); // no socket yet
    EXPECT_LT(socket.Send(nullptr, 0), 0);
    EXPECT_FALSE(socket.Connect("127.0.0.1", printer.port())); // not created
    ASSERT_TRUE(socket.Create());
    EXPECT_FALSE(socket.Connect("127.0.0.300", printer.port()));
    EXPECT_FALSE(socket.Connect("printer", printer.port()));
    EXPECT_FALSE(socket.Connect("127.0.0.1", 0));
    EXPECT_FALSE(socket.Connect("127.0.0.1", 70000));
    EXPECT_LT(socket.Send(data.data(), -1), 0);
    ASSERT_TRUE(socket.Connect("127.0.0.1", printer.port()));
    EXPECT_FALSE(socket.Connect("127.0.0.1", printer.port())); // already connecting
    socket.Close();
    EXPECT_FALSE(socket.connected());
    EXPECT_LT(socket.Send(data.data(), 2), 0);
}

TEST_F(NetworkLink, LargeSendsAreTakenWhole) {
    ASSERT_TRUE(connectionProbe(socket, settings, clock));
    ASSERT_TRUE(printer.accept());
    Bytes big(200000);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i);
    int sent = 0;
    std::thread reader([&] { EXPECT_EQ(printer.receive(big.size()), big); });
    sent = socket.Send(big.data(), static_cast<int>(big.size()));
    reader.join();
    EXPECT_EQ(sent, static_cast<int>(big.size()));
}
