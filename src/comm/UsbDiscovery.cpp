#include "comm/UsbDiscovery.h"

#include "base/ErrorLog.h"
#include "comm/FdIo.h"
#include "comm/PortName.h"
#include "comm/Sysfs.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace korva {

namespace {

constexpr std::size_t kHardwareIdCut = 21; // "USB\VID_xxxx&PID_xxxx"
constexpr std::size_t kMaxDevicePath = 1023;

// One id attribute: four hex digits and a newline, as the kernel writes them.
bool readIdAttribute(const std::string& path, std::string& value) {
    std::string text;
    if (!sysfs::readText(path, text))
        return false;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    if (text.size() != 4 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    value = text;
    return true;
}

bool matchesPrefix(const std::string& hardwareId, const std::string& prefix) {
    return !hardwareId.empty() && upperAscii(hardwareId).starts_with(upperAscii(prefix));
}

} // namespace

std::string usbHardwareIdOf(const std::string& interfaceDir) {
    if (interfaceDir.empty())
        return "";
    std::string usbDevice = interfaceDir.substr(0, interfaceDir.find_last_of('/'));
    std::string vendor, product, revision;
    if (usbDevice.empty() || !readIdAttribute(usbDevice + "/idVendor", vendor) ||
        !readIdAttribute(usbDevice + "/idProduct", product) ||
        !readIdAttribute(usbDevice + "/bcdDevice", revision))
        return "";
    return upperAscii("USB\\VID_" + vendor + "&PID_" + product + "&REV_" + revision);
}

UsbPrinterList listUsbPrinters(const DeviceRoots& roots) {
    UsbPrinterList list;
    std::string classDir = roots.sys + "/class/usbmisc";
    bool ok = false;
    int error = 0;
    std::vector<std::string> names = sysfs::listDir(classDir, ok, error);
    if (!ok) {
        // No usbmisc class at all means no USB printer driver is loaded: nothing present.
        list.ok = error == ENOENT || error == ENOTDIR;
        return list;
    }
    for (const std::string& name : names) {
        int n = sysfs::numberAfter(name, "lp");
        if (n < 0)
            continue; // hiddev and other misc devices share the class
        UsbPrinterInfo info;
        info.name = name;
        std::string entry = classDir + "/" + name;
        info.interfaceDir = sysfs::resolveDir(entry + "/device");
        info.hardwareId = usbHardwareIdOf(info.interfaceDir);
        std::string devName = sysfs::ueventValue(entry + "/uevent", "DEVNAME");
        if (devName.empty() || devName.find("..") != std::string::npos)
            devName = "usb/" + name;
        info.devicePath = roots.dev + "/" + devName;
        list.entries.push_back(std::move(info));
    }
    return list;
}

int OpenUsbPrinter(const DeviceRoots& roots, ErrorLog& log, const std::string& prefix,
                   std::string& devicePath, std::vector<UsbPrinterInfo>* kept) {
    if (kept)
        kept->clear();
    UsbPrinterList list = listUsbPrinters(roots);
    if (!list.ok) {
        log.Print("[Error] SetupDiGetClassDevs");
        return -1;
    }
    for (const UsbPrinterInfo& info : list.entries) {
        if (info.interfaceDir.empty()) {
            log.Print("[Error] SetupDiGetDeviceInterfaceDetail");
            return -1;
        }
        devicePath = info.devicePath.substr(0, kMaxDevicePath);
        if (info.hardwareId.empty()) {
            log.Print("[Error] SetupDiDestroyDeviceInfoList");
            return -1;
        }
        if (!matchesPrefix(info.hardwareId, prefix))
            continue;
        int fd = fdio::openRetry(devicePath.c_str(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            log.Print("CreateFile Fail [%d]", errno);
            return -1;
        }
        // A terminal standing in for the printer must pass the bytes unchanged.
        fdio::makeRawIfTerminal(fd);
        log.Print("CreateFile Success [%X]", static_cast<unsigned>(fd));
        if (kept)
            *kept = std::move(list.entries);
        return fd;
    }
    log.Print("[Error] SetupDiEnumDeviceInterfaces(%d)\r\n", ENOENT);
    return -1;
}

int CountUsbPrinters(const DeviceRoots& roots, ErrorLog& log, const std::string& prefix) {
    UsbPrinterList list = listUsbPrinters(roots);
    if (!list.ok)
        return -1;
    int count = 0;
    for (const UsbPrinterInfo& info : list.entries) {
        if (info.interfaceDir.empty()) {
            log.Print("[Error]SetupDiGetDeviceInterfaceDetail");
            return -1;
        }
        if (info.hardwareId.empty()) {
            log.Print("[Error]SetupDiGetDeviceRegistryProperty");
            return -1;
        }
        if (!matchesPrefix(info.hardwareId, prefix))
            continue;
        ++count;
        int fd =
            fdio::openRetry(info.devicePath.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) {
            log.Print("Create File error\r\n");
            break; // the device stays counted
        }
        ::close(fd);
    }
    return count > 0 ? count : -1;
}

std::string FindUsbSerialPort(const DeviceRoots& roots, ErrorLog& /*log*/,
                              const std::string& prefix) {
    bool ok = false;
    int error = 0;
    std::string classDir = roots.sys + "/class/tty";
    std::vector<std::string> names = sysfs::listDir(classDir, ok, error);
    if (!ok)
        return "";
    std::string first;
    int lowest = -1;
    for (const std::string& name : names) {
        int n = sysfs::numberAfter(name, "ttyACM");
        if (n >= 0 && (lowest < 0 || n < lowest)) {
            lowest = n;
            first = name;
        }
    }
    if (first.empty())
        return "";
    // Only the first virtual serial device counts, matched or not.
    std::string hardwareId = usbHardwareIdOf(sysfs::resolveDir(classDir + "/" + first + "/device"));
    if (hardwareId.size() <= kHardwareIdCut)
        return "";
    std::string cut = hardwareId.substr(0, kHardwareIdCut);
    std::string upperPrefix = upperAscii(prefix);
    if (!cut.starts_with(upperPrefix))
        return "";
    return roots.dev + "/" + first;
}

std::string StableDeviceName(const DeviceRoots& roots, const std::string& devicePath) {
    // By stat, not std::filesystem::equivalent, which refuses two device nodes.
    struct stat node {};
    if (stat(devicePath.c_str(), &node) != 0)
        return {};
    std::error_code ec;
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(roots.dev + "/korva", ec)) {
        struct stat link {};
        if (stat(entry.path().c_str(), &link) == 0 && link.st_dev == node.st_dev &&
            link.st_ino == node.st_ino)
            names.push_back(entry.path().string());
    }
    // Two names for one node only when udev kept an old one; the order must not depend on the
    // directory's.
    std::sort(names.begin(), names.end());
    return names.empty() ? std::string() : names.front();
}

} // namespace korva
