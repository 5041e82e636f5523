#pragma once
// The logo tool's transfer windows, "Uploading" and "Printing": a status text, a progress bar
// and Cancel. The window shows what it is told; Cancel, Esc and the close button all report
// cancelRequested() and leave closing to the caller, which ends the window (done()) when its
// controller has finished.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace korva {

class LogoProgressDialog : public QDialog {
    Q_OBJECT
public:
    LogoProgressDialog(const QString& title, QWidget* parent = nullptr);

    void showStatus(const QString& text, int position, int maximum);
    void setCancelEnabled(bool enabled);

    QLabel* statusLabel() const { return m_status; }
    QProgressBar* progressBar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void cancelRequested();

public slots:
    void reject() override;

private:
    QLabel* m_status;
    QProgressBar* m_bar;
    QPushButton* m_cancel;
};

} // namespace korva
