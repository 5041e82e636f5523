#pragma once
// A fake sysfs root and /dev root in a temporary folder, laid out as the kernel lays out the
// usblp, cdc_acm, serial and parallel drivers' entries. Device nodes are symlinks to whatever
// the test gives (usually a pseudo-terminal's slave side).
#include "comm/DeviceRoots.h"
#include "support/TempDir.h"

#include <string>

namespace korva::test {

class FakeDeviceTree {
public:
    FakeDeviceTree();
    const DeviceRoots& roots() const { return m_roots; }

    // R/class/usbmisc/lpN -> a USB interface whose device has the given ids (4 hex digits as
    // the kernel writes them); D/usb/lpN -> node (no node when node is empty). withDevName false
    // leaves DEVNAME out of uevent.
    void addUsbPrinter(int n, const std::string& vendor, const std::string& product,
                       const std::string& revision, const std::string& node,
                       bool withDevName = true);
    // R/class/tty/ttyACMn -> a USB interface with these ids; D/ttyACMn -> node.
    void addUsbSerial(int n, const std::string& vendor, const std::string& product,
                      const std::string& revision, const std::string& node);
    // R/class/tty/<name> with a device of the given subsystem ("" = no device link).
    void addTty(const std::string& name, const std::string& subsystem,
                const std::string& node = "");
    // R/class/tty/<name> as Linux 6.5 and later lay out a serial port: the device link leads to
    // the serial core's port device, below its controller device (both subsystem serial-base),
    // below a device of hostSubsystem ("pnp", or "platform" for the placeholder ports).
    void addSerialCoreTty(const std::string& name, const std::string& hostSubsystem);
    // R/class/lp/lpN.
    void addParallel(int n);
    // A device node symlink D/<name> -> target.
    void addNode(const std::string& name, const std::string& target);
    // Removes an id attribute of the USB device behind usbmisc lpN ("idVendor", ...).
    void breakUsbId(int n, const std::string& attribute);

private:
    std::string usbDevice(const std::string& vendor, const std::string& product,
                          const std::string& revision);

    TempDir m_dir;
    DeviceRoots m_roots;
    int m_nextUsbPort = 1;
};

} // namespace korva::test
