#include "gui/Korva10FirmwareDialog.h"

#include "app/AppContext.h"
#include "app/ConnectionSummary.h"
#include "gui/AppIcon.h"
#include "gui/ProgressFooter.h"
#include "gui/QtText.h"
#include "gui/QtTimerHost.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace korva {

Korva10FirmwareDialog::Korva10FirmwareDialog(Korva10FirmwareContext context, QWidget* parent)
    : QDialog(parent), m_timers(std::make_unique<QtTimerHost>()) {
    setObjectName("Korva10FirmwareDialog");
    setWindowIcon(appIcon());
    m_screen = std::make_unique<Korva10FirmwareScreen>(std::move(context), *m_timers);
    m_timers->setClient(m_screen.get());
    m_timers->afterFire = [this] { afterCall(); };
    QPointer<Korva10FirmwareDialog> self(this);
    m_screen->setReplyWake([self] {
        QMetaObject::invokeMethod(
            qApp,
            [self] {
                if (self && self->m_screen && !self->m_inCall) {
                    self->m_inCall = true;
                    self->m_screen->pumpReplies();
                    self->m_inCall = false;
                    self->afterCall();
                }
            },
            Qt::QueuedConnection);
    });

    auto* outer = new QVBoxLayout(this);
    auto* file = new QGridLayout;
    m_path = new QLineEdit(this);
    m_path->setObjectName("path");
    m_path->setReadOnly(true);
    m_path->setMinimumWidth(320);
    m_name = new QLineEdit(this);
    m_name->setObjectName("name");
    m_name->setReadOnly(true);
    m_open = new QPushButton(this);
    m_open->setObjectName("open");
    m_open->setAutoDefault(false);
    file->addWidget(m_path, 0, 0);
    file->addWidget(m_open, 0, 1);
    file->addWidget(m_name, 1, 0);
    outer->addLayout(file);

    auto* middle = new QHBoxLayout;
    m_areaGroup = new QGroupBox(this);
    m_areaGroup->setObjectName("areaGroup");
    auto* areas = new QVBoxLayout(m_areaGroup);
    m_areaButtons = new QButtonGroup(this);
    for (int i = 0; i < korva10::kAreaCount; ++i) {
        auto* radio = new QRadioButton(m_areaGroup);
        radio->setObjectName(QString("area%1").arg(i));
        areas->addWidget(radio);
        m_areaButtons->addButton(radio, i);
        m_areas[static_cast<std::size_t>(i)] = radio;
    }
    middle->addWidget(m_areaGroup);
    m_deviceGroup = new QGroupBox(this);
    m_deviceGroup->setObjectName("deviceGroup");
    auto* device = new QVBoxLayout(m_deviceGroup);
    m_summary = new QLabel(m_deviceGroup);
    m_summary->setObjectName("summary");
    m_summary->setMinimumWidth(200);
    m_summary->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    device->addWidget(m_summary);
    middle->addWidget(m_deviceGroup, 1);
    outer->addLayout(middle);

    std::tie(m_progress, m_ok, m_cancel) = addProgressFooter(this, outer, "ok", "cancel", false);

    auto act = [this](auto call) {
        m_inCall = true;
        call();
        m_inCall = false;
        afterCall();
    };
    connect(m_open, &QPushButton::clicked, this,
            [this, act] { act([this] { m_screen->chooseFile(); }); });
    connect(m_areaButtons, &QButtonGroup::idClicked, this,
            [this, act](int id) { act([this, id] { m_screen->chooseArea(id); }); });
    connect(m_ok, &QPushButton::clicked, this, [this, act] { act([this] { m_screen->ok(); }); });
    connect(m_cancel, &QPushButton::clicked, this,
            [this, act] { act([this] { m_screen->cancel(); }); });

    // Title and progress move while a call runs (the erase packet, each write packet).
    m_screen->onProgress = [this] {
        if (m_inCall)
            render();
    };
    m_screen->open();
    render();
}

Korva10FirmwareDialog::~Korva10FirmwareDialog() {
    // The screen ends the receive path before the widgets it reports to go away.
    if (m_screen)
        m_screen->onProgress = nullptr;
    m_screen.reset();
}

void Korva10FirmwareDialog::run(AppContext& app, QWidget* parent) {
    Korva10FirmwareDialog dialog(Korva10FirmwareContext{app.ports, app.log, app.catalogue,
                                                        app.prompter, app.clock, app.profile,
                                                        app.langId, connectionSummary(app.ports)},
                                 parent);
    dialog.exec();
}

void Korva10FirmwareDialog::render() {
    const Korva10FirmwareView& v = m_screen->view();
    setWindowTitle(qt(v.title));
    m_path->setText(qt(v.path));
    m_name->setText(qt(v.name));
    m_open->setText(qt(v.openCaption));
    m_areaGroup->setTitle(qt(v.areaGroupCaption));
    m_deviceGroup->setTitle(qt(v.deviceGroupCaption));
    m_summary->setText(qtMessage(v.summary));
    const bool idle = !m_screen->running();
    for (std::size_t i = 0; i < m_areas.size(); ++i) {
        m_areas[i]->setText(qt(v.areaCaptions[i]));
        m_areas[i]->setEnabled(v.areaEnabled[i] && idle);
        m_areas[i]->setChecked(static_cast<int>(i) == v.area);
    }
    m_open->setEnabled(idle);
    const int span = static_cast<int>(v.progressMax - v.progressMin);
    m_progress->setRange(0, span > 0 ? span : 1);
    m_progress->setValue(span > 0 ? static_cast<int>(v.progress - v.progressMin) : 0);
    m_ok->setText(qt(v.okCaption));
    m_ok->setEnabled(v.okEnabled);
    m_cancel->setText(qt(v.cancelCaption));
}

void Korva10FirmwareDialog::afterCall() {
    if (m_screen->view().closed) {
        QDialog::reject();
        return;
    }
    render();
}

void Korva10FirmwareDialog::reject() {
    if (!m_screen->view().closed) {
        m_inCall = true;
        m_screen->cancel();
        m_inCall = false;
    }
    QDialog::reject();
}

} // namespace korva
