#pragma once
// The two UDP sockets of one network search or settings change, on Linux.
//
// Contract:
// - open() creates the sending socket (SO_BROADCAST) and the receiving socket (SO_REUSEADDR, so
//   another tool or the printer service on this PC holding the port does not make it fail,
//   bound to bindAddress:port). It reports each step's failure separately, because the screen
//   shows a different message for each; the cause goes to the error log, and the receiving
//   socket's (a bind address that is not this PC's, a port in use) to the caller as well.
//   Whatever failed stays closed, and later calls on it fail.
// - The destinations are the broadcast address and, with allInterfaces, the directed broadcast
//   of every IPv4 interface that is up (loopback included, point-to-point links left out), each
//   once. send() sends to every destination; true when every send went out whole.
// - receive(ms) waits at most ms for one datagram and reads it whole, whatever its length, so
//   the caller can judge a short or long one without reading past its end.
// - isOwnAddress(text): the text is one of this PC's IPv4 addresses (every interface's, read
//   with getifaddrs when the link opens, plus the bind address when it is not "any").
// One thread uses a link at a time. close() and the destructor close both sockets.
#include "comm/UniqueFd.h"
#include "network/NetConfigRecord.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace korva {

class ErrorLog;

struct NetLinkOptions {
    std::string broadcast = "255.255.255.255"; // the limited broadcast of the local segment
    bool allInterfaces = false;
    std::string bindAddress = "0.0.0.0";
    std::uint16_t port = NetConfigRecord::kUdpPort;
    int waitMs = 1000; // receive time-out
};

struct LocalInterface {
    std::string name;
    Ip4 address{};
    Ip4 mask{};
    bool up = false;
    bool loopback = false;
    bool pointToPoint = false;
};

// Every IPv4 address of this PC's interfaces; empty when they cannot be read.
std::vector<LocalInterface> localInterfaces();

// The destination addresses for these options over these interfaces, in order, each once.
std::vector<std::string> broadcastDestinations(const NetLinkOptions& options,
                                               const std::vector<LocalInterface>& interfaces);

class NetConfigLink {
public:
    struct Setup {
        bool sendSocket = false;      // the sending socket exists
        bool broadcastOption = false; // SO_BROADCAST is on
        bool receiveSocket = false;   // the receiving socket exists, is bound and reusable
        std::string receiveFailure;   // without it: the step that failed and the system's reason
        bool ok() const { return sendSocket && broadcastOption && receiveSocket; }
    };
    enum class Received { Datagram, Silence, Failed };

    explicit NetConfigLink(ErrorLog& log) : m_log(log) {}

    Setup open(const NetLinkOptions& options);
    bool send(const NetConfigRecord& record);
    Received receive(int timeoutMs, std::vector<std::uint8_t>& datagram, std::string& from);
    bool isOwnAddress(const std::string& address) const { return m_own.count(address) != 0; }
    const std::vector<std::string>& destinations() const { return m_destinations; }
    void close();

private:
    ErrorLog& m_log;
    UniqueFd m_send;
    UniqueFd m_receive;
    std::uint16_t m_port = NetConfigRecord::kUdpPort;
    std::vector<std::string> m_destinations;
    std::set<std::string> m_own;
};

} // namespace korva
