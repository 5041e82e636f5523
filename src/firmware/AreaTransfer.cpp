#include "firmware/AreaTransfer.h"

#include "network/ConnectionProbe.h"

#include <algorithm>
#include <cerrno>

namespace korva {

AreaTransfer::Outcome AreaTransfer::sendToPort(CPorts& ports, const AreaFrame& frame) {
    m_total = 0;
    if (ports.m_hPort == -1)
        return Outcome::PortNotOpened;
    bool serial = ports.openedKind() == PortKind::Serial;
    const int savedPerByte = ports.m_WriteTimeoutPerByteMs;
    // One block may wait no longer than the stall bound for the line to take it.
    int perByte = std::max(1, m_stallLimitMs / static_cast<int>(kPortBlock));
    ports.m_WriteTimeoutPerByteMs = std::min(savedPerByte, perByte);
    const int savedLeast = ports.m_PrinterMinWriteWaitMs;
    ports.m_PrinterMinWriteWaitMs = std::min(savedLeast, m_stallLimitMs);
    const std::uint32_t length = frame.length();
    const std::uint8_t* data = frame.bytes().data();
    std::uint32_t sent = 0;
    Outcome outcome = Outcome::Done;
    while (sent < length && outcome == Outcome::Done) {
        if (stopped()) {
            outcome = Outcome::Stopped;
            break;
        }
        std::uint32_t block = std::min(kPortBlock, length - sent);
        std::uint32_t done = 0;
        std::int64_t lastProgress = m_clock.nowMs();
        while (done < block) {
            errno = 0;
            int n = ports.Write(data + sent + done, block - done);
            if (n > 0) {
                done += static_cast<std::uint32_t>(n);
                lastProgress = m_clock.nowMs();
                continue;
            }
            m_error = errno;
            const Outcome failed = serial ? Outcome::NotReady : Outcome::WriteError;
            // A write whose wait ran out leaves EAGAIN behind: the line is only slow. A device
            // that reports an error (unplugged, the other side gone) will not recover by
            // waiting, and a file write cut short cannot be resumed.
            bool timedOut = m_error == 0 || m_error == EAGAIN || m_error == EWOULDBLOCK;
            if (!timedOut || ports.openedKind() == PortKind::File) {
                outcome = failed;
                break;
            }
            if (m_clock.nowMs() - lastProgress >= m_stallLimitMs || stopped()) {
                outcome = stopped() ? Outcome::Stopped : failed;
                break;
            }
            m_clock.sleepMs(kStallPauseMs);
        }
        m_total += done;
        if (outcome != Outcome::Done)
            break;
        // The serial path counts whole blocks, so its last position may pass L.
        sent += serial ? kPortBlock : block;
        report(Phase::Sending, sent);
    }
    // A serial write the tty layer took is not yet on the wire: the frame counts as sent only
    // once the line has drained. A stopped frame is cut anyway; its queued bytes need no wait.
    if (outcome == Outcome::Done && !ports.Drain(m_stallLimitMs))
        outcome = Outcome::NotReady;
    ports.m_WriteTimeoutPerByteMs = savedPerByte;
    ports.m_PrinterMinWriteWaitMs = savedLeast;
    ports.Close();
    if (outcome == Outcome::Done)
        settle(length, kPortSettleSteps, sent + 1, 1280);
    return outcome;
}

AreaTransfer::Outcome AreaTransfer::sendToSocket(PrinterSocket& socket,
                                                 const EthernetSettings& settings,
                                                 const AreaFrame& frame) {
    m_total = 0;
    if (!connectionProbe(socket, settings, m_clock)) {
        socket.Close();
        return Outcome::PrinterCheck;
    }
    const std::uint32_t length = frame.length();
    const std::uint8_t* data = frame.bytes().data();
    std::uint32_t sent = 0;
    Outcome outcome = Outcome::Done;
    while (sent < length) {
        if (stopped()) {
            outcome = Outcome::Stopped;
            break;
        }
        std::uint32_t block = std::min(kSocketBlock, length - sent);
        int tries = 0;
        std::uint32_t done = 0;
        // A send that waited its bound returns what the socket took: the rest still goes.
        while (done < block) {
            int n = socket.Send(data + sent + done, static_cast<int>(block - done));
            if (n > 0) {
                done += static_cast<std::uint32_t>(n);
                continue;
            }
            if (++tries > kSendRetries || socket.peerClosed()) {
                outcome = Outcome::SendFailed;
                break;
            }
            m_clock.sleepMs(kRetryPauseMs);
        }
        if (outcome != Outcome::Done)
            break;
        sent += block;
        m_total += block;
        report(Phase::Sending, sent);
    }
    // The socket's buffer taking the bytes is not the printer getting them: a printer that
    // closes or resets the connection with part of the frame unread must not pass as done.
    if (outcome == Outcome::Done && !drainSocket(socket))
        outcome = Outcome::SendFailed;
    if (outcome == Outcome::Done)
        settle(length, kSocketSettleSteps, sent + kSocketBlock + 1, 80);
    socket.Close();
    return outcome;
}

bool AreaTransfer::drainSocket(PrinterSocket& socket) {
    std::int64_t lastProgress = m_clock.nowMs();
    int before = -1;
    for (;;) {
        int unsent = socket.Unacknowledged();
        if (unsent == 0)
            return true;
        if (unsent < 0 || socket.peerClosed())
            return false;
        if (unsent != before) {
            before = unsent;
            lastProgress = m_clock.nowMs();
        } else if (m_clock.nowMs() - lastProgress >= m_stallLimitMs) {
            return false;
        }
        m_clock.sleepMs(kDrainPollMs);
    }
}

void AreaTransfer::settle(std::uint32_t length, int steps, std::uint32_t base,
                          std::uint32_t stride) {
    int stepMs = static_cast<int>(length / 10240);
    for (int k = 0; k < steps; ++k) {
        m_clock.sleepMs(stepMs);
        report(Phase::Settling, base + stride * static_cast<std::uint32_t>(k));
    }
}

const char* AreaTransfer::incompleteText() {
    return "ERROR : Firmware transfer incomplete. The printer did not get the whole area.";
}

std::string AreaTransfer::message(Outcome outcome, const MessageCatalogue& catalogue) const {
    switch (outcome) {
    case Outcome::PortNotOpened:
        return catalogue.text(MsgPortNotOpened);
    case Outcome::NotReady:
        return catalogue.text(MsgPrinterNotReady);
    case Outcome::WriteError: {
        std::string text = catalogue.text(MsgLptWriteError);
        if (auto at = text.find("%d"); at != std::string::npos)
            text.replace(at, 2, std::to_string(m_error));
        return text;
    }
    case Outcome::PrinterCheck:
        return catalogue.text(MsgPrinterCheckError);
    case Outcome::SendFailed:
        return incompleteText();
    default:
        return "";
    }
}

} // namespace korva
