#pragma once
// The printer's user settings as the setup screen holds them, and the Write settings command
// built from them.
//
// Every setting is optional: an unset field is "not chosen" (never read, or never touched) and
// is left out of a write. Radio pairs and lists hold the position of the choice in the screen's
// order (the constants below); the left margin and the setup code are always present, because
// every write carries them. Pure data: no I/O, no threads.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korva {

struct SettingReply;

// Setting numbers (the byte after the Query / Write settings function code).
enum SettingNumber : std::uint8_t {
    SetNvUserMemory = 0x01,
    SetNvGraphicMemory = 0x02,
    SetPaperWidth = 0x03,
    SetPaperType = 0x74,
    SetColorDensity = 0x76,
    SetEmulation = 0xCC,
    SetKitchenBell = 0xCD,
    SetAutoCutter = 0xCE,
    SetSelfTestKey = 0xCF,
    SetPrintDensity = 0xD0,
    SetUsbMode = 0xD2,
    SetSleepMode = 0xD4,
    SetPaperSave = 0xD5,
    SetWaterMark = 0xF2,
    SetCutPosition = 0xF3,
    SetDrawerWithCut = 0xF4,
    SetBellTypeTimes = 0xF5,
    SetCodePage = 0xF6,
    SetCuttingMode = 0xF7,
    SetBoldKorean = 0xF8,
    SetPrintSpeed = 0xF9,
    SetLeftMargin = 0xFA,
    SetDrawerSelfTest = 0xFB,
    SetReceiveBuffer = 0xFC,
    SetStopBit = 0xFD,
    SetSetupCode = 0xFF,
};

// Positions of the choices, in the screen's order (first button 0, second button 1).
namespace pos {
constexpr int Width80 = 0, Width58Col30 = 1, Width58Col32 = 2;
constexpr int Black = 0, TwoColor = 1;
constexpr int Light = 0, Medium = 1, Dark = 2;
constexpr int Disable = 0, Enable = 1;                 // water mark, drawer with cutting
constexpr int Off = 0, On = 1;                         // cutting position, bold font, kitchen bell
constexpr int SelfTestEnable = 0, SelfTestDisable = 1; // drawer open in self-test
constexpr int Partial = 0, FullCut = 1;
constexpr int StopOne = 0, StopTwo = 1;
constexpr int Epson = 0, Star = 1;
constexpr int AutoCutOn = 0, AutoCutOff = 1;
constexpr int SelfTest = 0, HexaDump = 1;
constexpr int UsbModeUsb = 0, UsbModeCom = 1;
constexpr int OtherBell = 4; // bell type list: TAVEL Bell, Melody 1..3, Other Bell
} // namespace pos

struct PrinterSettings {
    std::optional<int> paperSave;       // 0..2
    std::optional<int> sleepMode;       // 0..3
    std::optional<int> emulation;       // Epson / Star
    std::optional<int> autoCutter;      // AutoCutOn / AutoCutOff
    std::optional<int> kitchenBell;     // Off / On
    std::optional<int> selfTestKey;     // SelfTest / HexaDump
    std::optional<int> printDensity;    // 0..3 = "LEVEL 1".."LEVEL 4"
    std::optional<int> usbMode;         // UsbModeUsb / UsbModeCom
    std::optional<int> paperWidth;      // Width80 / Width58Col30 / Width58Col32
    std::optional<int> paperType;       // Black / TwoColor
    std::optional<int> colorDensity;    // Light / Medium / Dark
    std::optional<int> waterMark;       // Disable / Enable
    int waterMarkImage = 1;             // 1..255, sent when enabled
    std::optional<int> cutPosition;     // Off / On
    int cutLines = 0;                   // 0..255, sent when ON
    std::optional<int> drawerWithCut;   // Disable / Enable
    std::optional<int> bellType;        // 0..4 bell list position
    std::optional<int> bellTimes;       // 0..4 times list position (1..5 times)
    std::optional<int> codePage;        // code page number (the value of setting 0xF6)
    std::optional<int> nvUserMemory;    // 0..4 = 64..320 KB
    std::optional<int> nvGraphicMemory; // 0..6 = 0..384 KB
    std::optional<int> cuttingMode;     // Partial / FullCut
    std::optional<int> printSpeed;      // mm/s: 220, 200, 180 or 150
    std::optional<int> boldKorean;      // Off / On
    std::optional<int> drawerSelfTest;  // SelfTestEnable / SelfTestDisable
    std::optional<int> stopBit;         // StopOne / StopTwo
    std::optional<int> receiveBuffer;   // receive buffer list position
    int leftMargin = 0;                 // dots, 0..512
    std::string setupCode = "0";        // as typed: up to 8 hexadecimal digits

    // True when nothing at all has a choice, the margin is 0 and the setup code text is "0".
    bool nothingChosen() const;

    // Applies one decoded reply (the Reply column of the value table). Returns false when the
    // reply changes nothing the table knows (an unknown number).
    bool applyReply(const SettingReply& reply);
};

// The fixed lists of the screen, in screen order.
struct SettingLists {
    static const std::vector<std::string>& nvUserMemory();    // "64".."320"
    static const std::vector<std::string>& nvGraphicMemory(); // "0".."384"
    static const std::vector<std::string>& printSpeed();      // "220","200","180","150"
    static const std::vector<std::string>& columns();         // "30 Column","32 Column"
    static const std::vector<std::string>& colorDensity();    // LIGHT, MEDIUM, DARK
    static const std::vector<std::string>& bellType();        // "TAVEL Bell".."Other Bell"
    static const std::vector<std::string>& bellTimes();       // "1".."5"
    static const std::vector<std::string>& sleepMode();       // "0 Min | OFF".."15 Min"
    static const std::vector<std::string>& paperSave();       // "OFF (Default)", ...
    static const std::vector<std::string>& printDensity();    // "LEVEL 1".."LEVEL 4"

    static int nvUserKb(int position);    // -1 for an invalid position
    static int nvGraphicKb(int position); // -1 for an invalid position
};

// The largest NV user plus NV graphic memory the printer accepts, in KB.
constexpr int kMaxNvMemoryKb = 448;

// The hexadecimal setup code rule: upper-cased, at most 8 characters, each 0-9 or A-F, the
// first most significant. std::nullopt for an invalid text (the write then sends 0).
std::optional<std::uint32_t> parseSetupCode(std::string_view text);
std::string formatSetupCode(std::uint32_t value); // "%X"

// What building a Write settings command did besides the bytes.
struct WriteSettingsResult {
    std::vector<std::uint8_t> command; // 1D 28 45 pL pH 05 records...
    bool carriesStopBit = false;       // a 0xFD record is in it
    bool carriesUsbMode = false;       // a 0xD2 record is in it (a USB mode change)
    bool setupCodeReset = false;       // the setup code text was invalid and is now "0"
};

// Builds Write settings with the records in their fixed order. Fills in what the write
// stores: an unset second colour density (with a paper type) becomes MEDIUM, unset bell times
// (with a bell type) become 3 times, an invalid setup code text becomes "0". A receive buffer
// position past the four the printer knows ("64","32","20","04") has no record and is left out.
WriteSettingsResult buildWriteSettings(PrinterSettings& settings);

} // namespace korva
