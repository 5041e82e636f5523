#pragma once
// The built-in list of selectable models, with when each is listed and when it is preselected,
// as data; listDevices() applies it to what discovery found on this PC.
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct DeviceEntry {
    enum class Listed { Always, IfComPort, IfLptPort };
    enum class Preselect { Never, IfUsbSerialPort, IfUsbPrinter };

    std::string_view name;
    int family;
    int interfaceKind;
    int modelKind;
    Listed listed;
    Preselect preselect;
    std::string_view hardwareId;  // the id the preselection test looks for
    int unlessPreselected = -1;   // table number that, when already preselected, blocks this one
};

extern const std::array<DeviceEntry, 10> kDeviceTable;

// What the selection screen asks discovery while it builds the list.
struct DiscoveryProbe {
    std::function<bool()> hasComPort;
    std::function<bool()> hasLptPort;
    std::function<std::string(const std::string& prefix)> findUsbSerialPort; // "" for none
    std::function<int(const std::string& prefix)> countUsbPrinters;          // -1 for none
};

struct DeviceListing {
    std::vector<std::string> names; // in table order, unlisted entries left out
    int preselected = -1;           // index into names, -1 for none
};

// The tests run in table order; each later hit replaces an earlier one, so a KORVA40 USB
// printer wins over a KORVA30 one.
DeviceListing listDevices(const DiscoveryProbe& probe);

} // namespace korva
