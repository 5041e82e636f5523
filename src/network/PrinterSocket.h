#pragma once
// The TCP link to a network printer: a non-blocking stream socket with its own receive thread.
//
// Contract:
// - Create() makes a fresh socket (closing any previous one); false when the system refuses.
// - Connect(ip, port) starts connecting to a dotted IPv4 address and starts the receive thread;
//   true when the connection is under way or made, false for a bad address, no socket, or a
//   connect refused at once. The connected flag becomes 1 when the connection completes, 0
//   when it fails; it is cleared when the peer closes the connection.
// - Send(data, length): the bytes accepted (waiting up to kSendWaitMs for room when the
//   socket's buffer is full); 0 for a zero-length send on a connected socket; a negative value
//   when nothing could be sent (no socket, connection not made or failed, peer gone). A
//   zero-length send waits at most kConnectCheckMs for a connect still under way, so it reports
//   success only when the connection really is up.
// - Received bytes are appended to queue() in batches of up to 1024; a batch not smaller than
//   the free room is dropped and catalogue entry 41 shown through the Prompter (on the receive
//   thread), once per spell of drops (QueueFullNotice).
// - Unacknowledged(): the bytes sent that the peer has not acknowledged yet (0 once all have
//   reached the printer's network stack), -1 without a connected socket.
// - Close() wakes and joins the receive thread and closes the socket; the queue keeps its bytes.
//   The destructor closes.
//
// Threads: Create, Connect, Send, Close and the queue's consumer side belong to the owner's
// thread; the receive thread is the queue's producer. connected() may be read from any thread.
#include "comm/CommQueue.h"
#include "comm/QueueFullNotice.h"
#include "comm/UniqueFd.h"
#include "comm/WakeEvent.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace korva {

class ErrorLog;
class MessageCatalogue;
class Prompter;

class PrinterSocket {
public:
    static constexpr int kReceiveChunk = 1024;
    static constexpr int kSendWaitMs = 2000;
    static constexpr int kConnectCheckMs = 20;

    PrinterSocket(ErrorLog& log, const MessageCatalogue& catalogue, Prompter& prompter);
    ~PrinterSocket();
    PrinterSocket(const PrinterSocket&) = delete;
    PrinterSocket& operator=(const PrinterSocket&) = delete;

    void Close();
    bool Create();
    bool Connect(const std::string& ip, int port);
    int Send(const std::uint8_t* data, int length);
    int Unacknowledged() const;

    bool connected() const { return m_Connected.load() != 0; }
    bool peerClosed() const { return m_PeerClosed.load(); }
    // True once the connection under way has failed (refused, unreachable, timed out).
    bool connectFailed() const { return m_ConnectFailed.load(); }
    CommQueue& queue() { return m_Queue; }

private:
    void receiveLoop(int fd);
    bool connectionUp(int waitMs);

    ErrorLog& m_Log;
    QueueFullNotice m_QueueFull;
    UniqueFd m_Socket;
    WakeEvent m_Wake;
    std::thread m_Thread;
    std::atomic<int> m_Connected{0};
    std::atomic<bool> m_PeerClosed{false};
    std::atomic<bool> m_ConnectFailed{false};
    CommQueue m_Queue;
};

} // namespace korva
