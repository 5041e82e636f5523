#pragma once
// The "KORVASet : User Setup" window over UserSetupScreen: every row of the screen as labels,
// radio pairs, lists and edits rendered from the screen's view after each call, the New Option
// group with the KORVA30 picture, the MODEL box and the five buttons (plus the hidden Receive
// Error row and Load/Save buttons).
//
// Replies decoded by the screen's reply thread are applied on the GUI thread: the reply
// thread's wake posts a pump to this window's event loop. Timer 100 is a QTimer.
#include "setup/UserSetupScreen.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

class QButtonGroup;
class QComboBox;
class QFormLayout;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace korva {

class PrinterPicture;
class QtTimerHost;

class UserSetupDialog : public QDialog {
    Q_OBJECT
public:
    using Choice = UserSetupScreen::Choice;
    using Edit = UserSetupScreen::Edit;

    explicit UserSetupDialog(UserSetupContext context, QWidget* parent = nullptr);
    ~UserSetupDialog() override;

    // Opens the link; false when the screen closed at once (its message has been shown).
    bool start();

    UserSetupScreen& screen() { return *m_screen; }
    // Lookups for tests and screenshots.
    QRadioButton* radio(Choice choice, int position) const;
    QComboBox* list(Choice choice) const;
    QLineEdit* edit(Edit which) const;
    QPushButton* getValueButton() const { return m_getValue; }
    QPushButton* setValueButton() const { return m_setValue; }
    QPushButton* testButton() const { return m_test; }
    QPushButton* defaultButton() const { return m_default; }
    QPushButton* exitButton() const { return m_exit; }
    QWidget* picture() const;

    void render();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override; // the window's close button and Esc act as EXIT

private:
    struct LabelRow {
        QLabel* label;
        LabelView UserSetupView::*field;
    };
    struct RadioRow {
        QRadioButton* first;
        QRadioButton* second;
        QButtonGroup* group;
        Choice choice;
        RadioPairView UserSetupView::*field;
    };
    struct ListRow {
        QComboBox* box;
        Choice choice;
        ListView UserSetupView::*field;
    };
    struct EditRow {
        QLineEdit* edit;
        Edit which;
        EditView UserSetupView::*field;
    };

    QLabel* label(LabelView UserSetupView::*field, QWidget* parent);
    QWidget* radioPair(Choice choice, RadioPairView UserSetupView::*field, QWidget* parent);
    QComboBox* listBox(Choice choice, ListView UserSetupView::*field, QWidget* parent);
    QLineEdit* editBox(Edit which, EditView UserSetupView::*field, QWidget* parent);
    QPushButton* button(const char* name, QWidget* parent);
    void act(const std::function<void()>& action);
    void afterCall();
    void buildLeft(QGroupBox* box);
    void buildRight(QGroupBox* box);

    std::unique_ptr<QtTimerHost> m_timers;
    std::unique_ptr<UserSetupScreen> m_screen;
    std::vector<LabelRow> m_labels;
    std::vector<RadioRow> m_radios;
    std::vector<ListRow> m_lists;
    std::vector<EditRow> m_edits;
    std::vector<QWidget*> m_receiveErrorRow;
    std::vector<LabelRow> m_rightRows; // the New Option rows, hidden whole by their label
    QFormLayout* m_rightForm = nullptr;
    QGroupBox* m_left = nullptr;
    QGroupBox* m_right = nullptr;
    QLabel* m_summary = nullptr;
    PrinterPicture* m_picture = nullptr;
    QPushButton* m_getValue = nullptr;
    QPushButton* m_setValue = nullptr;
    QPushButton* m_test = nullptr;
    QPushButton* m_default = nullptr;
    QPushButton* m_exit = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_save = nullptr;
    bool m_inCall = false;
};

} // namespace korva
