#include "gui/MainMenuDialog.h"

#include "gui/AppIcon.h"
#include "gui/QtText.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korva {

MainMenuDialog::MainMenuDialog(const ConnectionSettings& settings, MainMenuHost& host,
                               std::uint16_t langId, QWidget* parent)
    : QDialog(parent), m_menu(settings, host) {
    setObjectName("MainMenuDialog");
    setWindowIcon(appIcon());
    auto* layout = new QVBoxLayout(this);
    m_summary = new QLabel(this);
    m_summary->setObjectName("summary");
    m_summary->setFrameShape(QFrame::StyledPanel);
    m_summary->setFrameShadow(QFrame::Sunken);
    m_summary->setMargin(8);
    m_summary->setMinimumWidth(240);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_summary);

    auto button = [this, layout](const char* name) {
        auto* b = new QPushButton(this);
        b->setObjectName(name);
        b->setMinimumHeight(34);
        b->setAutoDefault(false);
        layout->addWidget(b);
        return b;
    };
    m_logo = button("logo");
    m_userSetup = button("userSetup");
    m_firmware = button("firmware");
    layout->addSpacing(8);
    m_back = button("back");

    connect(m_logo, &QPushButton::clicked, this, [this] {
        m_menu.logoDownload();
        afterClick();
    });
    connect(m_userSetup, &QPushButton::clicked, this, [this] {
        m_menu.userSetup();
        afterClick();
    });
    connect(m_firmware, &QPushButton::clicked, this, [this] {
        m_menu.firmwareDownload();
        afterClick();
    });
    connect(m_back, &QPushButton::clicked, this, [this] {
        m_menu.back();
        afterClick();
    });

    m_menu.open(langId);
    render();
}

void MainMenuDialog::render() {
    const MainMenuView& v = m_menu.view();
    setWindowTitle(qt(v.title));
    m_summary->setText(qtMessage(v.summary));
    m_logo->setText(qt(v.logoCaption));
    m_userSetup->setText(qt(v.userSetupCaption));
    m_firmware->setText(qt(v.firmwareCaption));
    m_back->setText(qt(v.backCaption));
    m_logo->setEnabled(v.logoEnabled);
    m_userSetup->setEnabled(v.userSetupEnabled);
    m_firmware->setEnabled(v.firmwareEnabled);
}

void MainMenuDialog::afterClick() {
    if (m_menu.view().closed) {
        reject();
        return;
    }
    render();
}

} // namespace korva
