#pragma once
// The "KORVASet : KORVA10 Firmware Download" window over Korva10FirmwareScreen: the file path and
// name with "&Open", the "SELECT AREA" radios, the "DEVICE" box with the connection summary, a
// progress bar, "OK" and "CANCEL". The captions are English in both languages.
//
// The printer's DLE replies arrive on the CPorts receive thread; its wake only posts a pump to
// this window's event loop, where the screen applies them. The erase waits and the parallel
// loop are QTimers, so CANCEL is taken in every state. Closing the window is CANCEL.
#include "firmware/Korva10FirmwareScreen.h"

#include <QDialog>
#include <array>
#include <memory>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace korva {

class AppContext;
class QtTimerHost;

class Korva10FirmwareDialog : public QDialog {
    Q_OBJECT
public:
    explicit Korva10FirmwareDialog(Korva10FirmwareContext context, QWidget* parent = nullptr);
    ~Korva10FirmwareDialog() override;

    // The screen for the program's connection, run modally over parent.
    static void run(AppContext& app, QWidget* parent);

    Korva10FirmwareScreen& screen() { return *m_screen; }
    QLineEdit* pathEdit() const { return m_path; }
    QLineEdit* nameEdit() const { return m_name; }
    QPushButton* openButton() const { return m_open; }
    QRadioButton* areaButton(int index) const { return m_areas[static_cast<std::size_t>(index)]; }
    QLabel* summaryLabel() const { return m_summary; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void render();

protected:
    void reject() override; // the close button and Esc are CANCEL

private:
    void afterCall();

    std::unique_ptr<QtTimerHost> m_timers;
    std::unique_ptr<Korva10FirmwareScreen> m_screen;
    QLineEdit* m_path;
    QLineEdit* m_name;
    QPushButton* m_open;
    QGroupBox* m_areaGroup;
    QButtonGroup* m_areaButtons;
    std::array<QRadioButton*, korva10::kAreaCount> m_areas{};
    QGroupBox* m_deviceGroup;
    QLabel* m_summary;
    QProgressBar* m_progress;
    QPushButton* m_ok;
    QPushButton* m_cancel;
    bool m_inCall = false;
};

} // namespace korva
