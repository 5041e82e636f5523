#pragma once
// The sysfs tree a USB-attached printer would make, built in a folder so discovery pointed at
// it finds the virtual printer (layout: src/sim/README.md). With no folder given, a private
// temporary one is made and removed again by the destructor; a given folder is left in place.
#include <string>

#include "sim/SimModel.h"

namespace korva {

class FakeSysfs {
public:
    FakeSysfs() = default;
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    // usbNode: the printer-class pty slave; serialNode: the serial pty slave to declare as
    // ttyACM0, or "" for none.
    bool create(const std::string& dir, const SimModel& model, const std::string& usbNode,
                const std::string& serialNode, std::string& error);

    const std::string& sysRoot() const { return m_sys; }
    const std::string& devRoot() const { return m_dev; }

private:
    std::string m_root;
    std::string m_sys;
    std::string m_dev;
    bool m_private = false;
};

} // namespace korva
