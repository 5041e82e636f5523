#include "comm/SysfsPorts.h"

#include "comm/PortName.h"
#include "comm/Sysfs.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <string_view>

namespace korva {

namespace {

// The name of a device directory's subsystem ("pnp", "platform"); "" when it has none.
std::string subsystemOf(const std::string& deviceDir) {
    if (deviceDir.empty())
        return "";
    std::string subsystem = sysfs::resolveDir(deviceDir + "/subsystem");
    return subsystem.empty() ? "" : subsystem.substr(subsystem.find_last_of('/') + 1);
}

} // namespace

std::vector<std::string> listSerialPorts(const DeviceRoots& roots, bool& ok) {
    std::vector<std::string> ports;
    int error = 0;
    std::string classDir = roots.sys + "/class/tty";
    std::vector<std::string> names = sysfs::listDir(classDir, ok, error);
    if (!ok)
        return ports;
    for (const std::string& name : names) {
        std::string entry = classDir + "/" + name;
        std::string device = sysfs::resolveDir(entry + "/device");
        if (device.empty())
            continue; // virtual consoles, pseudo-terminals
        // Since Linux 6.5 a serial port's device is the serial core's port device (subsystem
        // serial-base), below its controller device, below the hardware: the kernel's
        // placeholder ports only show as such two levels up, under the platform device.
        std::string subsystemName = subsystemOf(device);
        for (int level = 0; level < 4 && subsystemName == "serial-base"; ++level) {
            device = device.substr(0, device.find_last_of('/'));
            subsystemName = subsystemOf(device);
        }
        if (subsystemName == "platform")
            continue;
        ports.push_back(roots.dev + "/" + name);
    }
    return ports;
}

std::vector<std::string> listParallelPorts(const DeviceRoots& roots) {
    std::vector<std::string> ports;
    bool ok = false;
    int error = 0;
    std::vector<std::string> names = sysfs::listDir(roots.sys + "/class/lp", ok, error);
    std::vector<int> numbers;
    for (const std::string& name : names) {
        int n = sysfs::numberAfter(name, "lp");
        if (n >= 0)
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    for (int n : numbers)
        ports.push_back("LPT" + std::to_string(n + 1));
    return ports;
}

std::string realDeviceNode(const std::string& path) {
    if (path.starts_with("/dev/") || path.find('/') == std::string::npos ||
        upperAscii(path).starts_with("LPT:"))
        return path;
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved) || !std::string_view(resolved).starts_with("/dev/"))
        return path;
    return resolved;
}

} // namespace korva
