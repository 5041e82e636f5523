#include "app/ModelRules.h"

#include <initializer_list>

namespace korva {

namespace {

bool startsWithAny(std::string_view s, std::initializer_list<std::string_view> prefixes) {
    for (std::string_view p : prefixes)
        if (s.starts_with(p))
            return true;
    return false;
}

} // namespace

int modelFamily(std::string_view m) {
    if (m.starts_with("KORVA10"))
        return 2;
    if (startsWithAny(m, {"KORVA20II", "HDC-61", "LOM 05II", "VK-5070"}))
        return 3;
    if (startsWithAny(m, {"KORVA20", "QAL480"}))
        return 1;
    if (m.starts_with("NRW-4600"))
        return 4;
    if (m.starts_with("KORVA30"))
        return 5;
    if (m.starts_with("KORVA40"))
        return 6;
    if (m.starts_with("K40"))
        return 4;
    if (m.starts_with("Val"))
        return 5;
    return 0;
}

int interfaceKind(std::string_view m, int family) {
    if (m.ends_with("E-II"))
        return InterfaceEthernet;
    if (m.ends_with("W"))
        return InterfaceWifi;
    if (m.ends_with("II") && family != 2)
        return InterfaceUsbPrinter;
    if (m.ends_with("P"))
        return InterfaceParallel;
    if (m.ends_with("S"))
        return InterfaceSerial;
    if (m.ends_with("-I"))
        return InterfaceUsbSerial;
    return InterfaceNone;
}

int modelKind(std::string_view m) {
    if (m.starts_with("KORVA10"))
        return ModelKindKorva10;
    if (startsWithAny(m, {"KORVA20II", "HDC-6181", "LOM 05II", "VK-5070"}))
        return ModelKindKorva20II;
    if (m.starts_with("NRW-4600"))
        return ModelKindNrw4600;
    if (startsWithAny(m, {"KORVA30", "Val"}))
        return ModelKindKorva30;
    if (m.starts_with("KORVA40"))
        return ModelKindKorva40;
    return ModelKindOther;
}

const char* usbPrinterSearchId(int family) {
    switch (family) {
    case 1:
        return "USB\\VID_5E3B&PID_0101";
    case 4:
        return "USB\\VID_5E3B&PID_3004";
    case 5:
        return "USB\\VID_5E3B&PID_3002";
    case 6:
        return "USB\\VID_5E3B&PID_3012";
    default:
        return "USB\\VID_5E3B&PID_0102";
    }
}

const char* usbPrinterOpenId(int kind) {
    switch (kind) {
    case ModelKindKorva20II:
    case ModelKindNrw4600:
        return "USB\\VID_5E3B&PID_3004";
    case ModelKindKorva30:
        return "USB\\VID_5E3B&PID_3002";
    case ModelKindKorva40:
        return "USB\\VID_5E3B&PID_3012";
    default:
        return "USB\\VID_5E3B&PID_0101";
    }
}

const char* usbPresenceSearchId(int family, int kind) {
    const std::string_view own = usbPrinterSearchId(family);
    // The KORVA40 connection falls back to the NRW-4600 id when its own is not present.
    if (own == usbPrinterOpenId(kind) ||
        (kind == ModelKindKorva40 && own == usbPrinterOpenId(ModelKindNrw4600)))
        return usbPrinterSearchId(family);
    return usbPrinterOpenId(kind);
}

const char* usbSerialPortId(int family) {
    switch (family) {
    case 4:
        return "USB\\VID_5E3B&PID_3003";
    case 6:
        return "USB\\VID_5E3B&PID_3011";
    default:
        return "USB\\VID_5E3B&PID_3001";
    }
}

std::vector<int> baudRatesOf(int family) {
    // The KORVA10 family's interface board has no 115200 clock.
    if (family == 2)
        return {38400, 19200, 9600};
    return {115200, 38400, 19200, 9600};
}

} // namespace korva
