#pragma once
// What the user setup window shows: every control's caption, value, enabled and visible flag,
// the cursor and the title. Plain data, written by UserSetupScreen after every call and read by
// the window (or korvactl, or a test). Selections are positions (-1: nothing chosen); radio
// pairs are 0 for the first button, 1 for the second.
#include <string>
#include <vector>

namespace korva {

struct LabelView {
    std::string text;
    bool enabled = true;
    bool visible = true;
};

struct RadioPairView {
    std::string first, second; // button captions
    int selected = -1;
    bool enabled = true;
    bool visible = true;
};

struct ListView {
    std::vector<std::string> items;
    int selected = -1;
    bool enabled = true;
    bool visible = true;
    std::string text() const; // the chosen item, "" when none
};

struct EditView {
    std::string text;
    bool enabled = true;
    std::size_t maxLength = 0; // 0: no limit
};

struct ButtonView {
    std::string caption;
    bool enabled = true;
    bool visible = true;
};

enum class Cursor { Arrow, Wait };

struct UserSetupView {
    std::string title;
    std::string summary; // the MODEL box
    Cursor cursor = Cursor::Arrow;
    std::string frameTitle;

    LabelView paperWidthLabel;
    RadioPairView paperWidth; // 80mm / 58mm
    ListView columns;         // "30 Column" / "32 Column"
    LabelView paperTypeLabel;
    RadioPairView paperType; // Black / 2Color
    ListView colorDensity;
    LabelView waterMarkLabel;
    RadioPairView waterMark; // Disable / Enable
    LabelView imageLabel;
    EditView waterMarkImage; // 1..255
    LabelView cutPositionLabel;
    RadioPairView cutPosition; // OFF / ON
    LabelView linesLabel;
    EditView cutLines; // 0..255
    LabelView drawerWithCutLabel;
    RadioPairView drawerWithCut; // Disable / Enable
    LabelView bellTypeLabel;
    ListView bellType;
    ListView bellTimes;
    LabelView timesLabel; // "Times" or " / 5"
    LabelView codePageLabel;
    ListView codePage;
    LabelView nvGraphicLabel;
    ListView nvGraphic;
    LabelView nvUserLabel;
    ListView nvUser;
    LabelView cuttingModeLabel;
    RadioPairView cuttingMode; // Partial / Full Cut
    LabelView speedLabel;
    ListView printSpeed;
    LabelView marginLabel;
    LabelView marginUnit;
    EditView margin; // 0..512
    LabelView drawerSelfTestLabel;
    RadioPairView drawerSelfTest; // Enable / Disable
    LabelView boldLabel;
    RadioPairView boldKorean; // OFF / ON
    LabelView receiveBufferLabel;
    ListView receiveBuffer;
    LabelView stopBitLabel;
    RadioPairView stopBit; // ONE / TWO
    LabelView setupCodeLabel;
    EditView setupCode; // at most 8 characters

    // The New Option group.
    LabelView newOptionGroup;
    LabelView emulationLabel;
    RadioPairView emulation; // EPSON / STAR
    LabelView densityLabel;
    ListView printDensity; // "LEVEL 1".."LEVEL 4"
    LabelView autoCutLabel;
    RadioPairView autoCutter; // ON / OFF
    LabelView selfTestLabel;
    RadioPairView selfTestKey; // Self-Test / HexaDump
    LabelView kitchenBellLabel;
    RadioPairView kitchenBell; // OFF / ON
    LabelView usbModeLabel;
    RadioPairView usbMode; // USB / COM
    LabelView paperSaveLabel;
    ListView paperSave;
    LabelView sleepLabel;
    ListView sleepMode;
    bool pictureVisible = false;

    // Present but hidden, and doing nothing.
    RadioPairView receiveError; // Print '?' / IGNORE
    ButtonView load, save;

    ButtonView getValue, setValue, test, defaults, exit;
};

// Fills every caption in English, or in Korean where the screen has a Korean caption.
void setUserSetupCaptions(UserSetupView& view, bool korean);

} // namespace korva
