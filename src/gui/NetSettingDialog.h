#pragma once
// The "Ethernet-II Network Setting" window over NetSettingScreen: the printer list (five columns,
// grid lines), Search Printer, Change Setting, EXIT and the address fields. The screen's waits
// for datagrams run in short steps from a zero-interval timer, so the window repaints and shows
// that it is searching while the printers answer.
#include "network/NetSettingScreen.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTimer;

namespace korva {

class NetSettingDialog : public QDialog {
    Q_OBJECT
public:
    NetSettingDialog(const MessageCatalogue& catalogue, Prompter& prompter, Clock& clock,
                     ErrorLog& log, const NetLinkOptions& options, std::uint16_t langId,
                     QWidget* parent = nullptr);

    const NetSettingScreen& screen() const { return m_screen; }
    QTableWidget* list() const { return m_list; }
    QPushButton* searchButton() const { return m_search; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* exitButton() const { return m_exit; }
    QLineEdit* ipEdit() const { return m_ip; }
    QLineEdit* subnetEdit() const { return m_subnet; }
    QLineEdit* gatewayEdit() const { return m_gateway; }
    QLineEdit* portEdit() const { return m_port; }
    QCheckBox* dhcpBox() const { return m_dhcp; }
    QLabel* statusLabel() const { return m_status; }

    // A click at this point of the list's viewport (on a row or beside the rows).
    void clickList(const QPoint& viewportPoint);

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void step();
    void render();
    void renderFields();

    NetSettingScreen m_screen;
    QTableWidget* m_list;
    QPushButton* m_search;
    QPushButton* m_change;
    QPushButton* m_exit;
    QLabel* m_ipLabel;
    QLabel* m_subnetLabel;
    QLabel* m_gatewayLabel;
    QLabel* m_portLabel;
    QLineEdit* m_ip;
    QLineEdit* m_subnet;
    QLineEdit* m_gateway;
    QLineEdit* m_port;
    QCheckBox* m_dhcp;
    QLabel* m_status;
    QTimer* m_steps;
};

} // namespace korva
