#include "gui/NetSettingDialog.h"

#include "gui/AppIcon.h"
#include "gui/QtText.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace korva {

namespace {

// How long one step may wait for a datagram: short enough for the window to stay lively.
constexpr int kStepMs = 40;

QLineEdit* addressEdit(QWidget* parent, const char* name) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    const QString octet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])";
    edit->setValidator(new QRegularExpressionValidator(
        QRegularExpression("^" + octet + "(\\." + octet + "){0,3}\\.?$"), edit));
    edit->setMinimumWidth(130);
    return edit;
}

} // namespace

NetSettingDialog::NetSettingDialog(const MessageCatalogue& catalogue, Prompter& prompter,
                                   Clock& clock, ErrorLog& log, const NetLinkOptions& options,
                                   std::uint16_t langId, QWidget* parent)
    : QDialog(parent), m_screen(catalogue, prompter, clock, log, options) {
    setObjectName("NetSettingDialog");
    setWindowIcon(appIcon());
    m_screen.open(langId);
    const NetSettingView& v = m_screen.view();

    auto* outer = new QVBoxLayout(this);
    m_list = new QTableWidget(0, 5, this);
    m_list->setObjectName("list");
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->verticalHeader()->setDefaultSectionSize(m_list->fontMetrics().height() + 6);
    m_list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->horizontalHeader()->setStretchLastSection(true);
    QStringList captions;
    for (const std::string& c : v.columns)
        captions << qt(c);
    m_list->setHorizontalHeaderLabels(captions);
    const int widths[] = {130, 60, 130, 130};
    for (int i = 0; i < 4; ++i)
        m_list->setColumnWidth(i, widths[i]);
    // The MAC column takes the rest: the list's client width minus 450.
    m_list->setMinimumSize(450 + 150 + 2 * m_list->frameWidth(), 180);
    m_list->viewport()->installEventFilter(this);
    outer->addWidget(m_list);

    auto* buttons = new QHBoxLayout;
    m_search = new QPushButton(this);
    m_search->setObjectName("search");
    m_search->setAutoDefault(false);
    m_change = new QPushButton(this);
    m_change->setObjectName("change");
    m_change->setAutoDefault(false);
    m_exit = new QPushButton(this);
    m_exit->setObjectName("exit");
    m_exit->setDefault(true);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    buttons->addWidget(m_search);
    buttons->addWidget(m_change);
    buttons->addWidget(m_status, 1);
    buttons->addWidget(m_exit);
    outer->addLayout(buttons);

    auto* fields = new QGridLayout;
    m_ipLabel = new QLabel(this);
    m_subnetLabel = new QLabel(this);
    m_gatewayLabel = new QLabel(this);
    m_portLabel = new QLabel(this);
    m_ip = addressEdit(this, "ip");
    m_subnet = addressEdit(this, "subnet");
    m_gateway = addressEdit(this, "gateway");
    m_port = new QLineEdit(this);
    m_port->setObjectName("port");
    m_port->setValidator(new QIntValidator(0, 99999, m_port));
    m_port->setMaximumWidth(90);
    m_dhcp = new QCheckBox(this);
    m_dhcp->setObjectName("dhcp");
    m_ipLabel->setBuddy(m_ip);
    m_subnetLabel->setBuddy(m_subnet);
    m_gatewayLabel->setBuddy(m_gateway);
    m_portLabel->setBuddy(m_port);
    fields->addWidget(m_ipLabel, 0, 0);
    fields->addWidget(m_ip, 0, 1);
    fields->addWidget(m_subnetLabel, 0, 2);
    fields->addWidget(m_subnet, 0, 3);
    fields->addWidget(m_gatewayLabel, 0, 4);
    fields->addWidget(m_gateway, 0, 5);
    fields->addWidget(m_portLabel, 1, 0);
    fields->addWidget(m_port, 1, 1);
    fields->addWidget(m_dhcp, 1, 2, 1, 2);
    outer->addLayout(fields);

    m_steps = new QTimer(this);
    m_steps->setInterval(0);
    connect(m_steps, &QTimer::timeout, this, &NetSettingDialog::step);
    connect(m_search, &QPushButton::clicked, this, [this] {
        m_screen.searchPrinter();
        render();
        if (m_screen.busy())
            m_steps->start();
    });
    connect(m_change, &QPushButton::clicked, this, [this] {
        m_screen.changeSetting(m_ip->text().toStdString(), m_subnet->text().toStdString(),
                               m_gateway->text().toStdString(), m_port->text().toInt(),
                               m_dhcp->isChecked());
        render();
        if (m_screen.busy())
            m_steps->start();
    });
    connect(m_exit, &QPushButton::clicked, this, &NetSettingDialog::reject);

    render();
    renderFields();
}

void NetSettingDialog::step() {
    if (!m_screen.step(kStepMs))
        m_steps->stop();
    render();
}

void NetSettingDialog::reject() {
    // A change under way still sends its second record before the window goes.
    if (m_screen.busy()) {
        m_steps->stop();
        m_screen.run();
    }
    QDialog::reject();
}

void NetSettingDialog::clickList(const QPoint& point) {
    int row = m_list->rowAt(point.y());
    if (row >= 0)
        m_list->selectRow(row);
    else
        m_list->clearSelection();
    m_screen.clickRow(row);
    if (row >= 0)
        renderFields();
    render();
}

bool NetSettingDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonPress)
        clickList(static_cast<QMouseEvent*>(event)->position().toPoint());
    return QDialog::eventFilter(watched, event);
}

void NetSettingDialog::render() {
    const NetSettingView& v = m_screen.view();
    setWindowTitle(qt(v.title));
    m_search->setText(qt(v.searchCaption));
    m_change->setText(qt(v.changeCaption));
    m_exit->setText(qt(v.exitCaption));
    m_ipLabel->setText(qt(v.ipLabel));
    m_subnetLabel->setText(qt(v.subnetLabel));
    m_gatewayLabel->setText(qt(v.gatewayLabel));
    m_portLabel->setText(qt(v.portLabel));
    m_dhcp->setText(qt(v.dhcpLabel));
    m_status->setText(qt(v.statusText));
    bool busy = m_screen.busy();
    m_search->setEnabled(!busy);
    m_change->setEnabled(!busy && v.changeEnabled);
    setCursor(busy ? Qt::BusyCursor : Qt::ArrowCursor);

    int shown = m_list->rowCount();
    int wanted = static_cast<int>(v.rows.size());
    if (wanted < shown) {
        m_list->setRowCount(0);
        shown = 0;
    }
    if (wanted > shown) {
        m_list->setRowCount(wanted);
        for (int r = shown; r < wanted; ++r) {
            const NetSettingRow& row = v.rows[static_cast<std::size_t>(r)];
            const std::string* texts[] = {&row.ipText, &row.portText, &row.subnetText,
                                          &row.gatewayText, &row.macText};
            for (int c = 0; c < 5; ++c)
                m_list->setItem(r, c, new QTableWidgetItem(qt(*texts[c])));
        }
        if (v.lastAdded >= 0)
            m_list->scrollToItem(m_list->item(v.lastAdded, 0));
    }
}

void NetSettingDialog::renderFields() {
    const NetSettingView& v = m_screen.view();
    m_ip->setText(qt(v.ipField));
    m_subnet->setText(qt(v.subnetField));
    m_gateway->setText(qt(v.gatewayField));
    m_port->setText(QString::number(v.portField));
    m_dhcp->setChecked(v.dhcpField);
}

} // namespace korva
