#pragma once
// The "Print to File" dialog: one edit box for the output file name, its label and one OK
// button. It only returns what was typed; the caller decides what an empty name means.
#include <QDialog>

class QLineEdit;

namespace korva {

class PrintToFileDialog : public QDialog {
    Q_OBJECT
public:
    PrintToFileDialog(const QString& title, const QString& label, QWidget* parent = nullptr);

    QString text() const;
    QLineEdit* edit() const { return m_edit; }

private:
    QLineEdit* m_edit;
};

} // namespace korva
