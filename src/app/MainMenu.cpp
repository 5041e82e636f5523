#include "app/MainMenu.h"

#include "app/ConnectionSummary.h"
#include "app/ModelRules.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"

namespace korva {

MainMenu::MainMenu(const ConnectionSettings& settings, MainMenuHost& host)
    : m_settings(settings), m_host(host) {}

void MainMenu::open(std::uint16_t langId) {
    m_view = MainMenuView{};
    m_view.title = kAppName;
    m_view.summary = connectionSummary(m_settings);
    m_view.logoEnabled = m_host.available(MainMenuHost::Tool::Logo);
    m_view.firmwareEnabled = m_host.available(MainMenuHost::Tool::Firmware);
    // The KORVA10 class has no user settings to read or write.
    m_view.userSetupEnabled = m_settings.m_ModelKind != ModelKindKorva10 &&
                              m_host.available(MainMenuHost::Tool::UserSetup);
    if (isKorean(langId)) {
        m_view.logoCaption = "로고 전송";
        m_view.userSetupCaption = "사용자 설정";
        m_view.firmwareCaption = "펌웨어 전송";
        m_view.backCaption = "<< 뒤로";
    }
}

void MainMenu::logoDownload() {
    if (!m_view.logoEnabled)
        return;
    m_host.runLogoTool();
    m_host.setReceiveMode(kReceiveLogo);
    m_host.clearLogoLists();
}

void MainMenu::userSetup() {
    if (!m_view.userSetupEnabled)
        return;
    m_host.setReceiveMode(kReceiveUserSetup);
    m_host.runUserSetup();
}

void MainMenu::firmwareDownload() {
    if (!m_view.firmwareEnabled)
        return;
    m_host.setReceiveMode(kReceiveFirmware);
    m_host.runFirmwareDownload(m_settings.m_ModelKind == ModelKindKorva10);
    // The firmware screens may leave the port open (the printer restarts); nothing else will
    // close it before the next tool opens it.
    if (m_host.connected())
        m_host.closeConnection();
}

void MainMenu::back() {
    m_view.closed = true;
}

} // namespace korva
