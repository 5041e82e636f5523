#pragma once
// The serial and parallel ports the kernel reports, for the port lists of the selection
// screen. Both read the sysfs root of roots and name device nodes under its dev root.
#include "comm/DeviceRoots.h"

#include <string>
#include <vector>

namespace korva {

// Device paths (D/ttyS0, D/ttyUSB0, ...) of R/class/tty entries that have a `device` link
// whose subsystem is not "platform" (the kernel's placeholder ttyS ports have one), in name
// order; a serial core port device (subsystem "serial-base") is judged by the device it
// belongs to. ok is false when R/class/tty cannot be read.
std::vector<std::string> listSerialPorts(const DeviceRoots& roots, bool& ok);

// "LPT1", "LPT2", ... for R/class/lp/lp0, lp1, ... in number order; empty when there is none.
std::vector<std::string> listParallelPorts(const DeviceRoots& roots);

} // namespace korva
