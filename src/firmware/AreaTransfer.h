#pragma once
// Streams one AreaFrame to the printer and waits for it to settle, for the window's worker and
// for korvactl alike. No reply comes back: the printer reprograms itself and switches off.
//
// Port path (serial, parallel, USB, file): 2,048-byte blocks through CPorts. A serial line's
// written bytes are drained onto the wire before the port is closed, and only unread input is
// purged. A block that makes no progress for the stall limit (kStallLimitMs) ends the transfer:
// serial with "ERROR : PRINTER IS NOT READY!" (also when the line does not drain within that
// bound), the other ports with "LPT Write Error[%d]". Then 16 settling steps of L / 10,240 ms on
// the Clock. Ethernet path: the connection probe, 4,096-byte blocks, a failed block resent at most
// kSendRetries times (kRetryPauseMs apart); then the printer must acknowledge every byte (the
// socket's send queue drains, making progress at least every kStallLimitMs, with the
// connection still up), else the transfer is incomplete; then 256 settling steps of
// L / 10,240 ms.
//
// Progress positions run to L + 20,480 (titlePercent gives the title's figure). stop, when set
// from another thread, ends the transfer between two blocks. Runs on one thread; the caller
// owns the port and must not touch it until run() returns.
#include "comm/CPorts.h"
#include "firmware/AreaFrame.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace korva {

constexpr std::uint32_t kProgressSlack = 20480;

// The title's percentage for a progress position, in unsigned 32-bit arithmetic.
inline std::uint32_t titlePercent(std::uint32_t position, std::uint32_t length) {
    return position * 100u / (length + kProgressSlack);
}

class AreaTransfer {
public:
    static constexpr std::uint32_t kPortBlock = 2048;
    static constexpr std::uint32_t kSocketBlock = 4096;
    static constexpr int kStallLimitMs = 30000;
    static constexpr int kStallPauseMs = 100;
    static constexpr int kSendRetries = 3;
    static constexpr int kRetryPauseMs = 500;
    static constexpr int kDrainPollMs = 10;
    static constexpr int kPortSettleSteps = 16;
    static constexpr int kSocketSettleSteps = 256;

    enum class Outcome {
        Done,
        PortNotOpened,
        NotReady,
        WriteError,
        PrinterCheck,
        SendFailed,
        Stopped
    };
    enum class Phase { Sending, Settling };

    using Progress = std::function<void(Phase phase, std::uint32_t position)>;

    AreaTransfer(Clock& clock, Progress progress, const std::atomic<bool>* stop = nullptr)
        : m_clock(clock), m_progress(std::move(progress)), m_stop(stop) {}

    // The port must be open (it is closed on every outcome).
    Outcome sendToPort(CPorts& ports, const AreaFrame& frame);
    // The socket is probed and connected first; closed at the end.
    Outcome sendToSocket(PrinterSocket& socket, const EthernetSettings& settings,
                         const AreaFrame& frame);

    // A shorter no-progress bound, for a printer that needs none of the real one's patience
    // (the tests' virtual printer).
    void setStallLimitMs(int ms) { m_stallLimitMs = ms; }

    std::uint32_t totalSent() const { return m_total; }
    int lastError() const { return m_error; }

    // The message for an outcome ("" for Done and Stopped, whose texts the caller words).
    std::string message(Outcome outcome, const MessageCatalogue& catalogue) const;
    static const char* incompleteText();

private:
    bool drainSocket(PrinterSocket& socket);
    void settle(std::uint32_t length, int steps, std::uint32_t base, std::uint32_t stride);
    bool stopped() const { return m_stop && m_stop->load(); }
    void report(Phase phase, std::uint32_t position) {
        if (m_progress)
            m_progress(phase, position);
    }

    Clock& m_clock;
    Progress m_progress;
    const std::atomic<bool>* m_stop;
    int m_stallLimitMs = kStallLimitMs;
    std::uint32_t m_total = 0;
    int m_error = 0;
};

} // namespace korva
