#pragma once
// What a port name means on Linux. The design's names stay valid ("COM3", "LPT1", "USB",
// "FILE", "ETHERNET_II"), and device paths are accepted as they stand:
//   COMn (any case)      serial, /dev/ttyS(n-1)
//   LPTn (any case)      parallel, /dev/lp(n-1)
//   LPT:/some/path       parallel, at that path (for stand-ins such as a pseudo-terminal)
//   /dev/lpN, /dev/usb/lpN, /dev/parportN   parallel
//   any other /dev/...   serial (/dev/ttyUSB0, /dev/ttyACM0, /dev/pts/7)
//   "USB", "FILE"        the USB printer-class device, an output file
//   anything else        not a port CPorts opens (ETHERNET_II and WIFI go over the network)
#include <string>
#include <string_view>

namespace korva {

enum class PortKind { Serial, Parallel, Usb, File, None };

inline std::string upperAscii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

inline bool isParallelDevicePath(std::string_view path) {
    return path.starts_with("/dev/lp") || path.starts_with("/dev/usb/lp") ||
           path.starts_with("/dev/parport");
}

inline PortKind portKindOf(std::string_view name) {
    std::string upper = upperAscii(name);
    if (upper.starts_with("COM"))
        return PortKind::Serial;
    if (upper.starts_with("LPT"))
        return PortKind::Parallel;
    if (name == "USB")
        return PortKind::Usb;
    if (name == "FILE")
        return PortKind::File;
    if (name.starts_with("/dev/"))
        return isParallelDevicePath(name) ? PortKind::Parallel : PortKind::Serial;
    return PortKind::None;
}

// The device node behind a serial or parallel port name under a /dev root ("/dev" normally,
// a temporary folder in tests); "" when the name names no device.
inline std::string devicePathOf(std::string_view name, std::string_view devRoot = "/dev") {
    std::string upper = upperAscii(name);
    auto numbered = [&](std::string_view prefix, std::string_view node) -> std::string {
        std::string digits = upper.substr(prefix.size());
        if (digits.empty() || digits.size() > 3 ||
            digits.find_first_not_of("0123456789") != std::string::npos)
            return "";
        int n = std::stoi(digits);
        if (n < 1)
            return "";
        return std::string(devRoot) + "/" + std::string(node) + std::to_string(n - 1);
    };
    if (upper.starts_with("LPT:"))
        return std::string(name.substr(4));
    if (upper.starts_with("COM"))
        return numbered("COM", "ttyS");
    if (upper.starts_with("LPT"))
        return numbered("LPT", "lp");
    if (name.starts_with("/dev/"))
        return std::string(name);
    return "";
}

} // namespace korva
