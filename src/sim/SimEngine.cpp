#include "sim/SimEngine.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>

#include "base/Clock.h"
#include "sim/PtyPort.h"

namespace korva {

namespace {

std::string sysError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

std::string endpointText(const sockaddr_in& a) {
    char ip[INET_ADDRSTRLEN] = "?";
    ::inet_ntop(AF_INET, &a.sin_addr, ip, sizeof ip);
    return std::string(ip) + ":" + std::to_string(ntohs(a.sin_port));
}

} // namespace

SimEngine::SimEngine(SimOptions options) : m_options(std::move(options)), m_seed(m_options.seed) {}

SimEngine::~SimEngine() {
    stop();
}

bool SimEngine::openPty(const char* name, bool usbEscape, std::string& path, std::string& error) {
    PtyPort pty;
    if (!pty.open(error)) {
        error = std::string(name) + ": " + error;
        return false;
    }
    path = pty.slavePath();
    m_links.push_back(std::make_unique<LinkChannel>(*m_core, name, pty.takeMaster(),
                                                    pty.takeSlave(), usbEscape, true, m_seed++));
    return true;
}

bool SimEngine::openTcp(std::string& error) {
    if (m_options.tcpPort > 65535 || m_options.tcpPort < -1) {
        error = "tcp port out of range: " + std::to_string(m_options.tcpPort);
        return false;
    }
    UniqueFd s(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!s.valid()) {
        error = sysError("tcp socket");
        return false;
    }
    int on = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (m_options.closeAfterBytes >= 0 || m_options.stallAfterBytes >= 0) {
        // A printer's network buffer is a few kilobytes: what it has not read, its stack has
        // not acknowledged either. Loopback's own buffer would grow to megabytes and take (and
        // acknowledge) a whole frame the printer is about to drop, so the tool could not tell.
        // Set on the listening socket, so every connection has it from its first byte.
        int size = kFaultReceiveBuffer;
        ::setsockopt(s.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(m_options.tcpPort));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = sysError("tcp bind 127.0.0.1:" + std::to_string(m_options.tcpPort));
        return false;
    }
    if (::listen(s.get(), 8) != 0) {
        error = sysError("tcp listen");
        return false;
    }
    socklen_t len = sizeof a;
    if (::getsockname(s.get(), reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        error = sysError("tcp getsockname");
        return false;
    }
    m_tcpPort = ntohs(a.sin_port);
    m_listen = std::move(s);
    return true;
}

bool SimEngine::openUdp(std::string& error) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (::inet_pton(AF_INET, m_options.udpAddress.c_str(), &a.sin_addr) != 1) {
        error = "not an IPv4 address: " + m_options.udpAddress;
        return false;
    }
    // The printer answers on loopback only, so a test can never reach a real network.
    if ((ntohl(a.sin_addr.s_addr) >> 24) != 127) {
        error = "the network record service serves loopback addresses (127.x.y.z) only: " +
                m_options.udpAddress;
        return false;
    }
    if (m_options.udpPort <= 0 || m_options.udpPort > 65535) {
        error = "udp port out of range: " + std::to_string(m_options.udpPort);
        return false;
    }
    a.sin_port = htons(static_cast<std::uint16_t>(m_options.udpPort));
    UniqueFd s(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!s.valid()) {
        error = sysError("udp socket");
        return false;
    }
    int on = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        error = sysError("udp bind " + endpointText(a));
        return false;
    }
    m_udpEndpoint = endpointText(a);
    m_udpAddress = a;
    m_udp = std::move(s);
    // A search sent to the loopback broadcast address reaches only sockets bound to it (or to
    // any address), so the printer listens there as well. Several printers may share it.
    UniqueFd b(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    sockaddr_in broadcast = a;
    broadcast.sin_addr.s_addr = htonl(0x7FFFFFFF);
    if (b.valid()) {
        ::setsockopt(b.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(b.get(), reinterpret_cast<sockaddr*>(&broadcast), sizeof broadcast) == 0)
            m_udpBroadcast = std::move(b);
    }
    return true;
}

bool SimEngine::start(std::string& error) {
    if (m_started) {
        error = "the printer was started before";
        return false;
    }
    m_started = true;
    SimModel model = SimModel::forName(m_options.model);
    if (model.family == 0) {
        error = "unknown model: " + m_options.model;
        return false;
    }
    auto fail = [&]() {
        m_links.clear();
        m_listen.reset();
        m_udp.reset();
        m_udpBroadcast.reset();
        m_sysfs.reset();
        return false;
    };
    if (m_options.tcpPort >= 0 && !openTcp(error))
        return fail();
    int netPort = m_options.netPort >= 0 ? m_options.netPort : m_tcpPort >= 0 ? m_tcpPort : 6001;
    NetConfigResponder::Config config;
    if (!PrinterCore::networkConfig(m_options, netPort, config, error))
        return fail();
    m_core = std::make_unique<PrinterCore>(m_options, netPort);

    if (m_options.serial && !openPty("serial", false, m_serialPath, error))
        return fail();
    if (m_options.parallel && !openPty("parallel", false, m_parallelPath, error))
        return fail();
    if (m_options.usb) {
        if (!openPty("usb", true, m_usbPath, error))
            return fail();
        m_sysfs = std::make_unique<FakeSysfs>();
        if (!m_sysfs->create(m_options.sysfsDir, model, m_usbPath, m_serialPath, error))
            return fail();
        m_sysRoot = m_sysfs->sysRoot();
        m_devRoot = m_sysfs->devRoot();
    }
    if (!m_options.udpAddress.empty() && !openUdp(error))
        return fail();
    m_wake.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_wake.valid()) {
        error = sysError("eventfd");
        return fail();
    }
    m_running = true;
    m_thread = std::thread([this] { loop(); });
    return true;
}

void SimEngine::stop() {
    if (!m_thread.joinable())
        return;
    m_stopping = true;
    std::uint64_t one = 1;
    ssize_t r;
    do {
        r = ::write(m_wake.get(), &one, sizeof one);
    } while (r < 0 && errno == EINTR);
    m_thread.join();
    m_running = false;
    m_listen.reset();
    m_udp.reset();
    m_udpBroadcast.reset();
    m_sysfs.reset();
}

void SimEngine::loop() {
    RealClock clock;
    std::vector<pollfd> fds;
    std::vector<LinkChannel*> polled;
    while (!m_stopping) {
        std::int64_t now = clock.nowMs();
        fds.clear();
        polled.clear();
        fds.push_back({m_wake.get(), POLLIN, 0});
        if (m_listen.valid())
            fds.push_back({m_listen.get(), POLLIN, 0});
        if (m_udp.valid())
            fds.push_back({m_udp.get(), POLLIN, 0});
        if (m_udpBroadcast.valid())
            fds.push_back({m_udpBroadcast.get(), POLLIN, 0});
        const std::size_t firstLink = fds.size();
        int timeout = 100;
        for (auto& link : m_links) {
            if (link->closed())
                continue;
            short events = 0;
            if (link->wantsRead(now))
                events |= POLLIN;
            if (link->wantsWrite(now))
                events |= POLLOUT;
            int wake = link->wakeInMs(now);
            if (wake >= 0 && wake < timeout)
                timeout = wake;
            fds.push_back({link->fd(), events, 0});
            polled.push_back(link.get());
        }
        int r = ::poll(fds.data(), fds.size(), timeout);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::lock_guard lock(m_core->mutex());
            m_core->addLinkEvent("printer", sysError("poll"));
            break;
        }
        now = clock.nowMs();
        std::size_t i = 1;
        if (m_listen.valid() && (fds[i++].revents & POLLIN))
            acceptClients(now);
        if (m_udp.valid() && (fds[i++].revents & POLLIN))
            serveUdp(m_udp.get());
        if (m_udpBroadcast.valid() && (fds[i++].revents & POLLIN))
            serveUdp(m_udpBroadcast.get());
        for (std::size_t k = 0; k < polled.size(); ++k) {
            LinkChannel* link = polled[k];
            short ev = fds[firstLink + k].revents;
            if (ev & (POLLIN | POLLHUP | POLLERR))
                link->onReadable(now);
            // Replies the read produced go out at once when they are due.
            if (link->wantsWrite(now))
                link->onWritable(now);
        }
        std::erase_if(m_links, [](const std::unique_ptr<LinkChannel>& l) { return l->closed(); });
    }
    // What had already arrived when the stop came is still the printer's to take in (a tool
    // may finish and the stop follow within a moment); the link's own pacing still holds: a
    // slow link that has spent its budget waits for the next share instead of leaving the rest
    // of the line unread.
    for (auto& link : m_links) {
        for (int pass = 0; pass < 100000 && !link->closed() && !link->stalled(); ++pass) {
            pollfd p{link->fd(), POLLIN, 0};
            if (::poll(&p, 1, 0) <= 0 || !(p.revents & POLLIN))
                break;
            std::int64_t now = clock.nowMs();
            if (!link->wantsRead(now)) {
                const int wait = link->wakeInMs(now);
                if (wait < 0)
                    break;
                clock.sleepMs(std::max(wait, 1));
                continue;
            }
            link->onReadable(now);
        }
    }
    for (auto& link : m_links)
        link->close("printer stopped");
    m_links.clear();
}

void SimEngine::acceptClients(std::int64_t nowMs) {
    (void)nowMs;
    for (;;) {
        int fd;
        do {
            fd = ::accept4(m_listen.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0)
            return; // EAGAIN: no more waiting; other errors: the next poll tries again
        int on = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        std::string name = "tcp#" + std::to_string(++m_tcpClients);
        {
            std::lock_guard lock(m_core->mutex());
            m_core->addLinkEvent(name, "connected");
        }
        m_links.push_back(std::make_unique<LinkChannel>(*m_core, name, UniqueFd(fd), UniqueFd(),
                                                        false, false, m_seed++));
    }
}

void SimEngine::serveUdp(int fd) {
    for (;;) {
        std::uint8_t buf[2048];
        sockaddr_in from{};
        socklen_t len = sizeof from;
        ssize_t got;
        do {
            got = ::recvfrom(fd, buf, sizeof buf, MSG_TRUNC, reinterpret_cast<sockaddr*>(&from),
                             &len);
        } while (got < 0 && errno == EINTR);
        if (got < 0)
            return;
        std::size_t size = static_cast<std::size_t>(got);
        std::vector<std::uint8_t> datagram(buf, buf + std::min(size, sizeof buf));
        if (size > sizeof buf) // longer than the buffer: keep its true size for the verdict
            datagram.resize(size, 0);
        std::vector<std::uint8_t> answer;
        {
            std::lock_guard lock(m_core->mutex());
            answer = m_core->network().handle(datagram, endpointText(from), !m_options.mute);
        }
        if (answer.empty())
            continue;
        std::vector<std::vector<std::uint8_t>> datagrams;
        if (answer[2] == 0x01) { // a search answer: the noise and repeats asked for go with it
            for (const std::string& kind : m_options.udpNoise)
                datagrams.push_back(noiseDatagram(kind, answer));
            for (int n = 1; n < m_options.udpAnswers; ++n)
                datagrams.push_back(answer);
        }
        datagrams.push_back(answer);
        // To the sender's port; and, when the sender used another port than the record port and
        // another address than this printer's, also to the record port at the sender's address,
        // where a tool's receiving socket listens. At this printer's own address the record port
        // is this printer's socket, which must not get its own answers.
        std::vector<sockaddr_in> targets = {from};
        if (from.sin_port != m_udpAddress.sin_port &&
            from.sin_addr.s_addr != m_udpAddress.sin_addr.s_addr) {
            sockaddr_in recordPort = from;
            recordPort.sin_port = m_udpAddress.sin_port;
            targets.push_back(recordPort);
        }
        std::size_t count = 0;
        for (const std::vector<std::uint8_t>& d : datagrams) {
            for (sockaddr_in& to : targets) {
                ssize_t sent;
                do {
                    sent = ::sendto(m_udp.get(), d.data(), d.size(), 0,
                                    reinterpret_cast<sockaddr*>(&to), sizeof to);
                } while (sent < 0 && errno == EINTR);
            }
            // A flood leaves the receiver a moment now and then, as a crowded segment would.
            if (++count % 32 == 0)
                RealClock().sleepMs(2);
        }
    }
}

std::vector<std::uint8_t> SimEngine::noiseDatagram(const std::string& kind,
                                                   const std::vector<std::uint8_t>& answer) {
    if (kind == "short")
        return std::vector<std::uint8_t>(answer.begin(), answer.begin() + 20);
    if (kind == "long") {
        std::vector<std::uint8_t> d = answer;
        d.insert(d.end(), 25, 0x55);
        return d;
    }
    std::size_t size = 1 + m_noiseRandom() % 80;
    if (size == answer.size())
        ++size;
    std::vector<std::uint8_t> d(size);
    for (std::uint8_t& b : d)
        b = static_cast<std::uint8_t>(m_noiseRandom());
    return d;
}

std::vector<std::string> SimEngine::linkLines() const {
    std::vector<std::string> lines;
    if (!m_serialPath.empty())
        lines.push_back("serial " + m_serialPath);
    if (!m_parallelPath.empty())
        lines.push_back("parallel " + m_parallelPath);
    if (!m_usbPath.empty())
        lines.push_back("usb " + m_usbPath + " sysfs " + sysRoot() + " dev " + devRoot());
    if (m_tcpPort >= 0)
        lines.push_back("tcp 127.0.0.1:" + std::to_string(m_tcpPort));
    if (!m_udpEndpoint.empty())
        lines.push_back("udp " + m_udpEndpoint);
    return lines;
}

nlohmann::json SimEngine::linksJson() const {
    return {{"serial", m_serialPath}, {"parallel", m_parallelPath}, {"usb", m_usbPath},
            {"sysRoot", sysRoot()},   {"devRoot", devRoot()},       {"tcp", m_tcpPort},
            {"udp", m_udpEndpoint}};
}

nlohmann::json SimEngine::report() const {
    if (m_core)
        return m_core->report(linksJson());
    return PrinterCore(m_options, 6001).report(linksJson());
}

} // namespace korva
