#pragma once
// The "Ethernet-II Network" / "WLAN(WiFi) Network" window over NetworkLinkScreen. It is the
// screen's host: it runs the connection probe on the program's printer socket, hands its window
// id to the WiFi module and opens the network settings screen through a callback.
#include "network/NetworkLinkScreen.h"

#include <QDialog>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace korva {

class Clock;
class PrinterSocket;

class NetworkLinkDialog : public QDialog, private NetworkLinkHost {
    Q_OBJECT
public:
    NetworkLinkDialog(EthernetSettings& settings, PrinterSocket& socket, Clock& clock,
                      const MessageCatalogue& catalogue, Prompter& prompter, WifiModule& wifi,
                      const std::string& portName, std::uint16_t langId, QWidget* parent = nullptr);

    // The printer search and network settings screen; the button stays disabled while unset.
    std::function<void()> runSettings;

    QLineEdit* ipEdit() const { return m_ip; }
    QLineEdit* portEdit() const { return m_port; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* firstButton() const { return m_first; }
    QPushButton* secondButton() const { return m_second; }
    const NetworkLinkScreen& screen() const { return m_screen; }

    // Reopens the view (after runSettings was set, so the button shows it).
    void refresh();

private:
    ProbeResult probePrinter() override;
    void closeSocket() override;
    bool networkSettingsAvailable() const override;
    void runNetworkSettings() override;
    unsigned long windowId() const override;

    void render();

    EthernetSettings& m_settings;
    PrinterSocket& m_socket;
    Clock& m_clock;
    NetworkLinkScreen m_screen;
    std::string m_portName;
    std::uint16_t m_langId;
    QLabel* m_ipLabel;
    QLabel* m_portLabel;
    QLineEdit* m_ip;
    QLineEdit* m_port;
    QGroupBox* m_group;
    QPushButton* m_first;
    QPushButton* m_second;
    QPushButton* m_ok;
    QPushButton* m_cancel;
};

} // namespace korva
