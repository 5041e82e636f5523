#include "sim/FakeSysfs.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace korva {

namespace fs = std::filesystem;

namespace {

std::string hex4(unsigned v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "%04x\n", v & 0xFFFF);
    return buf;
}

bool writeFile(const fs::path& path, const std::string& content, std::string& error) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out) {
        error = "cannot write " + path.string();
        return false;
    }
    return true;
}

bool link(const fs::path& target, const fs::path& at, std::string& error) {
    std::error_code ec;
    fs::remove(at, ec);
    fs::create_symlink(target, at, ec);
    if (ec) {
        error = "cannot link " + at.string() + ": " + ec.message();
        return false;
    }
    return true;
}

// One USB device with its ids and its first interface; returns the interface folder.
bool usbDevice(const fs::path& sys, const std::string& port, unsigned productId,
               fs::path& interface, std::string& error) {
    fs::path device = sys / "devices/usb1" / port;
    interface = device / (port + ":1.0");
    std::error_code ec;
    fs::create_directories(interface, ec);
    fs::create_directories(sys / "bus/usb", ec);
    if (ec) {
        error = "cannot create " + interface.string() + ": " + ec.message();
        return false;
    }
    return writeFile(device / "idVendor", "5e3b\n", error) &&
           writeFile(device / "idProduct", hex4(productId), error) &&
           writeFile(device / "bcdDevice", "0100\n", error) &&
           link(sys / "bus/usb", interface / "subsystem", error);
}

} // namespace

FakeSysfs::~FakeSysfs() {
    if (m_private && !m_root.empty()) {
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
}

bool FakeSysfs::create(const std::string& dir, const SimModel& model, const std::string& usbNode,
                       const std::string& serialNode, std::string& error) {
    std::error_code ec;
    if (dir.empty()) {
        fs::path base = fs::temp_directory_path(ec);
        std::string pattern = (ec ? fs::path("/tmp") : base).string() + "/korva-sim-XXXXXX";
        if (!::mkdtemp(pattern.data())) {
            error = "cannot make a temporary folder";
            return false;
        }
        m_root = pattern;
        m_private = true;
    } else {
        fs::create_directories(dir, ec);
        if (ec) {
            error = "cannot create " + dir + ": " + ec.message();
            return false;
        }
        m_root = fs::absolute(dir, ec).lexically_normal().string();
        if (!m_root.empty() && m_root.size() > 1 && m_root.back() == '/')
            m_root.pop_back();
    }
    fs::path sys = fs::path(m_root) / "sys";
    fs::path dev = fs::path(m_root) / "dev";
    m_sys = sys.string();
    m_dev = dev.string();

    fs::path printerInterface;
    if (!usbDevice(sys, "1-1", model.usbPrinterPid, printerInterface, error))
        return false;
    fs::path lp = sys / "class/usbmisc/lp0";
    fs::create_directories(lp, ec);
    fs::create_directories(dev / "usb", ec);
    if (ec) {
        error = "cannot create the class folders: " + ec.message();
        return false;
    }
    if (!link(printerInterface, lp / "device", error) ||
        !writeFile(lp / "uevent", "MAJOR=180\nMINOR=0\nDEVNAME=usb/lp0\n", error) ||
        !link(usbNode, dev / "usb/lp0", error))
        return false;

    if (!serialNode.empty()) {
        fs::path serialInterface;
        if (!usbDevice(sys, "1-2", model.usbSerialPid, serialInterface, error))
            return false;
        fs::path tty = sys / "class/tty/ttyACM0";
        fs::create_directories(tty, ec);
        if (ec) {
            error = "cannot create " + tty.string() + ": " + ec.message();
            return false;
        }
        if (!link(serialInterface, tty / "device", error) ||
            !writeFile(tty / "uevent", "MAJOR=166\nMINOR=0\nDEVNAME=ttyACM0\n", error) ||
            !link(serialNode, dev / "ttyACM0", error))
            return false;
    }
    return true;
}

} // namespace korva
