#pragma once
// Where the connection code looks for the kernel's device information and device nodes.
// Normally "/sys" and "/dev"; tests point both at a temporary tree (fake sysfs entries, and
// device nodes that are symlinks to pseudo-terminals).
#include <string>

namespace korva {

struct DeviceRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
};

} // namespace korva
