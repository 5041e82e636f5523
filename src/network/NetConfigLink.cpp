#include "network/NetConfigLink.h"

#include "base/ErrorLog.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

namespace korva {

namespace {

Ip4 quadOf(const sockaddr* a) {
    Ip4 q{};
    if (a && a->sa_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(a);
        std::memcpy(q.data(), &in->sin_addr.s_addr, 4);
    }
    return q;
}

bool toSockaddr(const std::string& text, std::uint16_t port, sockaddr_in& out) {
    out = sockaddr_in{};
    out.sin_family = AF_INET;
    out.sin_port = htons(port);
    return ::inet_pton(AF_INET, text.c_str(), &out.sin_addr) == 1;
}

} // namespace

std::vector<LocalInterface> localInterfaces() {
    std::vector<LocalInterface> found;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return found;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET)
            continue;
        LocalInterface li;
        li.name = i->ifa_name ? i->ifa_name : "";
        li.address = quadOf(i->ifa_addr);
        li.mask = quadOf(i->ifa_netmask);
        li.up = (i->ifa_flags & IFF_UP) != 0;
        li.loopback = (i->ifa_flags & IFF_LOOPBACK) != 0;
        li.pointToPoint = (i->ifa_flags & IFF_POINTOPOINT) != 0;
        found.push_back(li);
    }
    ::freeifaddrs(list);
    return found;
}

std::vector<std::string> broadcastDestinations(const NetLinkOptions& options,
                                               const std::vector<LocalInterface>& interfaces) {
    std::vector<std::string> out{options.broadcast};
    if (options.allInterfaces) {
        for (const LocalInterface& i : interfaces) {
            if (!i.up || i.pointToPoint)
                continue;
            std::string b = dottedText(directedBroadcast(i.address, i.mask));
            if (std::find(out.begin(), out.end(), b) == out.end())
                out.push_back(b);
        }
    }
    return out;
}

NetConfigLink::Setup NetConfigLink::open(const NetLinkOptions& options) {
    close();
    Setup setup;
    m_port = options.port;
    std::vector<LocalInterface> interfaces = localInterfaces();
    for (const LocalInterface& i : interfaces)
        m_own.insert(dottedText(i.address));
    if (options.bindAddress != "0.0.0.0")
        m_own.insert(options.bindAddress);
    m_destinations = broadcastDestinations(options, interfaces);

    m_send.reset(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    setup.sendSocket = m_send.valid();
    if (!setup.sendSocket) {
        m_log.Print("NetConfigLink: socket() failed: %s", std::strerror(errno));
    } else {
        int on = 1;
        setup.broadcastOption =
            ::setsockopt(m_send.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
        if (!setup.broadcastOption)
            m_log.Print("NetConfigLink: SO_BROADCAST failed: %s", std::strerror(errno));
        // A chosen local address is the source of what is sent as well, so the printers answer
        // to the address the receiving socket listens on.
        sockaddr_in local{};
        if (options.bindAddress != "0.0.0.0" && toSockaddr(options.bindAddress, 0, local) &&
            ::bind(m_send.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0)
            m_log.Print("NetConfigLink: bind %s (sending) failed: %s", options.bindAddress.c_str(),
                        std::strerror(errno));
    }

    auto receiveFailed = [&](std::string what) {
        setup.receiveFailure = std::move(what);
        m_log.Print("NetConfigLink: %s", setup.receiveFailure.c_str());
        return setup;
    };
    sockaddr_in bindTo{};
    if (!toSockaddr(options.bindAddress, options.port, bindTo))
        return receiveFailed("not an IPv4 address: " + options.bindAddress);
    UniqueFd r(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!r.valid())
        return receiveFailed(std::string("socket() (receiving) failed: ") + std::strerror(errno));
    int on = 1;
    if (::setsockopt(r.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return receiveFailed(std::string("SO_REUSEADDR failed: ") + std::strerror(errno));
    // Room for a burst of answers from a crowded segment (the system caps the size).
    int room = 1 << 20;
    ::setsockopt(r.get(), SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    if (::bind(r.get(), reinterpret_cast<sockaddr*>(&bindTo), sizeof bindTo) != 0)
        return receiveFailed("bind " + options.bindAddress + ":" + std::to_string(options.port) +
                             " failed: " + std::strerror(errno));
    m_receive = std::move(r);
    setup.receiveSocket = true;
    return setup;
}

bool NetConfigLink::send(const NetConfigRecord& record) {
    if (!m_send.valid())
        return false;
    bool all = true;
    for (const std::string& to : m_destinations) {
        sockaddr_in a{};
        if (!toSockaddr(to, m_port, a)) {
            m_log.Print("NetConfigLink: not an IPv4 address: %s", to.c_str());
            all = false;
            continue;
        }
        ssize_t sent;
        do {
            sent = ::sendto(m_send.get(), record.bytes().data(), record.bytes().size(), 0,
                            reinterpret_cast<sockaddr*>(&a), sizeof a);
        } while (sent < 0 && errno == EINTR);
        if (sent != static_cast<ssize_t>(record.bytes().size())) {
            m_log.Print("NetConfigLink: sendto %s:%u failed: %s", to.c_str(), m_port,
                        sent < 0 ? std::strerror(errno) : "short send");
            all = false;
        }
    }
    return all;
}

NetConfigLink::Received NetConfigLink::receive(int timeoutMs, std::vector<std::uint8_t>& datagram,
                                               std::string& from) {
    if (!m_receive.valid())
        return Received::Failed;
    pollfd p{m_receive.get(), POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&p, 1, timeoutMs < 0 ? 0 : timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0) {
        m_log.Print("NetConfigLink: poll failed: %s", std::strerror(errno));
        return Received::Failed;
    }
    if (ready == 0)
        return Received::Silence;
    // The true length first (MSG_PEEK | MSG_TRUNC), then the datagram whole.
    std::uint8_t probe = 0;
    ssize_t size;
    do {
        size = ::recv(m_receive.get(), &probe, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    } while (size < 0 && errno == EINTR);
    if (size < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return Received::Silence;
        m_log.Print("NetConfigLink: recv failed: %s", std::strerror(errno));
        return Received::Failed;
    }
    datagram.assign(static_cast<std::size_t>(size) + 1, 0);
    sockaddr_in sender{};
    socklen_t length = sizeof sender;
    ssize_t got;
    do {
        got = ::recvfrom(m_receive.get(), datagram.data(), datagram.size(), MSG_DONTWAIT,
                         reinterpret_cast<sockaddr*>(&sender), &length);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        m_log.Print("NetConfigLink: recvfrom failed: %s", std::strerror(errno));
        return Received::Failed;
    }
    datagram.resize(static_cast<std::size_t>(got));
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text);
    from = text;
    return Received::Datagram;
}

void NetConfigLink::close() {
    m_send.reset();
    m_receive.reset();
    m_destinations.clear();
    m_own.clear();
}

} // namespace korva
