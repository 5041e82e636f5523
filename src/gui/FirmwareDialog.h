#pragma once
// The "KORVASet : Firmware Download" window over FirmwareScreen: the path field and File Open,
// the AREA radios, the DEVICE summary, the Information group (CHECKSUM, FileSize), the progress
// bar, DOWNLOAD and EXIT, rendered from the screen's view after every call.
//
// The transfer runs on the screen's worker thread; its wake posts an update to this window's
// event loop, so the window repaints, moves its progress and takes EXIT while bytes go out.
// The window's close button and Esc act as EXIT. GUI thread only.
#include "firmware/FirmwareScreen.h"

#include <QDialog>
#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace korva {

class AppContext;

class FirmwareDialog : public QDialog {
    Q_OBJECT
public:
    // expert: the Ctrl key was held when the window was asked for.
    FirmwareDialog(FirmwareContext context, bool expert, QWidget* parent = nullptr);
    ~FirmwareDialog() override;

    FirmwareScreen& screen() { return *m_screen; }
    QLineEdit* pathEdit() const { return m_path; }
    QPushButton* fileOpenButton() const { return m_fileOpen; }
    QRadioButton* areaButton(int index) const { return m_areas[static_cast<std::size_t>(index)]; }
    QLabel* summaryLabel() const { return m_summary; }
    QLineEdit* checksumEdit() const { return m_checksum; }
    QLineEdit* fileSizeEdit() const { return m_fileSize; }
    QProgressBar* progressBar() const { return m_progress; }
    QPushButton* downloadButton() const { return m_download; }
    QPushButton* exitButton() const { return m_exit; }

    void render();

protected:
    void reject() override; // the close button and Esc act as EXIT

private:
    template <typename F> void act(F&& call);

    std::unique_ptr<FirmwareScreen> m_screen;
    QLineEdit* m_path;
    QPushButton* m_fileOpen;
    QGroupBox* m_areaGroup;
    std::array<QRadioButton*, kFirmwareAreaCount> m_areas{};
    QGroupBox* m_deviceGroup;
    QLabel* m_summary;
    QGroupBox* m_infoGroup;
    QLabel* m_checksumLabel;
    QLineEdit* m_checksum;
    QLabel* m_fileSizeLabel;
    QLineEdit* m_fileSize;
    QLabel* m_bytesLabel;
    QProgressBar* m_progress;
    QPushButton* m_download;
    QPushButton* m_exit;
    bool m_inCall = false;
};

// The main menu's "Firmware Download" for every model but the KORVA10 class: the window over
// the application's connection, in expert mode when Ctrl is held at this moment.
void runFirmwareDialog(AppContext& app, QWidget* parent);

} // namespace korva
