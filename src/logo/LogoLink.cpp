#include "logo/LogoLink.h"

#include "base/Clock.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "comm/CPorts.h"
#include "network/ConnectionProbe.h"
#include "network/PrinterSocket.h"

namespace korva {

LogoPortKind logoPortKindOf(const std::string& portName) {
    if (portName == "ETHERNET_II")
        return LogoPortKind::Network;
    switch (portKindOf(portName)) {
    case PortKind::Parallel:
        return LogoPortKind::Parallel;
    case PortKind::File:
        return LogoPortKind::File;
    default:
        return LogoPortKind::Other;
    }
}

LogoLink::LogoLink(const LogoContext& context, std::string portName)
    : m_ctx(context), m_portName(std::move(portName)), m_kind(logoPortKindOf(m_portName)) {}

LogoLink::~LogoLink() {
    close();
}

bool LogoLink::open(bool closeFirst) {
    if (closeFirst)
        m_ctx.ports.Close();
    m_ctx.ports.m_PortName = m_portName;
    m_ctx.ports.m_ReceiveMode = 1;
    if (m_ctx.ports.Open() != 1)
        return false;
    m_opened = true;
    return true;
}

bool LogoLink::probe() {
    if (connectionProbe(m_ctx.socket, m_ctx.ethernet, m_ctx.clock))
        return true;
    m_ctx.socket.Close();
    return false;
}

bool LogoLink::write(const std::uint8_t* data, std::size_t length) {
    if (length == 0)
        return true;
    int written = network() ? m_ctx.socket.Send(data, static_cast<int>(length))
                            : m_ctx.ports.Write(data, static_cast<std::uint32_t>(length));
    return written > 0 && static_cast<std::size_t>(written) == length;
}

bool LogoLink::printerCheck(int waitMs) {
    if (!write(kPrinterCheck, sizeof kPrinterCheck)) {
        showMessage(MsgWriteToPortError);
        return false;
    }
    // The reply (the printer's ID) only tells that somebody listens; it is read so it cannot
    // be mistaken for a later answer, and its absence is no failure.
    const std::int64_t end = m_ctx.clock.nowMs() + waitMs;
    std::uint8_t byte = 0;
    while (m_ctx.ports.Read(&byte, 1) == 0) {
        if (m_ctx.clock.nowMs() >= end)
            break;
        m_ctx.clock.sleepMs(kPollMs);
    }
    return true;
}

void LogoLink::close() {
    if (m_opened) {
        m_ctx.ports.Close();
        m_opened = false;
    }
}

void LogoLink::closeSocket() {
    m_ctx.socket.Close();
}

void LogoLink::showMessage(int message, bool icon) {
    m_ctx.prompter.message(m_ctx.catalogue.text(message), kAppName,
                           icon ? Icon::Exclamation : Icon::None, Buttons::Ok);
}

std::string LogoLink::withOpenFailure(std::string text) const {
    if (!m_ctx.ports.m_OpenFailure.empty())
        text += "\n" + m_ctx.ports.m_OpenFailure;
    return text;
}

void LogoLink::showOpenFailure(int message) {
    m_ctx.prompter.message(withOpenFailure(m_ctx.catalogue.text(message)), kAppName,
                           Icon::Exclamation, Buttons::Ok);
}

} // namespace korva
