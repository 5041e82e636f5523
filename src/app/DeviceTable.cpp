#include "app/DeviceTable.h"

#include "app/ModelRules.h"

namespace korva {

using L = DeviceEntry::Listed;
using P = DeviceEntry::Preselect;

const std::array<DeviceEntry, 10> kDeviceTable = {{
    {"KORVA30U-I", 5, 3, 5, L::Always, P::IfUsbSerialPort, "USB\\VID_5E3B&PID_3001"},
    {"KORVA30U-II", 5, 4, 5, L::Always, P::IfUsbPrinter, "USB\\VID_5E3B&PID_3002", 0},
    {"KORVA30S", 5, 1, 5, L::IfComPort, P::Never, ""},
    {"KORVA30P", 5, 2, 5, L::IfLptPort, P::Never, ""},
    {"KORVA40U-I", 6, 3, 6, L::Always, P::IfUsbSerialPort, "USB\\VID_5E3B&PID_3011"},
    {"KORVA40U-II", 6, 4, 6, L::Always, P::IfUsbPrinter, "USB\\VID_5E3B&PID_3012"},
    {"KORVA40S", 6, 1, 6, L::IfComPort, P::Never, ""},
    {"KORVA40P", 6, 2, 6, L::IfLptPort, P::Never, ""},
    {"KORVA40E-II", 6, 6, 6, L::Always, P::Never, ""},
    {"KORVA40W", 6, 7, 6, L::Always, P::Never, ""},
}};

DeviceListing listDevices(const DiscoveryProbe& probe) {
    DeviceListing listing;
    int preselectedEntry = -1;
    for (std::size_t i = 0; i < kDeviceTable.size(); ++i) {
        const DeviceEntry& e = kDeviceTable[i];
        bool listed = e.listed == L::Always ||
                      (e.listed == L::IfComPort && probe.hasComPort && probe.hasComPort()) ||
                      (e.listed == L::IfLptPort && probe.hasLptPort && probe.hasLptPort());
        if (!listed)
            continue;
        listing.names.emplace_back(e.name);
        bool hit = false;
        std::string id(e.hardwareId);
        if (e.preselect == P::IfUsbSerialPort && probe.findUsbSerialPort)
            hit = !probe.findUsbSerialPort(id).empty();
        else if (e.preselect == P::IfUsbPrinter && probe.countUsbPrinters)
            hit = (e.unlessPreselected < 0 || preselectedEntry != e.unlessPreselected) &&
                  probe.countUsbPrinters(id) != -1;
        if (hit) {
            preselectedEntry = static_cast<int>(i);
            listing.preselected = static_cast<int>(listing.names.size()) - 1;
        }
    }
    return listing;
}

} // namespace korva
