#pragma once
// The user setup screen's controls: the choices (a PrinterSettings), the view the window
// renders, and every rule that ties them together (radio and list rules with their questions,
// the 448 KB NV limit, the column list, the bell label, the model-dependent rows, the Default
// choices, the edits' range checks). No I/O: UserSetupScreen owns the link and calls this.
//
// Threads: the screen's thread only.
#include "base/Prompter.h"
#include "setup/PrinterSettings.h"
#include "setup/UserSetupView.h"

#include <string>
#include <vector>

namespace korva {

class MessageCatalogue;
class Prompter;
struct SettingReply;

class UserSetupForm {
public:
    // The choice controls (radio pairs and lists) the user can change.
    enum class Choice {
        PaperWidth,
        Columns,
        PaperType,
        ColorDensity,
        WaterMark,
        CutPosition,
        DrawerWithCut,
        BellType,
        BellTimes,
        CodePage,
        NvGraphic,
        NvUser,
        CuttingMode,
        PrintSpeed,
        DrawerSelfTest,
        BoldKorean,
        ReceiveBuffer,
        StopBit,
        Emulation,
        PrintDensity,
        AutoCutter,
        SelfTestKey,
        KitchenBell,
        UsbMode,
        PaperSave,
        SleepMode,
        ReceiveError
    };
    enum class Edit { WaterMarkImage, CutLines, Margin, SetupCode };

    UserSetupForm(const MessageCatalogue& catalogue, Prompter& prompter, bool korean);

    // Fills the lists, the edits' initial texts and the English captions (the state at open,
    // before the link is opened).
    void initialise(const std::string& summary, std::vector<std::string> receiveBufferItems);
    // Korean captions where the screen has them, the bold font row, the ModelKind rules.
    void applyCaptionsAndModelRules(int modelKind);

    // A radio click or list selection (position -1 clears a list). False when the control is
    // disabled or hidden or the position is out of range: nothing changes then.
    bool choose(Choice choice, int position);
    // Typing into an edit. False when disabled. The setup code edit's 8-character limit is
    // the window's (EditView::maxLength).
    bool setEdit(Edit edit, const std::string& text);

    // Back to the choices of an opened screen (all unset); keepMarginAndCode keeps those two,
    // and the listed choices keep theirs (with their companion values).
    void resetChoices(bool keepMarginAndCode, const std::vector<Choice>& keep);

    // Reads the edits into the choices with the dialog framework's integer range checks
    // (image number 1..255, line count 0..255, margin 0..512); false after showing why.
    bool readControls();

    // The Default button's choices (nothing is sent).
    void applyDefaults();

    // A decoded reply: updates the choice and the controls tied to it.
    void applyReply(const SettingReply& reply);

    // The five buttons together; getValueAllowed is false on a parallel port in timeout mode.
    void setButtons(bool enabled, bool getValueAllowed);
    // After a failed write: every setting control of the left group, Get Value, Set Value,
    // TEST and the edits are disabled; EXIT, Default, the stop bit pair and the New Option
    // group stay. The image number and line count go back to 1 and 0 when resetEdits.
    void disableAfterFailure(bool resetEdits);

    // Writes the choices into the view's selections and, withEdits, the edit texts.
    void refresh(bool withEdits = true);

    UserSetupView& view() { return m_view; }
    const UserSetupView& view() const { return m_view; }
    PrinterSettings& settings() { return m_settings; }
    const PrinterSettings& settings() const { return m_settings; }

    bool stopBitWarning() const { return m_stopBitWarning; }
    void clearStopBitWarning() { m_stopBitWarning = false; }

private:
    void checkNvLimit(Choice changed);
    std::string bellTimesLabel() const;
    Answer ask(const char* text);

    const MessageCatalogue& m_catalogue;
    Prompter& m_prompter;
    bool m_korean;
    UserSetupView m_view;
    PrinterSettings m_settings;
    int m_receiveError = -1;
    int m_columnHint = -1; // the column list's selection while 80 mm is chosen
    bool m_stopBitWarning = false;
};

} // namespace korva
