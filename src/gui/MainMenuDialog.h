#pragma once
// The main menu window: renders MainMenu's view (title, connection summary, the four buttons)
// and forwards the clicks. The tools run modally from inside the clicks, through the host the
// menu was given.
#include "app/MainMenu.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace korva {

class MainMenuDialog : public QDialog {
    Q_OBJECT
public:
    MainMenuDialog(const ConnectionSettings& settings, MainMenuHost& host, std::uint16_t langId,
                   QWidget* parent = nullptr);

    MainMenu& menu() { return m_menu; }
    QLabel* summaryLabel() const { return m_summary; }
    QPushButton* logoButton() const { return m_logo; }
    QPushButton* userSetupButton() const { return m_userSetup; }
    QPushButton* firmwareButton() const { return m_firmware; }
    QPushButton* backButton() const { return m_back; }

private:
    void render();
    void afterClick();

    MainMenu m_menu;
    QLabel* m_summary;
    QPushButton* m_logo;
    QPushButton* m_userSetup;
    QPushButton* m_firmware;
    QPushButton* m_back;
};

} // namespace korva
