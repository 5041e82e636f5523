#include "gui/NetworkLinkDialog.h"

#include "gui/AppIcon.h"
#include "gui/QtText.h"
#include "network/ConnectionProbe.h"
#include "network/PrinterSocket.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace korva {

NetworkLinkDialog::NetworkLinkDialog(EthernetSettings& settings, PrinterSocket& socket,
                                     Clock& clock, const MessageCatalogue& catalogue,
                                     Prompter& prompter, WifiModule& wifi,
                                     const std::string& portName, std::uint16_t langId,
                                     QWidget* parent)
    : QDialog(parent), m_settings(settings), m_socket(socket), m_clock(clock),
      m_screen(settings, catalogue, prompter, wifi, *this), m_portName(portName), m_langId(langId) {
    setObjectName("NetworkLinkDialog");
    setWindowIcon(appIcon());
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    m_ipLabel = new QLabel(this);
    m_ip = new QLineEdit(this);
    m_ip->setObjectName("ip");
    // An address field takes four numbers 0..255 and nothing else.
    const QString octet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])";
    m_ip->setValidator(new QRegularExpressionValidator(
        QRegularExpression("^" + octet + "(\\." + octet + "){0,3}\\.?$"), m_ip));
    m_ip->setMinimumWidth(170);
    m_portLabel = new QLabel(this);
    m_port = new QLineEdit(this);
    m_port->setObjectName("port");
    m_port->setMaxLength(11);
    m_port->setMinimumWidth(170);
    m_ipLabel->setBuddy(m_ip);
    m_portLabel->setBuddy(m_port);
    grid->addWidget(m_ipLabel, 0, 0);
    grid->addWidget(m_ip, 0, 1);
    grid->addWidget(m_portLabel, 1, 0);
    grid->addWidget(m_port, 1, 1);
    outer->addLayout(grid);

    m_group = new QGroupBox(this);
    auto* groupLayout = new QHBoxLayout(m_group);
    m_first = new QPushButton(m_group);
    m_first->setObjectName("first");
    m_first->setAutoDefault(false);
    m_first->setMinimumWidth(130);
    m_second = new QPushButton(m_group);
    m_second->setObjectName("second");
    m_second->setAutoDefault(false);
    m_second->setMinimumWidth(110);
    groupLayout->addWidget(m_first);
    groupLayout->addWidget(m_second);
    outer->addWidget(m_group);

    auto* buttons = new QHBoxLayout;
    m_ok = new QPushButton(this);
    m_ok->setObjectName("ok");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName("cancel");
    m_cancel->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    outer->addLayout(buttons);

    connect(m_ok, &QPushButton::clicked, this, [this] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        m_screen.ok(m_ip->text().toStdString(), m_port->text().toStdString());
        QApplication::restoreOverrideCursor();
        if (m_screen.view().accepted)
            accept();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_first, &QPushButton::clicked, this, [this] { m_screen.firstButton(); });
    connect(m_second, &QPushButton::clicked, this, [this] { m_screen.secondButton(); });
    refresh();
}

void NetworkLinkDialog::refresh() {
    m_screen.open(m_portName, m_langId);
    render();
}

void NetworkLinkDialog::render() {
    const NetworkLinkView& v = m_screen.view();
    setWindowTitle(qt(v.title));
    m_ipLabel->setText(qt(v.ipLabel));
    m_portLabel->setText(qt(v.portLabel));
    m_ip->setText(qt(v.ipText));
    m_port->setText(qt(v.portText));
    m_group->setTitle(qt(v.groupCaption));
    m_first->setText(qt(v.firstCaption));
    m_second->setText(qt(v.secondCaption));
    m_first->setEnabled(v.firstEnabled);
    m_second->setEnabled(v.secondEnabled);
    m_ok->setText(qt(v.okCaption));
    m_cancel->setText(qt(v.cancelCaption));
}

ProbeResult NetworkLinkDialog::probePrinter() {
    return probeConnection(m_socket, m_settings, m_clock, kSettleMs);
}

void NetworkLinkDialog::closeSocket() {
    m_socket.Close();
}

bool NetworkLinkDialog::networkSettingsAvailable() const {
    return static_cast<bool>(runSettings);
}

void NetworkLinkDialog::runNetworkSettings() {
    if (runSettings)
        runSettings();
}

unsigned long NetworkLinkDialog::windowId() const {
    return static_cast<unsigned long>(const_cast<NetworkLinkDialog*>(this)->winId());
}

} // namespace korva
