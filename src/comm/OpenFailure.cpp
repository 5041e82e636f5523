#include "comm/OpenFailure.h"

#include <cerrno>
#include <cstring>

namespace korva {

std::string openFailureText(const std::string& path, int error, PortKind kind) {
    if (path.empty())
        return "The port name names no device.";
    std::string text = "Device " + path + ": " + std::strerror(error);
    if (error == EACCES || error == EPERM) {
        const char* group = kind == PortKind::Serial ? "dialout" : "lp";
        text += ". The udev rule shipped with the program, or membership of the '" +
                std::string(group) + "' group, grants access to it.";
    } else if (error == EBUSY) {
        text += " (another program holds it).";
    } else {
        text += ".";
    }
    return text;
}

} // namespace korva
