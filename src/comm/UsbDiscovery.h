#pragma once
// Finding the printer family's USB devices through sysfs (the usblp and cdc_acm drivers).
//
// A USB printer-class interface is R/class/usbmisc/lpN (R = roots.sys). Its `device` link leads
// to the USB interface directory, whose parent holds idVendor, idProduct and bcdDevice; the
// hardware id is "USB\VID_%s&PID_%s&REV_%s" of those three values, upper-cased (e.g.
// USB\VID_5E3B&PID_3012&REV_0100). The device node is D/<DEVNAME from uevent> (D = roots.dev),
// or D/usb/lpN when uevent names none. Entries are visited in the order of N.
//
// Prefixes are compared with the upper-cased hardware id over the prefix's length, so a
// lower-case id from the kernel matches too. Error codes in log lines are errno values;
// ENOENT stands for "no more devices".
//
// All functions are safe to call from any thread; they touch only the file system and the log.
#include "comm/DeviceRoots.h"

#include <string>
#include <vector>

namespace korva {

class ErrorLog;

// One USB printer-class interface as sysfs describes it.
struct UsbPrinterInfo {
    std::string name;         // "lp0"
    std::string interfaceDir; // where the `device` link leads; "" when it does not resolve
    std::string hardwareId;   // upper case, "" when the ids could not be read
    std::string devicePath;   // the device node under the dev root
};

// The USB printer-class interfaces in N order. ok is false when R/class/usbmisc exists but
// cannot be read (a missing folder means no printer driver is loaded: an empty list).
struct UsbPrinterList {
    bool ok = true;
    std::vector<UsbPrinterInfo> entries;
};

// Reads the list. Entries whose interface cannot be resolved or whose ids cannot be read are
// kept (with interfaceDir or hardwareId empty) so callers can apply their own failure rule.
UsbPrinterList listUsbPrinters(const DeviceRoots& roots);

// The hardware id of the USB device above an interface directory (…/1-1/1-1:1.0), upper case;
// "" when idVendor, idProduct or bcdDevice is missing or not four hex digits.
std::string usbHardwareIdOf(const std::string& interfaceDir);

// Opens the first USB printer-class device whose hardware id begins with prefix, read/write and
// non-blocking. Returns the descriptor (the caller owns it) and stores the device node in
// devicePath, or returns -1 after logging why ("[Error] SetupDiEnumDeviceInterfaces(%d)\r\n" when
// no device matches, "CreateFile Fail [%d]" when the match cannot be opened, and so on). On
// success the device list is handed to *kept when kept is given (the connection keeps it until
// it closes); on failure *kept is left empty.
int OpenUsbPrinter(const DeviceRoots& roots, ErrorLog& log, const std::string& prefix,
                   std::string& devicePath, std::vector<UsbPrinterInfo>* kept = nullptr);

// Number of present matching printers (each is opened for writing and closed at once), or -1
// when there is none or the list cannot be read. Two printers with the same id give 2.
int CountUsbPrinters(const DeviceRoots& roots, ErrorLog& log, const std::string& prefix);

// The device node of the first USB virtual serial port (the lowest-numbered ttyACM under
// R/class/tty) when its USB device's hardware id, cut to 21 characters, begins with prefix;
// "" otherwise. Later ttyACM devices are never reported.
std::string FindUsbSerialPort(const DeviceRoots& roots, ErrorLog& log, const std::string& prefix);

// The stable name the printers' udev rule gives a device node: D/korva/<model>-<serial> (D =
// roots.dev) that leads to the same file as devicePath; "" when there is none (the rule is not
// installed, or the device is not one of the family's).
std::string StableDeviceName(const DeviceRoots& roots, const std::string& devicePath);

} // namespace korva
