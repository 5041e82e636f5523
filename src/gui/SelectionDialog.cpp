#include "gui/SelectionDialog.h"

#include "gui/AppIcon.h"
#include "gui/QtText.h"

#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korva {

namespace {

void renderCombo(QComboBox* box, const ComboView& view) {
    showComboItems(box, view.items, view.selected);
    box->setEnabled(view.enabled);
}

} // namespace

SelectionDialog::SelectionDialog(const ScreenFactory& makeScreen, QWidget* parent)
    : QDialog(parent) {
    setObjectName("SelectionDialog");
    setWindowIcon(appIcon());
    m_screen = makeScreen(*this);

    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    addRow(m_deviceLabel, m_device, "device");
    addRow(m_portLabel, m_port, "port");
    addRow(m_baudLabel, m_baud, "baud");
    addRow(m_parityLabel, m_parity, "parity");
    addRow(m_dataLabel, m_data, "dataLength");
    addRow(m_flowLabel, m_flow, "flow");
    addRow(m_stopLabel, m_stop, "stopBit");
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, 2, 0, 1, 2);
    // The model and port first, then the serial parameters below a rule.
    const std::pair<QLabel*, QComboBox*> rows[] = {
        {m_deviceLabel, m_device}, {m_portLabel, m_port},     {nullptr, nullptr},
        {m_baudLabel, m_baud},     {m_parityLabel, m_parity}, {m_dataLabel, m_data},
        {m_flowLabel, m_flow},     {m_stopLabel, m_stop}};
    for (int r = 0; r < 8; ++r) {
        if (!rows[r].first)
            continue;
        grid->addWidget(rows[r].first, r, 0);
        grid->addWidget(rows[r].second, r, 1);
    }
    grid->setColumnStretch(1, 1);
    outer->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    m_ok = new QPushButton(this);
    m_ok->setObjectName("ok");
    m_ok->setDefault(true);
    m_cancel = new QPushButton(this);
    m_cancel->setObjectName("cancel");
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    outer->addSpacing(6);
    outer->addLayout(buttons);

    using Combo = SelectionScreen::Combo;
    const std::pair<QComboBox*, Combo> combos[] = {
        {m_device, Combo::Device}, {m_port, Combo::Port},       {m_baud, Combo::Baud},
        {m_parity, Combo::Parity}, {m_data, Combo::DataLength}, {m_flow, Combo::Flow},
        {m_stop, Combo::StopBit}};
    for (auto [box, which] : combos) {
        connect(box, qOverload<int>(&QComboBox::activated), this, [this, which = which](int i) {
            // A USB model's search can take four seconds on this thread.
            QApplication::setOverrideCursor(Qt::WaitCursor);
            m_screen->select(which, i);
            QApplication::restoreOverrideCursor();
            render();
        });
    }
    connect(m_ok, &QPushButton::clicked, this, [this] {
        m_screen->ok();
        render();
    });
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    render();
}

SelectionDialog::~SelectionDialog() = default;

void SelectionDialog::addRow(QLabel*& label, QComboBox*& box, const char* name) {
    label = new QLabel(this);
    box = new QComboBox(this);
    box->setObjectName(name);
    box->setMinimumWidth(190);
    box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(box);
}

void SelectionDialog::initialise(std::uint16_t langId, const FileVersion& version) {
    m_screen->initialise(langId, version);
    render();
}

QComboBox* SelectionDialog::combo(SelectionScreen::Combo which) const {
    using Combo = SelectionScreen::Combo;
    switch (which) {
    case Combo::Device:
        return m_device;
    case Combo::Port:
        return m_port;
    case Combo::Baud:
        return m_baud;
    case Combo::Parity:
        return m_parity;
    case Combo::DataLength:
        return m_data;
    case Combo::Flow:
        return m_flow;
    case Combo::StopBit:
        break;
    }
    return m_stop;
}

void SelectionDialog::render() {
    const SelectionView& v = m_screen->view();
    setWindowTitle(qt(v.title));
    m_deviceLabel->setText(qt(v.deviceLabel));
    m_portLabel->setText(qt(v.portLabel));
    m_baudLabel->setText(qt(v.baudLabel));
    m_parityLabel->setText(qt(v.parityLabel));
    m_dataLabel->setText(qt(v.dataLabel));
    m_flowLabel->setText(qt(v.flowLabel));
    m_stopLabel->setText(qt(v.stopLabel));
    m_ok->setText(qt(v.okCaption));
    m_cancel->setText(qt(v.cancelCaption));
    renderCombo(m_device, v.device);
    renderCombo(m_port, v.port);
    renderCombo(m_baud, v.baud);
    renderCombo(m_parity, v.parity);
    renderCombo(m_data, v.dataLength);
    renderCombo(m_flow, v.flow);
    renderCombo(m_stop, v.stopBit);
    m_ok->setEnabled(v.okEnabled);
}

void SelectionDialog::showTitle(const std::string& title) {
    setWindowTitle(qt(title));
    // The search runs on this thread; let the window paint between its pauses, but take no
    // clicks meanwhile.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool SelectionDialog::runNetworkScreen() {
    return runNetwork ? runNetwork() : false;
}

void SelectionDialog::runMainMenu() {
    if (runMenu)
        runMenu();
}

} // namespace korva
