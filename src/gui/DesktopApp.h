#pragma once
// The desktop program's run: the application context, the selection screen as the main window,
// the main menu, the network screen and the tools, wired to the Qt windows. It is the menu's
// host: it sets the connection's receive mode and runs the tool windows modally.
//
// GUI thread only. The Clock and the Prompter outlive it.
#include "app/AppContext.h"
#include "app/MainMenu.h"
#include "app/SelectionScreen.h"
#include "network/NetConfigLink.h"
#include "network/WifiModule.h"

#include <memory>

class QWidget;

namespace korva {

class DemoPaper;
class DemoPrinter;
class SelectionDialog;

class DesktopApp : public MainMenuHost {
public:
    // demo (may be null): the in-program virtual printer whose ports discovery offers.
    DesktopApp(Clock& clock, Prompter& prompter, std::uint16_t langId, DeviceRoots roots,
               DemoPrinter* demo);
    ~DesktopApp() override;

    // The start-up sequence: the selection screen runs as the main window; when it ends, an
    // open connection is closed. Returns the program's exit code (0).
    int run();

    // The windows, for the screenshot tour; each is wired exactly as run() wires it.
    std::unique_ptr<SelectionDialog> makeSelection(QWidget* parent = nullptr);
    bool runNetworkScreen(QWidget* parent);
    // The "Ethernet-II Network Setting" window, opened by the network screen's button.
    void runNetworkSettings(QWidget* parent);
    // Where its records go: the limited broadcast of the local segment, or in demo mode the
    // demo printer on loopback only.
    NetLinkOptions netLinkOptions() const;
    void runMainMenu(QWidget* parent);

    AppContext& context() { return m_ctx; }
    WifiModule& wifi() { return m_wifi; }
    DemoPaper* demoPaper() { return m_paper.get(); }
    SelectionDiscovery discovery();

    bool available(Tool tool) const override;
    void runUserSetup() override;

private:
    void runLogoTool() override;
    void clearLogoLists() override;
    void runFirmwareDownload(bool eraseWrite) override;
    void setReceiveMode(std::uint8_t mode) override;
    bool connected() const override;
    void closeConnection() override;

    AppContext m_ctx;
    WifiModule m_wifi;
    DemoPrinter* m_demo;
    std::unique_ptr<DemoPaper> m_paper; // demo only: shows what the demo printer printed
    QWidget* m_window = nullptr;        // the window the next modal screen opens over
};

} // namespace korva
