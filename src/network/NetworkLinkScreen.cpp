#include "network/NetworkLinkScreen.h"

#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "network/EthernetSettings.h"
#include "network/NetConfigRecord.h"
#include "network/WifiModule.h"

#include <cerrno>
#include <cstdlib>

namespace korva {

namespace {

// The PORT field's text as a signed decimal; false when it is not one.
bool parsePort(const std::string& text, int& port) {
    std::size_t begin = text.find_first_not_of(" \t");
    std::size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos)
        return false;
    std::string digits = text.substr(begin, end - begin + 1);
    char* stop = nullptr;
    errno = 0;
    long value = std::strtol(digits.c_str(), &stop, 10);
    if (errno != 0 || stop == digits.c_str() || *stop != '\0' || value < -2147483647L - 1 ||
        value > 2147483647L)
        return false;
    port = static_cast<int>(value);
    return true;
}

} // namespace

NetworkLinkScreen::NetworkLinkScreen(EthernetSettings& settings, const MessageCatalogue& catalogue,
                                     Prompter& prompter, WifiModule& wifi, NetworkLinkHost& host)
    : m_settings(settings), m_catalogue(catalogue), m_prompter(prompter), m_wifi(wifi),
      m_host(host) {}

void NetworkLinkScreen::open(const std::string& portName, std::uint16_t langId) {
    m_view = NetworkLinkView{};
    m_korean = isKorean(langId);
    m_view.ipText = m_settings.ipAddress;
    m_view.portText = std::to_string(m_settings.port);
    m_view.wlan = !portName.starts_with("ETH");
    if (m_view.wlan) {
        m_view.title = "WLAN(WiFi) Network";
        m_view.firstCaption = "Infrastructure";
        m_view.secondCaption = "Limited AP";
        m_view.secondEnabled = true;
    } else {
        m_view.title = "Ethernet-II Network";
        m_view.firstCaption = m_korean ? "네트워크 설정" : "Network Setting";
        m_view.secondCaption = "Reserved";
        m_view.secondEnabled = false;
        m_view.firstEnabled = m_host.networkSettingsAvailable();
    }
    if (m_korean)
        m_view.cancelCaption = "취소";
}

void NetworkLinkScreen::ok(const std::string& ipText, const std::string& portText) {
    int port = 0;
    if (!parsePort(portText, port)) {
        m_prompter.message(m_catalogue.text(MsgPortRange), kAppName, Icon::Exclamation,
                           Buttons::Ok);
        return;
    }
    Ip4 address{};
    if (!parseDotted(ipText, address)) {
        // Nothing is kept: the tools would connect to this text.
        m_prompter.message(m_korean ? "IP 주소는 0 ~ 255 사이의 숫자 4개로 입력해 주십시오. "
                                      "(예: 192.168.0.100)"
                                    : "Please enter the IP address as four numbers from 0 to 255 "
                                      "(such as 192.168.0.100).",
                           kAppName, Icon::Exclamation, Buttons::Ok);
        return;
    }
    // The fields are kept even when the port is refused, so the screen reopens with what was
    // typed; the address in its plain dotted form, which the socket takes (no blanks, no
    // leading zeros).
    m_settings.ipAddress = dottedText(address);
    m_settings.port = port;
    m_view.ipText = m_settings.ipAddress;
    m_view.portText = std::to_string(port);
    if (!portAllowed(port)) {
        m_prompter.message(m_catalogue.text(MsgPortRange), kAppName, Icon::Exclamation,
                           Buttons::Ok);
        return;
    }
    m_settings.acceptedPort = port;
    ProbeResult probe = m_host.probePrinter();
    // The screen leaves the socket closed either way; each tool connects it when it needs it.
    m_host.closeSocket();
    if (probe == ProbeResult::NoSocket) {
        // The system gives no socket at all: the socket support is what failed, not the printer.
        m_prompter.message(m_catalogue.text(MsgInitFail), kAppName, Icon::Exclamation, Buttons::Ok);
        return;
    }
    if (probe != ProbeResult::Reachable) {
        m_prompter.message(m_catalogue.text(MsgPrinterCheckError), kAppName, Icon::Exclamation,
                           Buttons::Ok);
        return;
    }
    m_view.accepted = true;
}

void NetworkLinkScreen::wifiNotice() {
    m_prompter.message(m_korean ? "프린터를 켜고 USB케이블을 연결하십시오."
                                : "Turn on the printer and Connect a USB cable.",
                       m_korean ? "알림" : "Notice", Icon::Information, Buttons::Ok);
}

void NetworkLinkScreen::notAvailable() {
    m_prompter.message(m_korean ? "이 기능은 사용할 수 없습니다. (WiFi 모듈 없음)"
                                : "This function is not available. (WiFi module not found)",
                       kAppName, Icon::Exclamation, Buttons::Ok);
}

void NetworkLinkScreen::firstButton() {
    if (!m_view.firstEnabled)
        return;
    if (!m_view.wlan) {
        m_host.runNetworkSettings();
        return;
    }
    wifiNotice();
    if (!m_wifi.infrastructure(m_host.windowId()))
        notAvailable();
}

void NetworkLinkScreen::secondButton() {
    if (!m_view.secondEnabled || !m_view.wlan)
        return;
    wifiNotice();
    if (!m_wifi.limitedAp(m_host.windowId()))
        notAvailable();
}

} // namespace korva
