#include "gui/DesktopApp.h"

#include "app/ConnectionSummary.h"
#include "app/ModelRules.h"
#include "base/FileVersion.h"
#include "comm/SysfsPorts.h"
#include "comm/UsbDiscovery.h"
#include "gui/DemoPaper.h"
#include "gui/DemoPrinter.h"
#include "gui/FirmwareDialog.h"
#include "gui/Korva10FirmwareDialog.h"
#include "gui/LogoSheetDialog.h"
#include "gui/MainMenuDialog.h"
#include "gui/NetSettingDialog.h"
#include "gui/NetworkLinkDialog.h"
#include "gui/SelectionDialog.h"
#include "gui/UserSetupDialog.h"
#include "logo/LogoOptions.h"

#include <QApplication>

namespace korva {

DesktopApp::DesktopApp(Clock& clock, Prompter& prompter, std::uint16_t langId, DeviceRoots roots,
                       DemoPrinter* demo)
    : m_ctx(clock, prompter, langId, std::move(roots)),
      m_wifi(m_ctx.log, WifiModule::defaultPath()), m_demo(demo) {
    if (m_demo) {
        // The demo printer listens on loopback; start the network screen there.
        m_ctx.ethernet.ipAddress = "127.0.0.1";
        m_ctx.ethernet.port = m_demo->tcpPort();
        m_ctx.ethernet.acceptedPort = m_demo->tcpPort();
        const int paperDots = LogoOptions::defaultMaxPrintableWidth(modelKind(m_demo->model()));
        m_paper = std::make_unique<DemoPaper>(QString::fromStdString(m_demo->printoutFolder()),
                                              paperDots);
    }
}

DesktopApp::~DesktopApp() = default;

SelectionDiscovery DesktopApp::discovery() {
    SelectionDiscovery d;
    d.enumeratePorts = [this](int kind, std::vector<std::string>& names) {
        std::vector<std::string> found;
        int n = m_ctx.ports.EnumeratePorts(kind, found);
        for (const std::string& name : found)
            names.push_back(kind == 0 ? realDeviceNode(name) : name);
        // The demo's parallel stand-in is a pseudo-terminal, which sysfs lists as no lp port.
        if (kind == 1 && m_demo) {
            names.push_back(m_demo->parallelPortName());
            ++n;
        }
        return n;
    };
    d.countUsbPrinters = [this](const std::string& prefix) {
        return CountUsbPrinters(m_ctx.ports.roots(), m_ctx.log, prefix);
    };
    d.findUsbSerialPort = [this](const std::string& prefix) {
        return realDeviceNode(FindUsbSerialPort(m_ctx.ports.roots(), m_ctx.log, prefix));
    };
    return d;
}

std::unique_ptr<SelectionDialog> DesktopApp::makeSelection(QWidget* parent) {
    auto factory = [this](SelectionHost& host) {
        return std::make_unique<SelectionScreen>(m_ctx.ports, m_ctx.log, m_ctx.catalogue,
                                                 m_ctx.prompter, m_ctx.clock, m_ctx.profile,
                                                 discovery(), host);
    };
    auto dialog = std::make_unique<SelectionDialog>(factory, parent);
    SelectionDialog* window = dialog.get();
    dialog->runNetwork = [this, window] { return runNetworkScreen(window); };
    dialog->runMenu = [this, window] { runMainMenu(window); };
    return dialog;
}

int DesktopApp::run() {
    auto selection = makeSelection();
    selection->show();
    selection->initialise(m_ctx.langId, currentFileVersion());
    selection->exec();
    if (m_ctx.ports.m_bConnected)
        m_ctx.ports.Close();
    return 0;
}

bool DesktopApp::runNetworkScreen(QWidget* parent) {
    NetworkLinkDialog dialog(m_ctx.ethernet, m_ctx.socket, m_ctx.clock, m_ctx.catalogue,
                             m_ctx.prompter, m_wifi, m_ctx.ports.m_PortName, m_ctx.langId, parent);
    dialog.runSettings = [this, &dialog] { runNetworkSettings(&dialog); };
    dialog.refresh();
    return dialog.exec() == QDialog::Accepted;
}

NetLinkOptions DesktopApp::netLinkOptions() const {
    NetLinkOptions options;
    if (m_demo) {
        options.broadcast = "127.255.255.255";
        options.bindAddress = "127.0.0.1";
    }
    return options;
}

void DesktopApp::runNetworkSettings(QWidget* parent) {
    NetSettingDialog dialog(m_ctx.catalogue, m_ctx.prompter, m_ctx.clock, m_ctx.log,
                            netLinkOptions(), m_ctx.langId, parent);
    dialog.exec();
}

void DesktopApp::runMainMenu(QWidget* parent) {
    MainMenuDialog menu(m_ctx.ports, *this, m_ctx.langId, parent);
    QWidget* previous = m_window;
    m_window = &menu;
    menu.exec();
    m_window = previous;
}

// Every tool has its window in this program; the firmware button opens the KORVA10 class's
// erase/write window or the area window for every other model.
bool DesktopApp::available(Tool) const {
    return true;
}

void DesktopApp::runUserSetup() {
    UserSetupContext context{
        m_ctx.ports,    m_ctx.socket, m_ctx.ethernet, m_ctx.log,    m_ctx.catalogue,
        m_ctx.prompter, m_ctx.clock,  m_ctx.profile,  m_ctx.langId, connectionSummary(m_ctx.ports)};
    UserSetupDialog dialog(std::move(context), m_window);
    if (dialog.start())
        dialog.exec();
}

void DesktopApp::runLogoTool() {
    LogoContext context{m_ctx.ports,     m_ctx.socket,   m_ctx.ethernet, m_ctx.log,
                        m_ctx.catalogue, m_ctx.prompter, m_ctx.clock,    m_ctx.ports.m_ModelKind};
    LogoSheetDialog sheet(context, m_ctx.profile, m_ctx.ports.m_PortName,
                          connectionSummary(m_ctx.ports), m_ctx.langId, m_window);
    sheet.exec();
}

// The logo list lives in the tool's sheet and goes with it; the next opening starts again from
// the profile.
void DesktopApp::clearLogoLists() {}

// The KORVA10 class takes its firmware by erase and write packets, every other model by area.
void DesktopApp::runFirmwareDownload(bool eraseWrite) {
    if (eraseWrite)
        Korva10FirmwareDialog::run(m_ctx, m_window);
    else
        runFirmwareDialog(m_ctx, m_window);
}

void DesktopApp::setReceiveMode(std::uint8_t mode) {
    m_ctx.ports.m_ReceiveMode = mode;
}

bool DesktopApp::connected() const {
    return m_ctx.ports.m_bConnected != 0;
}

void DesktopApp::closeConnection() {
    m_ctx.ports.Close();
}

} // namespace korva
