// korvactl ports: what the printer and port selection screen would offer on this PC.
#include "app/DeviceTable.h"
#include "cli/CliConnection.h"
#include "cli/Commands.h"
#include "comm/UsbDiscovery.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>

namespace korva::cli {

namespace {

int runPorts(const CliOptions& options) {
    CliConnection connection(options);
    AppContext& app = connection.app();
    CPorts& ports = app.ports;

    std::vector<std::string> serial, parallel;
    ports.EnumeratePorts(0, serial);
    ports.EnumeratePorts(1, parallel);
    std::sort(serial.begin(), serial.end());
    std::sort(parallel.begin(), parallel.end());

    // The profile's DEVICELIST replaces the built-in table when it names any model; as on the
    // selection screen, its entries are read in file order up to the first empty value.
    std::vector<std::string> profileModels;
    for (const auto& [key, value] : app.profile.Entries("DEVICELIST")) {
        if (value.empty())
            break;
        profileModels.push_back(value);
    }
    DeviceListing listing;
    if (!profileModels.empty()) {
        listing.names = profileModels;
    } else {
        DiscoveryProbe probe;
        probe.hasComPort = [&] { return !serial.empty(); };
        probe.hasLptPort = [&] { return !parallel.empty(); };
        probe.findUsbSerialPort = [&](const std::string& prefix) {
            return FindUsbSerialPort(ports.roots(), app.log, prefix);
        };
        probe.countUsbPrinters = [&](const std::string& prefix) {
            return CountUsbPrinters(ports.roots(), app.log, prefix);
        };
        listing = listDevices(probe);
    }

    std::printf("models%s:\n", profileModels.empty() ? "" : " (from the profile's DEVICELIST)");
    for (std::size_t i = 0; i < listing.names.size(); ++i)
        std::printf("  %s%s\n", listing.names[i].c_str(),
                    static_cast<int>(i) == listing.preselected ? "  (preselected)" : "");
    std::printf("serial ports:%s\n", serial.empty() ? " none" : "");
    for (const std::string& p : serial)
        std::printf("  %s\n", p.c_str());
    std::printf("parallel ports:%s\n", parallel.empty() ? " none" : "");
    for (const std::string& p : parallel)
        std::printf("  %s\n", p.c_str());

    UsbPrinterList usb = listUsbPrinters(ports.roots());
    std::printf("USB printers:%s\n", usb.entries.empty() ? " none" : "");
    // The udev rule's stable name, where it made one, follows the kernel's node.
    auto withStableName = [&ports](const std::string& node) {
        std::string stable = StableDeviceName(ports.roots(), node);
        return stable.empty() ? node : node + "  " + stable;
    };
    for (const UsbPrinterInfo& p : usb.entries)
        std::printf("  %s  %s  %s\n", p.name.c_str(),
                    p.hardwareId.empty() ? "(ids unreadable)" : p.hardwareId.c_str(),
                    withStableName(p.devicePath).c_str());
    std::string acm = FindUsbSerialPort(ports.roots(), app.log, "USB\\VID_5E3B");
    std::printf("USB virtual serial port: %s\n",
                acm.empty() ? "none" : withStableName(acm).c_str());
    return 0;
}

} // namespace

void registerPortsCommand(CLI::App& app, CliContext& context) {
    CLI::App* ports =
        app.add_subcommand("ports", "What the selection screen would offer: models, ports, USB");
    ports->callback([&context] { context.exitCode = runPorts(context.options); });
}

} // namespace korva::cli
