#include "gui/PrintToFileDialog.h"

#include "gui/AppIcon.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace korva {

PrintToFileDialog::PrintToFileDialog(const QString& title, const QString& label, QWidget* parent)
    : QDialog(parent) {
    setObjectName("PrintToFileDialog");
    setWindowTitle(title.isEmpty() ? QStringLiteral("Print to File") : title);
    setWindowIcon(appIcon());
    auto* layout = new QVBoxLayout(this);
    auto* caption =
        new QLabel(label.isEmpty() ? QStringLiteral("Input the output file name") : label, this);
    m_edit = new QLineEdit(this);
    m_edit->setObjectName("fileName");
    m_edit->setMinimumWidth(280);
    caption->setBuddy(m_edit);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("ok");
    ok->setDefault(true);
    layout->addWidget(caption);
    layout->addWidget(m_edit);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    layout->addLayout(row);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

QString PrintToFileDialog::text() const {
    return m_edit->text();
}

} // namespace korva
