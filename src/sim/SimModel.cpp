#include "sim/SimModel.h"

#include <initializer_list>

namespace korva {

namespace {

bool startsWithAny(std::string_view s, std::initializer_list<std::string_view> prefixes) {
    for (std::string_view p : prefixes)
        if (s.starts_with(p))
            return true;
    return false;
}

int familyOf(std::string_view m) {
    if (m.starts_with("KORVA10"))
        return 2;
    if (startsWithAny(m, {"KORVA20II", "HDC-61", "LOM 05II", "VK-5070"}))
        return 3;
    if (startsWithAny(m, {"KORVA20", "QAL480"}))
        return 1;
    if (startsWithAny(m, {"NRW-4600", "K40"}))
        return 4;
    if (startsWithAny(m, {"KORVA30", "Val"}))
        return 5;
    if (m.starts_with("KORVA40"))
        return 6;
    return 0;
}

int kindOf(std::string_view m) {
    if (m.starts_with("KORVA10"))
        return 2;
    if (startsWithAny(m, {"KORVA20II", "HDC-6181", "LOM 05II", "VK-5070"}))
        return 3;
    if (m.starts_with("NRW-4600"))
        return 4;
    if (startsWithAny(m, {"KORVA30", "Val"}))
        return 5;
    if (m.starts_with("KORVA40"))
        return 6;
    return 1;
}

} // namespace

SimModel SimModel::forName(std::string_view name) {
    SimModel m;
    m.name = std::string(name);
    m.family = familyOf(name);
    m.kind = kindOf(name);
    // The ids the tools search for by family (printer class) and for the virtual serial port.
    switch (m.family) {
    case 1:
    case 2: // the KORVA10 class is opened by the family-1 id; the printer answers to that one
        m.usbPrinterPid = 0x0101;
        break;
    case 3: // the KORVA20II class is opened by the NRW-4600 id; the printer answers to that one
    case 4:
        m.usbPrinterPid = 0x3004;
        break;
    case 5:
        m.usbPrinterPid = 0x3002;
        break;
    case 6:
        m.usbPrinterPid = 0x3012;
        break;
    default:
        m.usbPrinterPid = 0x0102;
        break;
    }
    m.usbSerialPid = m.family == 4 ? 0x3003 : m.family == 6 ? 0x3011 : 0x3001;
    switch (m.kind) {
    case 2:
        m.idByte = 0x10;
        break;
    case 3:
        m.idByte = 0x21;
        break;
    case 4:
        m.idByte = 0x46;
        break;
    case 5:
        m.idByte = 0x30;
        break;
    case 6:
        m.idByte = 0x40;
        break;
    default:
        m.idByte = 0x20;
        break;
    }
    m.nvGraphicKB = m.kind == 5 ? 128 : 384;
    return m;
}

} // namespace korva
