#include "gui/LogoProgressDialog.h"

#include "gui/AppIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace korva {

LogoProgressDialog::LogoProgressDialog(const QString& title, QWidget* parent) : QDialog(parent) {
    setObjectName("LogoProgressDialog");
    setWindowTitle(title);
    setWindowIcon(appIcon());
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    m_status = new QLabel(this);
    m_status->setObjectName("status");
    m_status->setMinimumWidth(340);
    m_status->setTextFormat(Qt::PlainText);
    m_bar = new QProgressBar(this);
    m_bar->setObjectName("progress");
    m_bar->setTextVisible(false);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName("cancel");
    m_cancel->setAutoDefault(false);
    layout->addWidget(m_status);
    layout->addWidget(m_bar);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(m_cancel);
    row->addStretch();
    layout->addLayout(row);
    connect(m_cancel, &QPushButton::clicked, this, &LogoProgressDialog::cancelRequested);
}

void LogoProgressDialog::showStatus(const QString& text, int position, int maximum) {
    m_status->setText(text);
    m_bar->setRange(0, maximum > 0 ? maximum : 1);
    m_bar->setValue(position < 0 ? 0 : position);
}

void LogoProgressDialog::setCancelEnabled(bool enabled) {
    m_cancel->setEnabled(enabled);
}

void LogoProgressDialog::reject() {
    emit cancelRequested();
}

} // namespace korva
