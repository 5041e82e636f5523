#pragma once
// A bidirectional parallel port with a receive thread that reads the printer's answers on
// request, for the user setup screen on LPT ports.
//
// Contract:
// - Open(portName): "LPTn" is /dev/lp(n-1), "LPT:/path" and device paths are used as they
//   stand. Read/write, non-blocking. 1 on success (lastErrorCode 0); 0 with lastErrorText
//   "[ParPortCtl] CreateFile fail : %d" (errno) on failure. A terminal stand-in is put in raw
//   mode so bytes pass unchanged. Timeout mode is never on (timeoutMode() is false).
// - Close() stops and joins the receiver, pauses 100 ms on the Clock, closes the port; 1.
// - Write: 0 when not open. Waits up to writeWaitMs() (5000 ms) for the port to take all bytes;
//   not done by then gives 0 and no text; a failing port gives 0 with "[ParPortCtl] Write fail :
//   %d". Otherwise the count written.
// - Read (used by the receive thread): waits until bytes arrive or the receiver is stopped (on a
//   port that cannot tell when bytes wait, asking every kReadRetryMs); returns the count read,
//   0 when stopped, not open or failed ("[ParPortCtl] Read fail : %d", also logged).
// - StartReceiver starts the thread (1), or returns 1 at once when one is running; a receiver
//   that ended by itself (full ring) is joined first. StopReceiver stops and joins it (1).
//   RequestRead makes the thread perform one read (1); a request made before the thread starts
//   is kept.
// - The thread strips automatic status blocks (four bytes s0..s3 with (s0 & 0x93) == 0x10,
//   (s1 & 0x90) == 0, (s2 & 0xF0) == 0, s3 == 0x0F) from what it reads, remembering the last
//   one, and pushes every other byte into the ring. A full ring (4095 bytes) stores "Receive
//   Queue is FULL!" and ends the thread; the bytes still in the ring stay poppable.
// - PopByte: the next ring byte with status 1, or 0 with status -1 and "[ParPortCtl] Receive
//   Queue is Empty" when the ring is empty. The ring keeps its content across receiver restarts.
//
// Threads: every public operation belongs to the owner's thread (one thread); the receive thread
// is internal. lastErrorText() and lastStatus() return a snapshot taken at the call, valid until
// the owner's next call of the same function.
#include "comm/CommQueue.h"
#include "comm/UniqueFd.h"
#include "comm/WakeEvent.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace korva {

class Clock;
class ErrorLog;

class ParPortCtl {
public:
    static constexpr int kWriteWaitMs = 5000;
    static constexpr int kClosePauseMs = 100;
    static constexpr std::uint32_t kReadSize = 512;
    static constexpr int kReadRetryMs = 20;

    ParPortCtl(ErrorLog& log, Clock& clock);
    ~ParPortCtl();
    ParPortCtl(const ParPortCtl&) = delete;
    ParPortCtl& operator=(const ParPortCtl&) = delete;

    int Open(const std::string& portName);
    int Close();
    int Write(const std::uint8_t* buffer, std::uint32_t length);
    int Read(std::uint8_t* buffer, std::uint32_t capacity);
    int StartReceiver();
    int StopReceiver();
    int RequestRead();
    std::uint8_t PopByte(int& status);

    bool ringEmpty() const { return m_Ring.empty(); }
    std::uint32_t ringCount() const { return m_Ring.count(); }
    bool isOpen() const { return m_bOpen.load(); }
    bool receiverRunning() const { return m_Running.load(); }

    const std::string& lastErrorText() const;
    int lastErrorCode() const { return m_LastErrorCode.load(); }
    // The device the last Open tried (empty: the name named none). Owner's thread.
    const std::string& lastPath() const { return m_LastPath; }
    bool timeoutMode() const { return false; }
    const std::array<std::uint8_t, 4>& lastStatus() const;

    // The write wait; shorter values are for slow-line tests.
    int writeWaitMs() const { return m_WriteWaitMs; }
    void setWriteWaitMs(int ms) { m_WriteWaitMs = ms; }

    // Splits one read into ring bytes and status blocks; returns false when the ring filled up
    // (the rest of the data is dropped). Used by the receive thread.
    bool absorb(const std::uint8_t* data, std::uint32_t length);

private:
    void receiveLoop();
    void setError(int code, const std::string& text);
    void drainAfterStop();

    ErrorLog& m_Log;
    Clock& m_Clock;
    WakeEvent m_StopEvent;
    WakeEvent m_ReadRequest;
    std::thread m_Thread;
    std::atomic<bool> m_Running{false};
    // Held while the receiver decides to end on a full ring and while a start looks at
    // m_Running, so a start never counts on a receiver that has already decided to end.
    std::mutex m_RunMutex;
    UniqueFd m_Port;
    mutable std::mutex m_Mutex; // guards the error text and the last status
    std::string m_LastErrorText;
    std::atomic<int> m_LastErrorCode{0};
    std::array<std::uint8_t, 4> m_LastStatus{};
    mutable std::string m_ErrorSnapshot;
    mutable std::array<std::uint8_t, 4> m_StatusSnapshot{};
    std::atomic<bool> m_bOpen{false};
    CommQueue m_Ring;
    int m_WriteWaitMs = kWriteWaitMs;
    std::string m_LastPath;
};

} // namespace korva
