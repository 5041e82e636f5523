#pragma once
// The main menu's behaviour, without any window: its captions, the connection summary, which
// tool buttons are enabled, and what each button does to the connection before and after its
// tool runs. Runs on the user-interface thread.
#include "comm/ConnectionSettings.h"

#include <cstdint>
#include <string>

namespace korva {

struct MainMenuView {
    std::string title = "KORVASet";
    std::string summary; // rebuilt by open(); CR LF between lines
    std::string logoCaption = "&Logo Download";
    std::string userSetupCaption = "&User Setup";
    std::string firmwareCaption = "&Firmware Download";
    std::string backCaption = "<< &Back  "; // the two trailing spaces are part of it
    bool logoEnabled = true;
    bool userSetupEnabled = true;
    bool firmwareEnabled = true;
    bool closed = false; // Back was pressed: the window ends with Cancel
};

// The tools and the connection, as the menu reaches them. run* calls return when the tool's
// screen has closed.
class MainMenuHost {
public:
    enum class Tool { Logo, UserSetup, Firmware };

    virtual ~MainMenuHost() = default;
    // Whether this program has the tool at all; a missing tool's button stays disabled.
    virtual bool available(Tool tool) const = 0;
    virtual void runLogoTool() = 0;
    // Empties the logo tool's four shared text lists.
    virtual void clearLogoLists() = 0;
    virtual void runUserSetup() = 0;
    // eraseWrite: the erase/write variant for the KORVA10 class.
    virtual void runFirmwareDownload(bool eraseWrite) = 0;

    virtual void setReceiveMode(std::uint8_t mode) = 0; // 1 logo, 2 user setup, 3 firmware
    virtual bool connected() const = 0;
    virtual void closeConnection() = 0;
};

class MainMenu {
public:
    static constexpr std::uint8_t kReceiveLogo = 1;
    static constexpr std::uint8_t kReceiveUserSetup = 2;
    static constexpr std::uint8_t kReceiveFirmware = 3;

    MainMenu(const ConnectionSettings& settings, MainMenuHost& host);

    // Title, summary, enabled buttons; Korean captions for language id 0x0412.
    void open(std::uint16_t langId);

    void logoDownload();
    void userSetup();
    void firmwareDownload();
    void back();

    const MainMenuView& view() const { return m_view; }

private:
    const ConnectionSettings& m_settings;
    MainMenuHost& m_host;
    MainMenuView m_view;
};

} // namespace korva
