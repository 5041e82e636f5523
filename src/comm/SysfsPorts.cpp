#include "comm/SysfsPorts.h"

#include "comm/Sysfs.h"

#include <algorithm>

namespace korva {

std::vector<std::string> listSerialPorts(const DeviceRoots& roots, bool& ok) {
    std::vector<std::string> ports;
    int error = 0;
    std::string classDir = roots.sys + "/class/tty";
    std::vector<std::string> names = sysfs::listDir(classDir, ok, error);
    if (!ok)
        return ports;
    for (const std::string& name : names) {
        std::string entry = classDir + "/" + name;
        if (sysfs::resolveDir(entry + "/device").empty())
            continue; // virtual consoles, pseudo-terminals
        std::string subsystem = sysfs::resolveDir(entry + "/device/subsystem");
        std::string subsystemName = subsystem.substr(subsystem.find_last_of('/') + 1);
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

} // namespace korva
