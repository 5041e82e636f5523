#include "app/ConnectionSummary.h"

#include "app/ModelRules.h"
#include "base/MessageCatalogue.h"
#include "comm/PortName.h"

namespace korva {

namespace {

const char* modelPrefix(int kind) {
    switch (kind) {
    case ModelKindKorva10:
        return "KORVA10 - ";
    case ModelKindNrw4600:
        return "KORVA40i - ";
    case ModelKindKorva40:
        return "KORVA40 - ";
    case ModelKindKorva30:
        return "KORVA30 - ";
    default:
        return "KORVA20 - ";
    }
}

} // namespace

std::string connectionSummary(const ConnectionSettings& s) {
    const std::string& port = s.m_PortName;
    // Serial device paths read like COM ports: the same six lines.
    if (portKindOf(port) == PortKind::Serial) {
        std::string text = std::string(modelPrefix(s.m_ModelKind)) + port + "\r\n";
        text += "Baud : " + std::to_string(s.m_BaudRate) + "\r\n";
        text += "Data : " + std::to_string(s.m_DataBits) + " bit\r\n";
        text += s.m_Parity == 0 ? "None Parity\r\n" : s.m_Parity == 1 ? "Odd Parity\r\n"
                                                                        : "Even Parity\r\n";
        text += s.m_FlowControl == 1   ? "H/W Flow control\r\n"
                : s.m_FlowControl == 2 ? "S/W Flow control\r\n"
                                       : "None Flow control\r\n";
        text += s.m_StopBits == 0 ? "One Stop Bit" : s.m_StopBits == 1 ? "1.5 Stop Bits"
                                                                        : "Two Stop Bits";
        return text;
    }
    if (port.starts_with("USB"))
        return kUsbSummaryText;
    return std::string(modelPrefix(s.m_ModelKind)) + port;
}

} // namespace korva
