#include "network/PrinterSocket.h"

#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "comm/FdIo.h"

#include <arpa/inet.h>
#include <cerrno>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>

namespace korva {

PrinterSocket::PrinterSocket(ErrorLog& log, const MessageCatalogue& catalogue, Prompter& prompter)
    : m_Log(log), m_QueueFull(log, catalogue, prompter) {}

PrinterSocket::~PrinterSocket() {
    Close();
}

void PrinterSocket::Close() {
    if (m_Thread.joinable()) {
        m_Wake.signal();
        m_Thread.join();
    }
    m_Wake.reset();
    m_Socket.reset();
    m_Connected = 0;
    m_PeerClosed = false;
    m_ConnectFailed = false;
}

bool PrinterSocket::Create() {
    Close();
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        m_Log.Print("PrinterSocket::Create() socket failed [%d]", errno);
        return false;
    }
    m_Socket.reset(fd);
    return true;
}

bool PrinterSocket::Connect(const std::string& ip, int port) {
    if (!m_Socket || m_Thread.joinable())
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (port < 1 || port > 65535 || ::inet_pton(AF_INET, ip.c_str(), &address.sin_addr) != 1) {
        m_Log.Print("PrinterSocket::Connect() bad address %s:%d", ip.c_str(), port);
        return false;
    }
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    // Not retried on EINTR: the connect then goes on in the background, like EINPROGRESS.
    int r = ::connect(m_Socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
    if (r != 0 && errno != EINPROGRESS && errno != EINTR) {
        m_Log.Print("PrinterSocket::Connect() connect failed [%d]", errno);
        m_ConnectFailed = true;
        return false;
    }
    if (!m_Wake.valid()) {
        m_Log.Print("PrinterSocket::Connect() no wake event");
        return false;
    }
    m_Wake.reset();
    try {
        m_Thread = std::thread(&PrinterSocket::receiveLoop, this, m_Socket.get());
    } catch (const std::system_error& error) {
        m_Log.Print("PrinterSocket::Connect() receive thread failed [%d]", error.code().value());
        return false;
    }
    return true;
}

bool PrinterSocket::connectionUp(int waitMs) {
    if (!m_Socket || m_PeerClosed || m_ConnectFailed)
        return false;
    int fd = m_Socket.get();
    int revents = fdio::waitFor(fd, POLLOUT, waitMs);
    if (revents <= 0 || !(revents & POLLOUT))
        return false;
    // Only a made connection has a peer. SO_ERROR is not read here: reading it clears it, and
    // the receive thread needs it to tell a refused connect from a made one.
    sockaddr_in peer{};
    socklen_t peerSize = sizeof peer;
    return ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) == 0;
}

int PrinterSocket::Send(const std::uint8_t* data, int length) {
    if (!m_Socket || length < 0 || (length > 0 && data == nullptr))
        return -1;
    if (length == 0)
        return connectionUp(kConnectCheckMs) ? 0 : -1;
    if (m_PeerClosed || m_ConnectFailed)
        return -1;
    fdio::WriteResult result;
    int fd = m_Socket.get();
    auto total = static_cast<std::size_t>(length);
    // send() rather than write(): a vanished peer must give EPIPE, not kill the program.
    while (result.written < total) {
        ssize_t n = ::send(fd, data + result.written, total - result.written, MSG_NOSIGNAL);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result.error = errno;
            break;
        }
        int revents = fdio::waitFor(fd, POLLOUT, kSendWaitMs);
        if (revents <= 0) {
            result.timedOut = true;
            break;
        }
    }
    if (result.written > 0)
        return static_cast<int>(result.written);
    if (result.error != 0)
        m_Log.Print("PrinterSocket::Send() failed [%d]", result.error);
    return -1;
}

int PrinterSocket::Unacknowledged() const {
    int queued = 0;
    if (!m_Socket || ::ioctl(m_Socket.get(), SIOCOUTQ, &queued) != 0)
        return -1;
    return queued;
}

void PrinterSocket::receiveLoop(int fd) {
    bool connecting = true;
    std::uint8_t buffer[kReceiveChunk];
    for (;;) {
        short events = static_cast<short>(POLLIN | (connecting ? POLLOUT : 0));
        bool woken = false;
        int revents = fdio::waitFor(fd, events, -1, m_Wake.fd(), &woken);
        if (woken || revents < 0)
            return;
        if (connecting && (revents & (POLLOUT | POLLERR | POLLHUP))) {
            connecting = false;
            int error = 0;
            socklen_t size = sizeof error;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
                error = errno;
            // A send on the owner's thread may have taken the pending error already; a socket
            // without a peer has not connected either way.
            sockaddr_in peer{};
            socklen_t peerSize = sizeof peer;
            if (error == 0 && ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerSize) != 0)
                error = errno;
            if (error != 0) {
                m_Connected = 0;
                m_ConnectFailed = true;
                return; // nothing will arrive on a connection that was never made
            }
            m_Connected = 1;
        }
        if (revents & (POLLIN | POLLHUP | POLLERR)) {
            ssize_t n;
            do {
                n = ::recv(fd, buffer, sizeof buffer, 0);
            } while (n < 0 && errno == EINTR);
            if (n > 0) {
                if (static_cast<std::uint32_t>(n) >= m_Queue.freeRoom()) {
                    m_QueueFull.dropped(static_cast<std::uint32_t>(n));
                } else {
                    for (ssize_t i = 0; i < n; ++i)
                        m_Queue.put(buffer[i]);
                    m_QueueFull.accepted();
                }
                continue;
            }
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                continue;
            // End of stream or a reset: the printer closed the connection.
            m_PeerClosed = true;
            m_Connected = 0;
            return;
        }
    }
}

} // namespace korva
