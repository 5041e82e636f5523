#pragma once
// The printer and port selection window: renders SelectionScreen's view and forwards the
// user's choices to it. It is the screen's SelectionHost: it repaints its title during the USB
// search and runs the network screen and the main menu through the callbacks it is given.
#include "app/SelectionScreen.h"

#include <QDialog>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;

namespace korva {

class SelectionDialog : public QDialog, private SelectionHost {
    Q_OBJECT
public:
    using ScreenFactory = std::function<std::unique_ptr<SelectionScreen>(SelectionHost&)>;

    explicit SelectionDialog(const ScreenFactory& makeScreen, QWidget* parent = nullptr);
    ~SelectionDialog() override;

    // The next screens, run modally over this window.
    std::function<bool()> runNetwork;
    std::function<void()> runMenu;

    // Runs the screen's initialisation (language, lists, error log, a preselected model).
    void initialise(std::uint16_t langId, const FileVersion& version);

    SelectionScreen& screen() { return *m_screen; }
    QComboBox* combo(SelectionScreen::Combo which) const;
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    void render();

private:
    void showTitle(const std::string& title) override;
    bool runNetworkScreen() override;
    void runMainMenu() override;

    void addRow(QLabel*& label, QComboBox*& box, const char* name);

    std::unique_ptr<SelectionScreen> m_screen;
    QLabel* m_deviceLabel = nullptr;
    QLabel* m_portLabel = nullptr;
    QLabel* m_baudLabel = nullptr;
    QLabel* m_parityLabel = nullptr;
    QLabel* m_dataLabel = nullptr;
    QLabel* m_flowLabel = nullptr;
    QLabel* m_stopLabel = nullptr;
    QComboBox* m_device = nullptr;
    QComboBox* m_port = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_parity = nullptr;
    QComboBox* m_data = nullptr;
    QComboBox* m_flow = nullptr;
    QComboBox* m_stop = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

} // namespace korva
