#include "FakeDeviceTree.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace korva::test {

namespace {

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void link(const fs::path& target, const fs::path& at) {
    fs::create_directories(at.parent_path());
    std::error_code ec;
    fs::remove(at, ec);
    fs::create_symlink(target, at);
}

} // namespace

FakeDeviceTree::FakeDeviceTree() {
    m_roots.sys = m_dir.path() + "/sys";
    m_roots.dev = m_dir.path() + "/dev";
    fs::create_directories(m_roots.sys);
    fs::create_directories(m_roots.dev);
}

// Makes R/devices/usb1/1-k with the ids and returns its interface directory 1-k:1.0.
std::string FakeDeviceTree::usbDevice(const std::string& vendor, const std::string& product,
                                      const std::string& revision) {
    std::string port = "1-" + std::to_string(m_nextUsbPort++);
    fs::path device = fs::path(m_roots.sys) / "devices" / "usb1" / port;
    writeFile(device / "idVendor", vendor + "\n");
    writeFile(device / "idProduct", product + "\n");
    writeFile(device / "bcdDevice", revision + "\n");
    fs::path interface = device / (port + ":1.0");
    fs::create_directories(interface);
    return interface.string();
}

void FakeDeviceTree::addUsbPrinter(int n, const std::string& vendor, const std::string& product,
                                   const std::string& revision, const std::string& node,
                                   bool withDevName) {
    std::string name = "lp" + std::to_string(n);
    std::string interface = usbDevice(vendor, product, revision);
    // As in the kernel: the class entry is a symlink to a directory below the interface.
    fs::path real = fs::path(interface) / "usbmisc" / name;
    fs::create_directories(real);
    link(interface, real / "device");
    writeFile(real / "uevent", "MAJOR=180\nMINOR=" + std::to_string(n) + "\n" +
                                   (withDevName ? "DEVNAME=usb/" + name + "\n" : ""));
    link(real, fs::path(m_roots.sys) / "class" / "usbmisc" / name);
    if (!node.empty())
        addNode("usb/" + name, node);
}

void FakeDeviceTree::addUsbSerial(int n, const std::string& vendor, const std::string& product,
                                  const std::string& revision, const std::string& node) {
    std::string name = "ttyACM" + std::to_string(n);
    std::string interface = usbDevice(vendor, product, revision);
    fs::path entry = fs::path(m_roots.sys) / "class" / "tty" / name;
    fs::create_directories(entry);
    link(interface, entry / "device");
    fs::create_directories(fs::path(m_roots.sys) / "bus" / "usb");
    link(fs::path(m_roots.sys) / "bus" / "usb", fs::path(interface) / "subsystem");
    if (!node.empty())
        addNode(name, node);
}

void FakeDeviceTree::addTty(const std::string& name, const std::string& subsystem,
                            const std::string& node) {
    fs::path entry = fs::path(m_roots.sys) / "class" / "tty" / name;
    fs::create_directories(entry);
    if (!subsystem.empty()) {
        fs::path device = fs::path(m_roots.sys) / "devices" / subsystem / (name + "-port");
        fs::path bus = fs::path(m_roots.sys) / "bus" / subsystem;
        fs::create_directories(device);
        fs::create_directories(bus);
        link(bus, device / "subsystem");
        link(device, entry / "device");
    }
    if (!node.empty())
        addNode(name, node);
}

void FakeDeviceTree::addSerialCoreTty(const std::string& name, const std::string& hostSubsystem) {
    const fs::path sys(m_roots.sys);
    fs::path host = sys / "devices" / hostSubsystem / (name + "-host");
    fs::path controller = host / (name + "-host:0");
    fs::path port = controller / (name + "-host:0.0");
    fs::create_directories(port);
    fs::create_directories(sys / "bus" / hostSubsystem);
    fs::create_directories(sys / "bus" / "serial-base");
    link(sys / "bus" / hostSubsystem, host / "subsystem");
    link(sys / "bus" / "serial-base", controller / "subsystem");
    link(sys / "bus" / "serial-base", port / "subsystem");
    fs::path entry = sys / "class" / "tty" / name;
    fs::create_directories(entry);
    link(port, entry / "device");
}

void FakeDeviceTree::addParallel(int n) {
    fs::create_directories(fs::path(m_roots.sys) / "class" / "lp" / ("lp" + std::to_string(n)));
}

void FakeDeviceTree::addNode(const std::string& name, const std::string& target) {
    link(target, fs::path(m_roots.dev) / name);
}

void FakeDeviceTree::breakUsbId(int n, const std::string& attribute) {
    fs::path entry = fs::path(m_roots.sys) / "class" / "usbmisc" / ("lp" + std::to_string(n));
    fs::path interface = fs::canonical(entry / "device");
    fs::remove(interface.parent_path() / attribute);
}

} // namespace korva::test
