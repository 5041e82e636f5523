#pragma once
// The "Ethernet-II Network" / "WLAN(WiFi) Network" screen's behaviour, without any window: the
// printer's IP address and TCP port, the port range rule, the connection probe on OK, and the
// two mode-dependent buttons (the network settings screen, or the WiFi module's two calls).
//
// open() fills the view from the EthernetSettings; ok() takes the two field texts. Runs on the
// user-interface thread; ok() blocks while the probe runs (about half a second when the printer
// does not answer).
#include "network/ConnectionProbe.h"

#include <cstdint>
#include <string>

namespace korva {

class MessageCatalogue;
class Prompter;
class WifiModule;

struct NetworkLinkView {
    bool wlan = false; // WLAN mode: port name not beginning with "ETH"
    std::string title;
    std::string ipText;
    std::string portText;
    std::string ipLabel = "IP :";
    std::string portLabel = "PORT :";
    std::string groupCaption = "Setting";
    std::string okCaption = "OK";
    std::string cancelCaption = "Cancel";
    std::string firstCaption;
    std::string secondCaption;
    bool firstEnabled = true;
    bool secondEnabled = false;
    bool accepted = false; // OK succeeded: the window closes with OK
};

// What the screen needs from its window and the rest of the program.
class NetworkLinkHost {
public:
    virtual ~NetworkLinkHost() = default;
    // The connection probe on the printer socket with the settings' address and accepted port
    // (close, create, connect, wait kSettleMs, then up to 10 zero-byte sends 50 ms apart).
    virtual ProbeResult probePrinter() = 0;
    virtual void closeSocket() = 0;
    // The printer search and network settings screen, run modally (Ethernet mode).
    virtual bool networkSettingsAvailable() const = 0;
    virtual void runNetworkSettings() = 0;
    // The native id of this screen's window, handed to the WiFi module (0 when none).
    virtual unsigned long windowId() const = 0;
};

class NetworkLinkScreen {
public:
    NetworkLinkScreen(EthernetSettings& settings, const MessageCatalogue& catalogue,
                      Prompter& prompter, WifiModule& wifi, NetworkLinkHost& host);

    // portName: "ETHERNET_II" for Ethernet mode; any name not beginning with "ETH" is WLAN.
    void open(const std::string& portName, std::uint16_t langId);

    // The address must be four numbers 0..255 (kept as "%d.%d.%d.%d"); the port 1024..65534 or
    // exactly 515. On success the view says accepted.
    void ok(const std::string& ipText, const std::string& portText);
    void firstButton();
    void secondButton();

    const NetworkLinkView& view() const { return m_view; }

    static bool portAllowed(int port) { return port == 515 || (port >= 1024 && port <= 65534); }

private:
    void wifiNotice();
    void notAvailable();

    EthernetSettings& m_settings;
    const MessageCatalogue& m_catalogue;
    Prompter& m_prompter;
    WifiModule& m_wifi;
    NetworkLinkHost& m_host;
    NetworkLinkView m_view;
    bool m_korean = false;
};

} // namespace korva
