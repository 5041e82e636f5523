#pragma once
// Why a port could not be opened, in words a person can act on: the device and the system's
// reason, and for a permission refusal what grants access.
#include "comm/PortName.h"

#include <string>

namespace korva {

// "/dev/ttyS0: Permission denied (...)"; path empty: the port name named no device.
std::string openFailureText(const std::string& path, int error, PortKind kind);

} // namespace korva
