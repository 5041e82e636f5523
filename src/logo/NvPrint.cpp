#include "logo/NvPrint.h"

#include "app/ModelRules.h"
#include "base/Clock.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "logo/LogoOptions.h"
#include "logo/NvSelection.h"
#include "network/PrinterSocket.h"

#include <cstdio>

namespace korva {

NvPrint::NvPrint(const LogoContext& context, const LogoOptions& options, TimerHost& timers,
                 std::string portName)
    : m_ctx(context), m_options(options), m_timers(timers), m_portName(portName),
      m_link(context, std::move(portName)) {}

NvPrint::~NvPrint() {
    m_timers.kill(kTimerId);
}

std::string NvPrint::printerName() const {
    return m_ctx.modelKind == ModelKindKorva10 ? "KORVA10" : "KORVA";
}

bool NvPrint::printEnabled() const {
    if (m_link.network())
        return true;
    PortKind kind = portKindOf(m_portName);
    return kind == PortKind::Serial || kind == PortKind::Parallel || kind == PortKind::Usb;
}

std::vector<std::uint8_t> NvPrint::imageCommand(int number, int quality, bool header, bool star) {
    std::vector<std::uint8_t> out;
    if (header) {
        char text[32];
        int n = std::snprintf(text, sizeof text, "--- Logo %d ---\n", number);
        out.assign(text, text + n);
    }
    if (star)
        out.push_back(0x1B);
    out.insert(out.end(),
               {0x1C, 0x70, static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(quality)});
    return out;
}

bool NvPrint::prepare() {
    switch (m_link.kind()) {
    case LogoPortKind::Network:
        if (!m_link.probe()) {
            m_link.showMessage(MsgPortOpenError);
            return false;
        }
        return true;
    case LogoPortKind::Parallel:
        if (!m_link.open(false)) {
            m_link.showOpenFailure(MsgPortOpenError);
            return false;
        }
        return m_link.printerCheck();
    case LogoPortKind::File:
    case LogoPortKind::Other:
        break;
    }
    if (!m_link.open(false)) {
        m_link.showOpenFailure(MsgPortOpenError);
        return false;
    }
    if (!m_link.printerCheck())
        return false;
    if (!m_link.write(LogoLink::kInitialise, sizeof LogoLink::kInitialise)) {
        m_link.showMessage(MsgWriteToPortError);
        return false;
    }
    return true;
}

bool NvPrint::print() {
    m_invalid = false;
    m_numbers.clear();
    if (range == Selection) {
        NvSelection parsed;
        // Checked before the port is touched, so a mistyped selection sends nothing at all.
        if (!parseNvSelection(selection, parsed)) {
            m_invalid = true;
            m_link.showMessage(MsgNvImageNumberIncorrect);
            return false;
        }
        m_numbers = parsed.numbers();
    } else {
        for (int n = 1; n <= kAllImages; ++n)
            m_numbers.push_back(n);
    }
    if (!prepare()) {
        close();
        return false;
    }
    m_open = true;
    m_count = 0;
    m_cancel = m_error = m_closed = false;
    m_view = NvPrintView{};
    m_view.rangeMax = total();
    m_timers.start(kTimerId, kTickMs);
    return true;
}

void NvPrint::onTimer(int id) {
    if (id != kTimerId || m_closed)
        return;
    if (m_cancel)
        return;
    if (m_count >= total()) {
        m_timers.kill(kTimerId);
        m_ctx.clock.sleepMs(kFinishPauseMs);
        m_closed = true;
        return;
    }
    const int number = m_numbers[static_cast<std::size_t>(m_count)];
    if (!m_link.write(imageCommand(number, quality, header, m_options.starEmulation))) {
        m_timers.kill(kTimerId);
        m_error = true;
        m_link.showMessage(MsgCannotTransmit);
        m_closed = true;
        return;
    }
    ++m_count;
    m_view.position = m_count;
    char text[32];
    std::snprintf(text, sizeof text, "Printing... %d/255", m_count);
    m_view.text = text;
    if (m_progress)
        m_progress();
}

void NvPrint::cancel() {
    m_cancel = true;
    m_timers.kill(kTimerId);
    m_closed = true;
}

void NvPrint::cancelMode() {
    if (!m_error)
        m_cancel = true;
    m_timers.kill(kTimerId);
    m_closed = true;
}

void NvPrint::close() {
    m_link.close();
    if (m_link.network())
        m_link.closeSocket();
}

void NvPrint::end() {
    if (!m_open)
        return;
    m_open = false;
    // The socket stays connected for the next job, as the network tools expect.
    m_link.close();
}

} // namespace korva
