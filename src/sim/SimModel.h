#pragma once
// Who the virtual printer is: what its model name makes of it, as the printer itself knows.
// The sim links nothing but base, so it keeps its own small identity table.
#include <cstdint>
#include <string>
#include <string_view>

namespace korva {

struct SimModel {
    std::string name;
    int family = 0;                  // 1..6 as the selection screen counts them; 0 unknown
    int kind = 1;                    // ModelKind: 1 other, 2 KORVA10, 3 KORVA20II, 4 NRW-4600,
                                     // 5 KORVA30, 6 KORVA40
    std::uint16_t usbPrinterPid = 0; // product id of the printer-class interface
    std::uint16_t usbSerialPid = 0;  // product id of the virtual serial port
    std::uint8_t idByte = 0;         // the answer to GS I 1
    int nvGraphicKB = 384;           // NV graphics memory the factory setting gives

    static SimModel forName(std::string_view name);
    bool operator==(const SimModel&) const = default;
};

} // namespace korva
