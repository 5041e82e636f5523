#include "setup/PrinterSettings.h"

#include "setup/CodePageList.h"
#include "setup/ReceiveBufferList.h"
#include "setup/SettingReplyParser.h"

#include <climits>
#include <cstdio>

namespace korva {

namespace {

std::uint8_t lo(int v) {
    return static_cast<std::uint8_t>(v & 0xFF);
}
std::uint8_t hi(int v) {
    return static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

int leadingNumber(const std::string& text) {
    long long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            break;
        v = v * 10 + (c - '0');
        if (v > 1000000)
            break; // far past every range; keeps the int sane
    }
    return static_cast<int>(v);
}

} // namespace

const std::vector<std::string>& SettingLists::nvUserMemory() {
    static const std::vector<std::string> l = {"64", "128", "192", "256", "320"};
    return l;
}
const std::vector<std::string>& SettingLists::nvGraphicMemory() {
    static const std::vector<std::string> l = {"0", "64", "128", "192", "256", "320", "384"};
    return l;
}
const std::vector<std::string>& SettingLists::printSpeed() {
    static const std::vector<std::string> l = {"220", "200", "180", "150"};
    return l;
}
const std::vector<std::string>& SettingLists::columns() {
    static const std::vector<std::string> l = {"30 Column", "32 Column"};
    return l;
}
const std::vector<std::string>& SettingLists::colorDensity() {
    static const std::vector<std::string> l = {"LIGHT", "MEDIUM", "DARK"};
    return l;
}
const std::vector<std::string>& SettingLists::bellType() {
    static const std::vector<std::string> l = {"TAVEL Bell", "TAVEL Melody 1", "TAVEL Melody 2",
                                               "TAVEL Melody 3", "Other Bell"};
    return l;
}
const std::vector<std::string>& SettingLists::bellTimes() {
    static const std::vector<std::string> l = {"1", "2", "3", "4", "5"};
    return l;
}
const std::vector<std::string>& SettingLists::sleepMode() {
    static const std::vector<std::string> l = {"0 Min | OFF", "5 Min", "10 Min", "15 Min"};
    return l;
}
const std::vector<std::string>& SettingLists::paperSave() {
    static const std::vector<std::string> l = {"OFF (Default)", "LV 1 (Recommend)", "LV2"};
    return l;
}
const std::vector<std::string>& SettingLists::printDensity() {
    static const std::vector<std::string> l = {"LEVEL 1", "LEVEL 2", "LEVEL 3", "LEVEL 4"};
    return l;
}

int SettingLists::nvUserKb(int position) {
    return position >= 0 && position < 5 ? 64 * (position + 1) : -1;
}

int SettingLists::nvGraphicKb(int position) {
    return position >= 0 && position < 7 ? 64 * position : -1;
}

bool PrinterSettings::nothingChosen() const {
    const std::optional<int>* all[] = {
        &paperSave,    &sleepMode,    &emulation,      &autoCutter,      &kitchenBell,
        &selfTestKey,  &printDensity, &usbMode,        &paperWidth,      &paperType,
        &colorDensity, &waterMark,    &cutPosition,    &drawerWithCut,   &bellType,
        &bellTimes,    &codePage,     &nvUserMemory,   &nvGraphicMemory, &cuttingMode,
        &printSpeed,   &boldKorean,   &drawerSelfTest, &stopBit,         &receiveBuffer};
    for (const std::optional<int>* f : all)
        if (f->has_value())
            return false;
    return leftMargin == 0 && setupCode == "0";
}

bool PrinterSettings::applyReply(const SettingReply& r) {
    // Up to 15 decimal digits may come back: saturate, so a huge number never wraps onto a
    // valid value (2^32 + 100 would otherwise read as a margin of 100).
    const int v = r.value > INT_MAX   ? INT_MAX
                  : r.value < INT_MIN ? INT_MIN
                                      : static_cast<int>(r.value);
    switch (r.number) {
    case SetNvUserMemory:
        nvUserMemory = v;
        return true;
    case SetNvGraphicMemory:
        nvGraphicMemory = v;
        return true;
    case SetPaperWidth:
        paperWidth = v - 1;
        return true;
    case SetPaperType:
        paperType = v == 2 ? pos::TwoColor : pos::Black;
        return true;
    case SetColorDensity:
        colorDensity = v == 70 ? pos::Light : v == 100 ? pos::Dark : pos::Medium;
        return true;
    case SetWaterMark:
        waterMark = v == 2 ? pos::Enable : pos::Disable;
        if (v == 2)
            waterMarkImage = leadingNumber(r.text);
        return true;
    case SetCutPosition:
        cutPosition = v == 2 ? pos::On : pos::Off;
        if (v == 2)
            cutLines = leadingNumber(r.text);
        return true;
    case SetDrawerWithCut:
        drawerWithCut = v == 2 ? pos::Enable : pos::Disable;
        return true;
    case SetBellTypeTimes:
        bellType = v >= '1' && v <= '4' ? v - '1' : pos::OtherBell;
        if (!r.text.empty() && r.text[0] >= '1' && r.text[0] <= '5')
            bellTimes = r.text[0] - '1';
        return true;
    case SetCodePage:
        if (CodePageList::positionOf(v) >= 0)
            codePage = v;
        else
            codePage.reset();
        return true;
    case SetCuttingMode:
        cuttingMode = v == 2 ? pos::FullCut : pos::Partial;
        return true;
    case SetBoldKorean:
        boldKorean = v == 2 ? pos::Off : pos::On;
        return true;
    case SetPrintSpeed:
        printSpeed = v == 150 || v == 180 || v == 200 ? v : 220;
        return true;
    case SetLeftMargin:
        leftMargin = v;
        return true;
    case SetDrawerSelfTest:
        drawerSelfTest = v == 2 ? pos::SelfTestDisable : pos::SelfTestEnable;
        return true;
    case SetReceiveBuffer: {
        int p = ReceiveBufferList::positionOfKb(v);
        if (p < 0)
            return false;
        receiveBuffer = p;
        return true;
    }
    case SetStopBit:
        stopBit = v == 2 ? pos::StopTwo : pos::StopOne;
        return true;
    case SetSetupCode:
        setupCode = formatSetupCode(static_cast<std::uint32_t>(r.value));
        return true;
    default:
        return false;
    }
}

std::optional<std::uint32_t> parseSetupCode(std::string_view text) {
    if (text.size() >= 9)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10; // upper-casing first makes these valid too
        else
            return std::nullopt;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value;
}

std::string formatSetupCode(std::uint32_t value) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%X", value);
    return buffer;
}

WriteSettingsResult buildWriteSettings(PrinterSettings& s) {
    WriteSettingsResult result;
    std::vector<std::uint8_t> rec;
    auto add = [&rec](std::uint8_t n, int b1, int b2) {
        rec.push_back(n);
        rec.push_back(lo(b1));
        rec.push_back(lo(b2));
    };

    // 1. The New Option group and the paper width.
    if (s.paperSave)
        add(SetPaperSave, *s.paperSave, 0);
    if (s.sleepMode)
        add(SetSleepMode, *s.sleepMode, 0);
    if (s.emulation)
        add(SetEmulation, *s.emulation == pos::Epson ? 2 : 1, 0);
    if (s.autoCutter)
        add(SetAutoCutter, *s.autoCutter == pos::AutoCutOn ? 1 : 2, 0);
    if (s.kitchenBell)
        add(SetKitchenBell, *s.kitchenBell == pos::Off ? 2 : 1, 0);
    if (s.selfTestKey)
        add(SetSelfTestKey, *s.selfTestKey == pos::SelfTest ? 2 : 1, 0);
    if (s.printDensity)
        add(SetPrintDensity, *s.printDensity + 1, 0);
    if (s.usbMode) {
        add(SetUsbMode, *s.usbMode == pos::UsbModeUsb ? 1 : 2, 0);
        result.carriesUsbMode = true;
    }
    if (s.paperWidth)
        add(SetPaperWidth,
            *s.paperWidth == pos::Width80        ? 6
            : *s.paperWidth == pos::Width58Col30 ? 2
                                                 : 3,
            0);

    // 2. Paper type with its second colour density, always together.
    if (s.paperType) {
        if (!s.colorDensity)
            s.colorDensity = pos::Medium;
        add(SetPaperType, 1, *s.paperType == pos::TwoColor ? 1 : 0);
        add(SetColorDensity,
            *s.colorDensity == pos::Light  ? 70
            : *s.colorDensity == pos::Dark ? 100
                                           : 85,
            0);
    }

    // 3. Water mark, cutting position, drawer with cutting.
    if (s.waterMark)
        add(SetWaterMark, 0, *s.waterMark == pos::Enable ? s.waterMarkImage : 0);
    if (s.cutPosition) {
        bool on = *s.cutPosition == pos::On;
        add(SetCutPosition, on ? 1 : 0, on ? s.cutLines : 0);
    }
    if (s.drawerWithCut)
        add(SetDrawerWithCut, 0, *s.drawerWithCut == pos::Enable ? 1 : 0);

    // 4. Kitchen bell type and times.
    if (s.bellType) {
        if (!s.bellTimes)
            s.bellTimes = 2; // 3 times
        add(SetBellTypeTimes, *s.bellType < pos::OtherBell ? *s.bellType + 1 : 0, *s.bellTimes + 1);
    }

    // 5. Code page, memory split, cutter, speed, font, drawer, stop bit, receive buffer.
    if (s.codePage)
        add(SetCodePage, *s.codePage, 0);
    if (s.nvUserMemory)
        add(SetNvUserMemory, *s.nvUserMemory + 1, 0);
    if (s.nvGraphicMemory)
        add(SetNvGraphicMemory, *s.nvGraphicMemory + 1, 0);
    if (s.cuttingMode)
        add(SetCuttingMode, *s.cuttingMode == pos::FullCut ? 1 : 0, 1);
    if (s.printSpeed)
        add(SetPrintSpeed, lo(*s.printSpeed), hi(*s.printSpeed));
    if (s.boldKorean)
        add(SetBoldKorean, *s.boldKorean == pos::Off ? 1 : 0, 1);
    if (s.drawerSelfTest)
        add(SetDrawerSelfTest, *s.drawerSelfTest == pos::SelfTestDisable ? 1 : 0, 1);
    if (s.stopBit) {
        add(SetStopBit, *s.stopBit == pos::StopTwo ? 1 : 0, 1);
        result.carriesStopBit = true;
    }
    if (s.receiveBuffer) {
        static const char* const kDigits[] = {"64", "32", "20", "04"};
        int p = *s.receiveBuffer;
        if (p >= 0 && p < 4)
            add(SetReceiveBuffer, kDigits[p][0], kDigits[p][1]);
    }

    // 6. Always: the left margin and the setup code.
    add(SetLeftMargin, lo(s.leftMargin), hi(s.leftMargin));
    std::optional<std::uint32_t> code = parseSetupCode(s.setupCode);
    if (!code) {
        s.setupCode.assign(1, '0'); // not = "0": GCC 12 warns falsely (-Wrestrict)
        result.setupCodeReset = true;
    }
    std::uint32_t c = code.value_or(0);
    rec.push_back(SetSetupCode);
    for (int i = 0; i < 4; ++i)
        rec.push_back(static_cast<std::uint8_t>(c >> (8 * i)));
    rec.push_back(0x04);

    std::size_t length = rec.size() + 1; // the function code 05 counts
    result.command = {0x1D, 0x28, 0x45, lo(static_cast<int>(length)), hi(static_cast<int>(length)),
                      0x05};
    result.command.insert(result.command.end(), rec.begin(), rec.end());
    return result;
}

} // namespace korva
