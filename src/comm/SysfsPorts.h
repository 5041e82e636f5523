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

// A device node found under another device root (a test tree, a demo printer's) is a symlink
// to the real device; the connection knows serial devices by their /dev path, so such a node
// is named by what it leads to when that lies in /dev. Anything else (paths under /dev, names
// such as COM3 or LPT:/path, nodes that do not resolve) is returned unchanged.
std::string realDeviceNode(const std::string& path);

// "LPT1", "LPT2", ... for R/class/lp/lp0, lp1, ... in number order; empty when there is none.
std::vector<std::string> listParallelPorts(const DeviceRoots& roots);

} // namespace korva
