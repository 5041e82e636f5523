#include "cli/CliConnection.h"

#include "app/ConnectionSummary.h"
#include "app/ModelRules.h"
#include "base/FileVersion.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "comm/PortName.h"
#include "comm/SysfsPorts.h"
#include "comm/UsbDiscovery.h"
#include "network/NetConfigRecord.h"
#include "network/NetworkLinkScreen.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace korva::cli {

namespace {

constexpr int kUsbSearchTries = 16;
constexpr int kUsbSearchPauseMs = 250;

} // namespace

std::uint16_t CliConnection::languageFrom(const std::string& option) {
    return systemLanguageId([&option](const char* name) -> const char* {
        if (!option.empty() && std::string(name) == "KORVASET_LANGID")
            return option.c_str();
        return std::getenv(name);
    });
}

namespace {

int pauseScaleFromEnvironment() {
    const char* text = std::getenv("KORVACTL_PAUSE_SCALE");
    int scale = text ? std::atoi(text) : 1;
    return scale >= 1 && scale <= 1000 ? scale : 1;
}

} // namespace

CliConnection::CliConnection(const CliOptions& options)
    : m_options(options), m_langId(languageFrom(options.lang)),
      m_pauseClock(m_clock, pauseScaleFromEnvironment()), m_prompter(options.yes) {
    m_app = std::make_unique<AppContext>(m_clock, m_prompter, m_langId,
                                         DeviceRoots{options.sysRoot, options.devRoot});
    m_app->openErrorLog(currentFileVersion());
}

void CliConnection::show(int message) {
    m_prompter.inform(m_app->catalogue.text(message), Icon::Exclamation);
}

bool CliConnection::refuse(int message) {
    show(message);
    m_commandLineRefused = true;
    return false;
}

std::string CliConnection::summary() const {
    return connectionSummary(m_app->ports);
}

bool CliConnection::choose() {
    const std::string& model = m_options.model;
    int family = modelFamily(model);
    if (family == 0) {
        show(MsgInvalidDevice);
        return false;
    }
    int kind = interfaceKind(model, family);
    CPorts& ports = m_app->ports;
    ports.m_ModelKind = modelKind(model);

    const std::string& port = m_options.port;
    if (port.empty())
        return chooseDefaultPort(family, kind);
    if (port.starts_with("FILE:")) {
        std::string name = port.substr(5);
        if (name.empty()) {
            return refuse(MsgInputOutputFileName);
        }
        ports.m_PortName = "FILE";
        m_prompter.setInputAnswer(name);
        return true;
    }
    if (port == "FILE") {
        ports.m_PortName = "FILE";
        return true;
    }
    if (port == "USB") {
        if (!searchUsbPrinter(family))
            return false;
        ports.m_PortName = "USB";
        return true;
    }
    if (port == "ETHERNET_II" || port == "WIFI") {
        if (!NetworkLinkScreen::portAllowed(m_options.tcpPort)) {
            return refuse(MsgPortRange);
        }
        Ip4 address{};
        if (!parseDotted(m_options.ip, address)) {
            std::fprintf(stderr,
                         "korvactl: --ip %s is not an IPv4 address (four numbers from 0 to 255, "
                         "such as 192.168.0.100)\n",
                         m_options.ip.c_str());
            m_commandLineRefused = true;
            return false;
        }
        EthernetSettings& net = m_app->ethernet;
        // The plain dotted form, which the socket takes (no blanks, no leading zeros).
        net.ipAddress = dottedText(address);
        net.port = net.acceptedPort = m_options.tcpPort;
        ports.m_PortName = "ETHERNET_II";
        return true;
    }
    // A node outside /dev (a symlink, a test or demo tree) is known by the device it leads to.
    const std::string node = realDeviceNode(port);
    const PortKind portKind = portKindOf(node);
    // COM0, LPT0, LPTX name no device: said here, not as a failed open of a port.
    if ((portKind == PortKind::Serial || portKind == PortKind::Parallel) &&
        !devicePathOf(node).empty()) {
        ports.m_PortName = node;
        return portKind == PortKind::Serial ? chooseSerialParameters(family) : true;
    }
    std::fprintf(stderr,
                 "korvactl: --port %s is not a port name (COMn or LPTn numbered from 1, "
                 "LPT:/path, a device path, USB, ETHERNET_II or FILE:NAME)\n",
                 port.c_str());
    m_commandLineRefused = true;
    return false;
}

bool CliConnection::chooseDefaultPort(int family, int kind) {
    CPorts& ports = m_app->ports;
    std::vector<std::string> found;
    switch (kind) {
    case InterfaceEthernet:
    case InterfaceWifi: {
        CliOptions o = m_options;
        m_options.port = "ETHERNET_II";
        bool ok = choose();
        m_options = o;
        return ok;
    }
    case InterfaceUsbPrinter:
        if (!searchUsbPrinter(family))
            return false;
        ports.m_PortName = "USB";
        return true;
    case InterfaceParallel:
        if (ports.EnumeratePorts(1, found) <= 0) {
            show(MsgNoLptPort);
            return false;
        }
        ports.m_PortName = found.front();
        return true;
    case InterfaceSerial:
    case InterfaceUsbSerial: {
        if (kind == InterfaceSerial) {
            ports.EnumeratePorts(0, found);
        } else {
            std::string p = FindUsbSerialPort(ports.roots(), m_app->log, usbSerialPortId(family));
            if (!p.empty())
                found.push_back(p);
        }
        if (found.empty()) {
            show(MsgNoComPort);
            return false;
        }
        // Discovery under another --dev root names symlinks the connection cannot take.
        for (std::string& name : found)
            name = realDeviceNode(name);
        std::sort(found.begin(), found.end());
        ports.m_PortName = found.front();
        return chooseSerialParameters(family);
    }
    default:
        show(MsgInvalidDevice);
        return false;
    }
}

bool CliConnection::searchUsbPrinter(int family) {
    const std::string id = usbPresenceSearchId(family, m_app->ports.m_ModelKind);
    int count = -1;
    for (int i = 0; i < kUsbSearchTries; ++i) {
        count = CountUsbPrinters(m_app->ports.roots(), m_app->log, id);
        if (count != -1)
            break;
        if (i + 1 < kUsbSearchTries)
            m_clock.sleepMs(kUsbSearchPauseMs);
    }
    if (count == -1) {
        show(MsgTurnOnUsbPrinter);
        return false;
    }
    if (count >= 2) {
        show(MsgOnlyOneDevice);
        return false;
    }
    return true;
}

bool CliConnection::chooseSerialParameters(int family) {
    CPorts& ports = m_app->ports;
    const CliOptions& o = m_options;
    // Each refusal below is of a value given on the command line (status 2).
    // No --baud: the model's first list item, as the screen preselects it.
    const std::vector<int> rates = baudRatesOf(family);
    const int baud = o.baud == 0 ? rates.front() : o.baud;
    if (std::find(rates.begin(), rates.end(), baud) == rates.end()) {
        std::string list;
        for (int rate : rates)
            list += (list.empty() ? "" : ", ") + std::to_string(rate);
        m_prompter.inform(std::string(m_app->catalogue.text(MsgBaudNotSelected)) + "\n" + o.model +
                              " takes " + list + ".",
                          Icon::Exclamation);
        m_commandLineRefused = true;
        return false;
    }
    ports.m_BaudRate = baud;
    if (o.dataBits < 5 || o.dataBits > 8) {
        return refuse(MsgDataLengthNotSelected);
    }
    ports.m_DataBits = o.dataBits;
    if (o.parity == "none")
        ports.m_Parity = 0;
    else if (o.parity == "odd")
        ports.m_Parity = 1;
    else if (o.parity == "even")
        ports.m_Parity = 2;
    else {
        return refuse(MsgParityNotSelected);
    }
    // With 5 data bits the Stop Bit list holds only the item 1.
    if ((o.stopBits != 1 && o.stopBits != 2) || (o.stopBits == 2 && o.dataBits == 5)) {
        return refuse(MsgStopBitNotSelected);
    }
    ports.m_StopBits = o.stopBits == 2 ? 2 : 0;
    if (o.flow == "hw")
        ports.m_FlowControl = 1;
    else if (o.flow == "sw")
        ports.m_FlowControl = 2;
    else if (o.flow == "none")
        ports.m_FlowControl = 3;
    else {
        return refuse(MsgFlowNotSelected);
    }
    return true;
}

} // namespace korva::cli
