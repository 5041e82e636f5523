#include "gui/FirmwareDialog.h"

#include "app/AppContext.h"
#include "app/ConnectionSummary.h"
#include "gui/AppIcon.h"
#include "gui/ProgressFooter.h"
#include "gui/QtText.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace korva {

FirmwareDialog::FirmwareDialog(FirmwareContext context, bool expert, QWidget* parent)
    : QDialog(parent), m_screen(std::make_unique<FirmwareScreen>(std::move(context))) {
    setObjectName("FirmwareDialog");
    setWindowIcon(appIcon());
    // The worker only posts: the update runs here, on the GUI thread. The screen joins its
    // worker before this window is gone (the destructor resets it first), so a posted call
    // never finds a destroyed window; Qt drops the calls still queued with the window.
    m_screen->setWake([this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (!m_screen)
                    return;
                m_screen->update();
                if (m_inCall)
                    return;
                render();
                if (m_screen->view().closed)
                    QDialog::reject();
            },
            Qt::QueuedConnection);
    });

    auto* outer = new QVBoxLayout(this);
    auto* fileRow = new QHBoxLayout;
    m_path = new QLineEdit(this);
    m_path->setObjectName("path");
    m_path->setReadOnly(true);
    m_path->setMinimumWidth(320);
    m_fileOpen = new QPushButton(this);
    m_fileOpen->setObjectName("fileOpen");
    m_fileOpen->setAutoDefault(false);
    fileRow->addWidget(m_path, 1);
    fileRow->addWidget(m_fileOpen);
    outer->addLayout(fileRow);

    auto* middle = new QHBoxLayout;
    m_areaGroup = new QGroupBox(this);
    m_areaGroup->setObjectName("areaGroup");
    auto* areaLayout = new QVBoxLayout(m_areaGroup);
    auto* areaButtons = new QButtonGroup(this);
    for (int i = 0; i < kFirmwareAreaCount; ++i) {
        auto* radio = new QRadioButton(m_areaGroup);
        radio->setObjectName(QString("area%1").arg(i));
        areaLayout->addWidget(radio);
        areaButtons->addButton(radio, i);
        m_areas[static_cast<std::size_t>(i)] = radio;
    }
    connect(areaButtons, &QButtonGroup::idClicked, this,
            [this](int id) { act([this, id] { m_screen->chooseArea(id); }); });
    middle->addWidget(m_areaGroup);

    auto* right = new QVBoxLayout;
    m_deviceGroup = new QGroupBox(this);
    m_deviceGroup->setObjectName("deviceGroup");
    auto* deviceLayout = new QVBoxLayout(m_deviceGroup);
    m_summary = new QLabel(m_deviceGroup);
    m_summary->setObjectName("summary");
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    deviceLayout->addWidget(m_summary);
    right->addWidget(m_deviceGroup);

    m_infoGroup = new QGroupBox(this);
    m_infoGroup->setObjectName("infoGroup");
    auto* info = new QGridLayout(m_infoGroup);
    m_checksumLabel = new QLabel(m_infoGroup);
    m_checksum = new QLineEdit(m_infoGroup);
    m_checksum->setObjectName("checksum");
    m_checksum->setReadOnly(true);
    m_fileSizeLabel = new QLabel(m_infoGroup);
    m_fileSize = new QLineEdit(m_infoGroup);
    m_fileSize->setObjectName("fileSize");
    m_fileSize->setReadOnly(true);
    m_fileSize->setAlignment(Qt::AlignRight);
    m_bytesLabel = new QLabel(m_infoGroup);
    info->addWidget(m_checksumLabel, 0, 0);
    info->addWidget(m_checksum, 0, 1);
    info->addWidget(m_fileSizeLabel, 1, 0);
    info->addWidget(m_fileSize, 1, 1);
    info->addWidget(m_bytesLabel, 1, 2);
    right->addWidget(m_infoGroup);
    middle->addLayout(right, 1);
    outer->addLayout(middle);

    std::tie(m_progress, m_download, m_exit) =
        addProgressFooter(this, outer, "download", "exit", true);

    connect(m_fileOpen, &QPushButton::clicked, this,
            [this] { act([this] { m_screen->chooseFile(); }); });
    connect(m_download, &QPushButton::clicked, this,
            [this] { act([this] { m_screen->download(); }); });
    connect(m_exit, &QPushButton::clicked, this, [this] { reject(); });

    m_screen->open(expert);
    render();
}

FirmwareDialog::~FirmwareDialog() {
    m_screen.reset(); // stops and joins a worker while this window is still whole
}

template <typename F> void FirmwareDialog::act(F&& call) {
    m_inCall = true;
    call();
    m_inCall = false;
    if (m_screen->view().closed) {
        QDialog::reject();
        return;
    }
    render();
}

void FirmwareDialog::reject() {
    if (m_screen->view().closed) {
        QDialog::reject();
        return;
    }
    act([this] { m_screen->exit(); });
}

void FirmwareDialog::render() {
    const FirmwareView& v = m_screen->view();
    setWindowTitle(qt(v.title));
    m_path->setText(qt(v.path));
    m_fileOpen->setText(qt(v.fileOpenCaption));
    m_fileOpen->setEnabled(v.fileOpenEnabled);
    m_areaGroup->setTitle(qt(v.areaGroupCaption));
    for (int i = 0; i < kFirmwareAreaCount; ++i) {
        QRadioButton* radio = m_areas[static_cast<std::size_t>(i)];
        radio->setText(qt(v.areaCaptions[static_cast<std::size_t>(i)]));
        radio->setEnabled(v.areaEnabled[static_cast<std::size_t>(i)] && !m_screen->running());
        radio->setChecked(v.area == i);
    }
    m_areas[AreaBoot]->setVisible(v.bootVisible);
    m_deviceGroup->setTitle(qt(v.deviceGroupCaption));
    m_summary->setText(qtMessage(v.summary));
    m_infoGroup->setTitle(qt(v.infoGroupCaption));
    m_checksumLabel->setText(qt(v.checksumCaption));
    m_checksum->setText(qt(v.checksum));
    m_fileSizeLabel->setText(qt(v.fileSizeCaption));
    m_fileSize->setText(qt(v.fileSize));
    m_bytesLabel->setText(qt(v.bytesCaption));
    m_progress->setRange(0, static_cast<int>(std::max<std::uint32_t>(v.progressMax, 1)));
    m_progress->setValue(
        static_cast<int>(std::min(v.progress, std::max<std::uint32_t>(v.progressMax, 1))));
    m_download->setText(qt(v.downloadCaption));
    m_download->setEnabled(v.downloadEnabled);
    m_exit->setText(qt(v.exitCaption));
}

void runFirmwareDialog(AppContext& app, QWidget* parent) {
    // Expert mode is the Ctrl key's state as the window opens, and lasts as long as it.
    bool expert = QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    FirmwareContext context{
        app.ports,    app.socket, app.ethernet, app.log,    app.catalogue,
        app.prompter, app.clock,  app.profile,  app.langId, connectionSummary(app.ports)};
    FirmwareDialog dialog(std::move(context), expert, parent);
    dialog.exec();
}

} // namespace korva
