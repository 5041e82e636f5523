#include "app/SelectionScreen.h"

#include "app/DeviceTable.h"
#include "app/ModelRules.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/Prompter.h"

#include <algorithm>
#include <cctype>

namespace korva {

namespace {

const char* const kSearchingTitle = "Searching for the printer";

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) <
               std::tolower(static_cast<unsigned char>(y));
    });
}

// The number a list text begins with ("8 Bits" -> 8); -1 when it begins with none.
int leadingNumber(const std::string& text) {
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])))
        return -1;
    long value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            break;
        value = value * 10 + (c - '0');
        if (value > 100000000)
            return -1;
    }
    return static_cast<int>(value);
}

} // namespace

std::string versionText(const FileVersion& v) {
    std::string text = std::to_string(v.major) + "." + std::to_string(v.minor);
    if (v.build != 0)
        text += std::to_string(v.build);
    return text + std::to_string(v.revision);
}

std::string selectionTitle(const FileVersion& version) {
    return std::string(kAppName) + " " + versionText(version) + "E";
}

std::string ComboView::text() const {
    if (selected < 0 || selected >= static_cast<int>(items.size()))
        return "";
    return items[static_cast<std::size_t>(selected)];
}

SelectionScreen::SelectionScreen(ConnectionSettings& settings, ErrorLog& log,
                                 MessageCatalogue& catalogue, Prompter& prompter, Clock& clock,
                                 const Profile& profile, SelectionDiscovery discovery,
                                 SelectionHost& host)
    : m_settings(settings), m_log(log), m_catalogue(catalogue), m_prompter(prompter),
      m_clock(clock), m_profile(profile), m_discovery(std::move(discovery)), m_host(host) {}

void SelectionScreen::initialise(std::uint16_t langId, const FileVersion& version) {
    m_catalogue.selectLanguage(langId);
    if (isKorean(langId)) {
        m_view.deviceLabel = "프린터종류";
        m_view.portLabel = "포트";
        m_view.baudLabel = "통신속도";
        m_view.parityLabel = "패리티";
        m_view.dataLabel = "테이터 길이";
        m_view.flowLabel = "플로우 컨트롤";
        m_view.stopLabel = "스톱 비트";
        m_view.cancelCaption = "취소";
    }
    m_view.title = selectionTitle(version);

    fillDeviceList();

    m_view.port.enabled = false;
    setSerialListsEnabled(false);
    m_view.okEnabled = false;
    m_view.baud = {{"115200", "38400", "19200", "9600"}, 0, false};
    m_view.parity = {{"NONE", "ODD", "EVEN"}, 0, false};
    m_view.dataLength = {{"8 Bits", "7 Bits", "6 Bits", "5 Bits"}, 0, false};
    m_view.flow = {{"H/W", "S/W", "NONE"}, 0, false};
    m_view.stopBit = {{"1", "2"}, 0, false};

    m_log.Open(ErrorLog::kFileName);
    m_log.PrintHeader(version.major, version.minor, version.build, version.revision);

    if (m_view.device.selected >= 0)
        onDeviceChanged();
}

void SelectionScreen::fillDeviceList() {
    // A DEVICELIST section replaces the built-in table and its USB detection. Its entries are
    // read in file order up to the first empty value.
    for (const auto& [key, value] : m_profile.Entries("DEVICELIST")) {
        if (value.empty())
            break;
        m_view.device.items.push_back(value);
    }
    if (!m_view.device.items.empty())
        return;

    // The COM and LPT tests leave what they found in PORT; every serial or parallel model
    // refills it when chosen.
    auto portsOf = [this](int kind) {
        std::vector<std::string> names;
        if (m_discovery.enumeratePorts)
            m_discovery.enumeratePorts(kind, names);
        for (const std::string& n : names)
            if (std::find(m_view.port.items.begin(), m_view.port.items.end(), n) ==
                m_view.port.items.end())
                addPortSorted(n);
        return !names.empty();
    };
    DiscoveryProbe probe;
    probe.hasComPort = [portsOf] { return portsOf(0); };
    probe.hasLptPort = [portsOf] { return portsOf(1); };
    probe.findUsbSerialPort = [this](const std::string& prefix) {
        return m_discovery.findUsbSerialPort ? m_discovery.findUsbSerialPort(prefix)
                                             : std::string();
    };
    probe.countUsbPrinters = [this](const std::string& prefix) {
        return m_discovery.countUsbPrinters ? m_discovery.countUsbPrinters(prefix) : -1;
    };
    DeviceListing listing = listDevices(probe);
    m_view.device.items = std::move(listing.names);
    m_view.device.selected = listing.preselected;
}

void SelectionScreen::addPortSorted(const std::string& name) {
    auto& items = m_view.port.items;
    items.insert(std::upper_bound(items.begin(), items.end(), name, lessIgnoringCase), name);
}

ComboView& SelectionScreen::combo(Combo which) {
    switch (which) {
    case Combo::Device:
        return m_view.device;
    case Combo::Port:
        return m_view.port;
    case Combo::Baud:
        return m_view.baud;
    case Combo::Parity:
        return m_view.parity;
    case Combo::DataLength:
        return m_view.dataLength;
    case Combo::Flow:
        return m_view.flow;
    case Combo::StopBit:
        break;
    }
    return m_view.stopBit;
}

void SelectionScreen::select(Combo which, int index) {
    ComboView& c = combo(which);
    if (index < -1 || index >= static_cast<int>(c.items.size()))
        return;
    c.selected = index;
    if (which == Combo::Device && index >= 0)
        onDeviceChanged();
    else if (which == Combo::DataLength)
        onDataLengthChanged();
}

void SelectionScreen::setSerialListsEnabled(bool enabled) {
    m_view.baud.enabled = enabled;
    m_view.parity.enabled = enabled;
    m_view.dataLength.enabled = enabled;
    m_view.flow.enabled = enabled;
    m_view.stopBit.enabled = enabled;
}

void SelectionScreen::show(int message) {
    m_prompter.message(m_catalogue.text(message), kAppName, Icon::Exclamation, Buttons::Ok);
}

void SelectionScreen::onDeviceChanged() {
    const std::string model = m_view.device.text();
    m_ModelFamily = modelFamily(model);
    if (m_ModelFamily == 0) {
        // OK stays usable only for a model with a usable connection, so an unknown name
        // cannot be accepted with the interface of the model chosen before it.
        m_InterfaceKind = InterfaceNone;
        m_view.okEnabled = false;
        show(MsgInvalidDevice);
        return;
    }
    m_InterfaceKind = interfaceKind(model, m_ModelFamily);

    switch (m_InterfaceKind) {
    case InterfaceEthernet:
    case InterfaceWifi:
        m_view.port.enabled = false;
        setSerialListsEnabled(false);
        break;
    case InterfaceUsbPrinter:
        searchUsbPrinter();
        return; // the search has set OK itself
    case InterfaceParallel: {
        m_view.port.items.clear();
        std::vector<std::string> names;
        if (m_discovery.enumeratePorts)
            m_discovery.enumeratePorts(1, names);
        for (const std::string& n : names)
            addPortSorted(n);
        if (m_view.port.items.empty()) {
            m_view.port.selected = -1;
            m_view.okEnabled = false;
            show(MsgNoLptPort);
            return;
        }
        m_view.port.selected = 0;
        m_view.port.enabled = true;
        setSerialListsEnabled(false);
        break;
    }
    case InterfaceSerial:
    case InterfaceUsbSerial: {
        m_view.port.items.clear();
        if (m_InterfaceKind == InterfaceUsbSerial) {
            std::string port;
            if (m_discovery.findUsbSerialPort)
                port = m_discovery.findUsbSerialPort(usbSerialPortId(m_ModelFamily));
            if (!port.empty())
                addPortSorted(port);
        } else {
            std::vector<std::string> names;
            if (m_discovery.enumeratePorts)
                m_discovery.enumeratePorts(0, names);
            for (const std::string& n : names)
                addPortSorted(n);
        }
        if (m_view.port.items.empty()) {
            m_view.port.selected = -1;
            m_view.okEnabled = false;
            show(MsgNoComPort);
            return;
        }
        m_view.port.selected = 0;
        m_view.port.enabled = true;
        setSerialListsEnabled(true);
        fillBaudList();
        break;
    }
    default:
        break;
    }
    m_view.okEnabled = m_ModelFamily != 0 && m_InterfaceKind != InterfaceNone;
}

void SelectionScreen::fillBaudList() {
    m_view.baud.items.clear();
    for (int rate : baudRatesOf(m_ModelFamily))
        m_view.baud.items.push_back(std::to_string(rate));
    m_view.baud.selected = 0;
}

int SelectionScreen::countFamilyPrinters() {
    if (!m_discovery.countUsbPrinters)
        return -1;
    const std::string id = usbPresenceSearchId(m_ModelFamily, modelKind(m_view.device.text()));
    int count = m_discovery.countUsbPrinters(id);
    // The KORVA30 printer-class interface is asked twice per try: it may still be settling
    // when the first look comes.
    if (count == -1 && m_ModelFamily == 5)
        count = m_discovery.countUsbPrinters(id);
    return count;
}

void SelectionScreen::searchUsbPrinter() {
    const std::string saved = m_view.title;
    std::string working = kSearchingTitle;
    int count = -1;
    for (int attempt = 0; attempt < kUsbSearchTries; ++attempt) {
        count = countFamilyPrinters();
        if (count != -1)
            break;
        working += ".";
        m_view.title = working;
        m_host.showTitle(working);
        m_clock.sleepMs(kUsbSearchPauseMs);
    }
    m_view.title = saved;
    m_host.showTitle(saved);

    if (count == 1) {
        m_view.port.enabled = false;
        setSerialListsEnabled(false);
        m_view.okEnabled = true;
        return;
    }
    // None (or a count that names none) and too many end alike.
    show(count >= 2 ? MsgOnlyOneDevice : MsgTurnOnUsbPrinter);
    m_view.okEnabled = false;
    m_view.port.selected = -1;
    m_view.device.selected = -1;
}

void SelectionScreen::onDataLengthChanged() {
    const std::string previous = m_view.stopBit.text();
    if (m_view.dataLength.text() == "5 Bits") {
        m_view.stopBit.items = {"1"};
        m_view.stopBit.selected = previous.empty() ? -1 : 0;
        return;
    }
    m_view.stopBit.items = {"1", "2"};
    auto it = std::find(m_view.stopBit.items.begin(), m_view.stopBit.items.end(), previous);
    m_view.stopBit.selected =
        it == m_view.stopBit.items.end() ? -1 : static_cast<int>(it - m_view.stopBit.items.begin());
}

bool SelectionScreen::readSerialParameters() {
    m_settings.m_BaudRate = leadingNumber(m_view.baud.text());
    if (m_settings.m_BaudRate == -1) {
        show(MsgBaudNotSelected);
        return false;
    }
    m_settings.m_DataBits = leadingNumber(m_view.dataLength.text());
    if (m_settings.m_DataBits == -1) {
        show(MsgDataLengthNotSelected);
        return false;
    }
    if (m_view.parity.selected < 0) {
        show(MsgParityNotSelected);
        return false;
    }
    m_settings.m_Parity = m_view.parity.selected;
    const std::string stop = m_view.stopBit.text();
    if (stop.empty()) {
        show(MsgStopBitNotSelected);
        return false;
    }
    m_settings.m_StopBits = stop == "1.5" ? 1 : stop == "2" ? 2 : 0;
    if (m_view.flow.selected < 0) {
        show(MsgFlowNotSelected);
        return false;
    }
    m_settings.m_FlowControl = m_view.flow.selected + 1;
    return true;
}

void SelectionScreen::ok() {
    if (!m_view.okEnabled)
        return;
    const std::string model = m_view.device.text();
    m_settings.m_PortName = m_view.port.text();
    m_settings.m_ModelKind = modelKind(model);

    switch (m_InterfaceKind) {
    case InterfaceUsbPrinter:
        m_settings.m_PortName = "USB";
        m_host.runMainMenu();
        return;
    case InterfaceEthernet:
        m_settings.m_PortName = "ETHERNET_II";
        if (m_host.runNetworkScreen())
            m_host.runMainMenu();
        return;
    case InterfaceWifi: {
        m_settings.m_PortName = "WIFI";
        bool accepted = m_host.runNetworkScreen();
        // Once its wireless interface is prepared, a WLAN printer is used like an Ethernet one.
        m_settings.m_PortName = "ETHERNET_II";
        if (accepted)
            m_host.runMainMenu();
        return;
    }
    case InterfaceParallel:
        m_host.runMainMenu();
        return;
    default:
        if (readSerialParameters())
            m_host.runMainMenu();
        return;
    }
}

} // namespace korva
