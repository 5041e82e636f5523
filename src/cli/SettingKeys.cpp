#include "cli/SettingKeys.h"

#include "setup/CodePageList.h"
#include "setup/ReceiveBufferList.h"
#include "setup/SettingCommands.h"

#include <cctype>

namespace korva::cli {

namespace {

using Choice = UserSetupScreen::Choice;
using Edit = UserSetupScreen::Edit;

enum KeyId {
    KPaperWidth,
    KPaperType,
    KColorDensity,
    KWaterMark,
    KCutPosition,
    KDrawerWithCut,
    KBellType,
    KBellTimes,
    KCodePage,
    KNvGraphic,
    KNvUser,
    KCuttingMode,
    KPrintSpeed,
    KMargin,
    KDrawerSelfTest,
    KBoldFont,
    KReceiveBuffer,
    KStopBit,
    KSetupCode,
    KEmulation,
    KDensity,
    KAutoCut,
    KSelfTest,
    KKitchenBell,
    KUsbMode,
    KPaperSave,
    KSleepMode,
};

// A key that is one radio pair or fixed list: its choice control, the field it sets, and the
// accepted spellings of each position (the first one is how korvactl prints it).
struct ChoiceKey {
    int key;
    Choice choice;
    std::optional<int> PrinterSettings::*field;
    std::vector<std::vector<std::string>> spellings;
};

const std::vector<ChoiceKey>& choiceKeys() {
    static const std::vector<ChoiceKey> keys = {
        {KPaperType, Choice::PaperType, &PrinterSettings::paperType, {{"black"}, {"2color"}}},
        {KColorDensity,
         Choice::ColorDensity,
         &PrinterSettings::colorDensity,
         {{"light"}, {"medium"}, {"dark"}}},
        {KDrawerWithCut,
         Choice::DrawerWithCut,
         &PrinterSettings::drawerWithCut,
         {{"disable"}, {"enable"}}},
        {KBellType,
         Choice::BellType,
         &PrinterSettings::bellType,
         {{"tavel_bell"},
          {"tavel_melody_1"},
          {"tavel_melody_2"},
          {"tavel_melody_3"},
          {"other_bell"}}},
        {KBellTimes,
         Choice::BellTimes,
         &PrinterSettings::bellTimes,
         {{"1"}, {"2"}, {"3"}, {"4"}, {"5"}}},
        {KNvGraphic,
         Choice::NvGraphic,
         &PrinterSettings::nvGraphicMemory,
         {{"0"}, {"64"}, {"128"}, {"192"}, {"256"}, {"320"}, {"384"}}},
        {KNvUser,
         Choice::NvUser,
         &PrinterSettings::nvUserMemory,
         {{"64"}, {"128"}, {"192"}, {"256"}, {"320"}}},
        {KCuttingMode,
         Choice::CuttingMode,
         &PrinterSettings::cuttingMode,
         {{"partial"}, {"full_cut", "full"}}},
        {KDrawerSelfTest,
         Choice::DrawerSelfTest,
         &PrinterSettings::drawerSelfTest,
         {{"enable"}, {"disable"}}},
        {KBoldFont, Choice::BoldKorean, &PrinterSettings::boldKorean, {{"off"}, {"on"}}},
        {KStopBit, Choice::StopBit, &PrinterSettings::stopBit, {{"one", "1"}, {"two", "2"}}},
        {KEmulation, Choice::Emulation, &PrinterSettings::emulation, {{"epson"}, {"star"}}},
        {KDensity,
         Choice::PrintDensity,
         &PrinterSettings::printDensity,
         {{"1", "level_1"}, {"2", "level_2"}, {"3", "level_3"}, {"4", "level_4"}}},
        {KAutoCut, Choice::AutoCutter, &PrinterSettings::autoCutter, {{"on"}, {"off"}}},
        {KSelfTest,
         Choice::SelfTestKey,
         &PrinterSettings::selfTestKey,
         {{"self-test", "selftest"}, {"hexadump"}}},
        {KKitchenBell, Choice::KitchenBell, &PrinterSettings::kitchenBell, {{"off"}, {"on"}}},
        {KUsbMode, Choice::UsbMode, &PrinterSettings::usbMode, {{"usb"}, {"com"}}},
        {KPaperSave,
         Choice::PaperSave,
         &PrinterSettings::paperSave,
         {{"off", "off_(default)"}, {"lv1", "lv_1_(recommend)"}, {"lv2"}}},
        {KSleepMode,
         Choice::SleepMode,
         &PrinterSettings::sleepMode,
         {{"off", "0", "0_min_|_off"}, {"5", "5_min"}, {"10", "10_min"}, {"15", "15_min"}}},
    };
    return keys;
}

const ChoiceKey* choiceKey(int key) {
    for (const ChoiceKey& c : choiceKeys())
        if (c.key == key)
            return &c;
    return nullptr;
}

// Lower case, letters and digits only: "TAVEL Melody 1", "tavel_melody_1" and
// "tavel-melody-1" are the same value.
std::string normal(const std::string& s) {
    std::string out;
    for (char c : s)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int positionOf(const ChoiceKey& c, const std::string& value) {
    std::string v = normal(value);
    for (std::size_t p = 0; p < c.spellings.size(); ++p)
        for (const std::string& s : c.spellings[p])
            if (normal(s) == v)
                return static_cast<int>(p);
    return -1;
}

// A whole decimal number in [low, high]; false otherwise.
bool number(const std::string& text, int low, int high, int& out) {
    if (text.empty() || text.size() > 6)
        return false;
    for (char c : text)
        if (c < '0' || c > '9')
            return false;
    out = std::stoi(text);
    return out >= low && out <= high;
}

std::string radioText(const RadioPairView& r) {
    return r.selected == 0 ? r.first : r.selected == 1 ? r.second : "";
}

} // namespace

const std::vector<SettingKeys::Key>& SettingKeys::all() {
    static const std::vector<Key> keys = {
        {"paper_width", "Paper Width & Max. Column", 0x03, "80, 58/30, 58/32"},
        {"paper_type", "Paper Type", 0x74, "black, 2color"},
        {"color_density", "Second colour density", 0x76, "light, medium, dark"},
        {"water_mark", "Water Mark Function", 0xF2, "disable, or the image number 1..255"},
        {"cut_position", "Cutting postion adjustment Function", 0xF3,
         "off, or the line count 0..255"},
        {"drawer_with_cut", "Drawer open with cutting", 0xF4, "disable, enable"},
        {"bell_type", "Kitchen Bell Type & Length", 0xF5,
         "tavel_bell, tavel_melody_1, tavel_melody_2, tavel_melody_3, other_bell"},
        {"bell_times", "Kitchen Bell Times", 0xF5, "1..5"},
        {"code_page", "Default Code Page", 0xF6,
         "0 1 2 3 4 5 14 16 17 18 19 21 26 27 33 34 36 37 45 46 47 49 50 51 95 96 97 98 99 254"},
        {"nv_graphic", "NV Graphic Memory Size (KB)", 0x02, "0, 64, 128, 192, 256, 320, 384"},
        {"nv_user", "NV User Memory Size (KB)", 0x01, "64, 128, 192, 256, 320"},
        {"cutting_mode", "Cutting Mode Select", 0xF7, "partial, full_cut"},
        {"print_speed", "Max Print Speed (mm/sec)", 0xF9, "220, 200, 180, 150"},
        {"margin", "Set Left Paper Margin (dot)", 0xFA, "0..512"},
        {"drawer_self_test", "Drawer Open In Self-Test", 0xFB, "enable, disable"},
        {"bold_font", "Bold Korean Font", 0xF8, "off, on"},
        {"receive_buffer", "Receive Buffer Size (KB)", 0xFC,
         "an entry of the receive buffer list (64, 32, 20, 4)"},
        {"stop_bit", "STOP BIT(COM PORT)", 0xFD, "one, two"},
        {"setup_code", "Customize Setup Code", 0xFF,
         "up to 8 hexadecimal digits (other text is sent as 0)"},
        {"emulation", "Emulation", -1, "epson, star"},
        {"density", "Density", -1, "1, 2, 3, 4 (LEVEL 1..LEVEL 4)"},
        {"auto_cut", "AutoCut", -1, "on, off"},
        {"self_test", "SELF-TEST", -1, "self-test, hexadump"},
        {"kitchen_bell", "Kitchen Bell", -1, "off, on"},
        {"usb_mode", "USB mode", -1, "usb, com"},
        {"paper_save", "Paper Save Mode", -1, "off, lv1, lv2"},
        {"sleep_mode", "Sleep mode", -1, "off, 5, 10, 15 (minutes)"},
    };
    return keys;
}

int SettingKeys::find(const std::string& name) {
    const auto& keys = all();
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (name == keys[i].name)
            return static_cast<int>(i);
    return -1;
}

bool SettingKeys::parse(const std::string& text, const std::vector<std::string>& receiveBuffer,
                        SettingRequest& request, std::string& why) {
    std::size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0) {
        why = "\"" + text + "\" is not KEY=VALUE";
        return false;
    }
    std::string name = text.substr(0, eq);
    std::string value = text.substr(eq + 1);
    int key = find(name);
    if (key < 0) {
        why = "unknown setting key \"" + name + "\"";
        return false;
    }
    const Key& k = all()[static_cast<std::size_t>(key)];
    auto refuse = [&] {
        why = "\"" + value + "\" is not a value of " + name + " (values: " + k.valuesText + ")";
        return false;
    };
    int n = 0;
    std::string v = normal(value);
    switch (key) {
    case KPaperWidth:
        if (v != "80" && v != "5830" && v != "5832")
            return refuse();
        break;
    case KWaterMark:
        if (v != "disable" && !number(value, 1, 255, n))
            return refuse();
        break;
    case KCutPosition:
        if (v != "off" && !number(value, 0, 255, n))
            return refuse();
        break;
    case KCodePage:
        if (!number(value, 0, 255, n) || CodePageList::positionOf(n) < 0)
            return refuse();
        break;
    case KPrintSpeed:
        if (!number(value, 0, 999, n) || (n != 220 && n != 200 && n != 180 && n != 150))
            return refuse();
        break;
    case KMargin:
        if (!number(value, 0, 512, n))
            return refuse();
        break;
    case KReceiveBuffer: {
        // The screen chooses the first entry that reads so; its record depends only on that
        // position, so an entry that does not read as the size written would be no success.
        std::size_t p = 0;
        while (p < receiveBuffer.size() && normal(receiveBuffer[p]) != v)
            ++p;
        if (p == receiveBuffer.size())
            return refuse();
        const std::string entry = "the profile's receive buffer entry R_BUF_SZ" + std::to_string(p);
        const int kb = ReceiveBufferList::kbOfPosition(static_cast<int>(p));
        if (kb < 0) {
            why = "\"" + value + "\" is " + entry +
                  ", past the four sizes the printer has a record for (64, 32, 20, 4 KB)";
            return false;
        }
        if (!number(value, 0, 999, n) || n != kb) {
            why = "\"" + value + "\" is " + entry + ", but that place of the list writes " +
                  std::to_string(kb) + " KB to the printer";
            return false;
        }
        break;
    }
    case KSetupCode:
        // Any text, as typed into the screen: the setup code rule sends an invalid one as 0.
        if (value.empty() || value.size() > 64)
            return refuse();
        break;
    default: {
        const ChoiceKey* c = choiceKey(key);
        if (!c || positionOf(*c, value) < 0)
            return refuse();
        break;
    }
    }
    request.key = key;
    request.value = value;
    return true;
}

bool SettingKeys::apply(UserSetupScreen& s, const SettingRequest& r, std::string& why) {
    const char* name = all()[static_cast<std::size_t>(r.key)].name;
    auto refused = [&] {
        why = std::string(name) + " cannot be set: the screen has that row disabled or hidden "
                                  "for this printer";
        return false;
    };
    std::string v = normal(r.value);
    int n = 0;
    switch (r.key) {
    case KPaperWidth:
        if (v == "80")
            return s.choose(Choice::PaperWidth, 0) || refused();
        if (!s.choose(Choice::PaperWidth, 1))
            return refused();
        return s.choose(Choice::Columns, v == "5830" ? 0 : 1) || refused();
    case KWaterMark:
        if (v == "disable")
            return s.choose(Choice::WaterMark, 0) || refused();
        if (!s.choose(Choice::WaterMark, 1))
            return refused();
        // Answering No to the Two-color question leaves the water mark disabled.
        if (s.settings().waterMark != pos::Enable)
            return true;
        return s.setEdit(Edit::WaterMarkImage, r.value) || refused();
    case KCutPosition:
        if (v == "off")
            return s.choose(Choice::CutPosition, 0) || refused();
        return (s.choose(Choice::CutPosition, 1) && s.setEdit(Edit::CutLines, r.value)) ||
               refused();
    case KCodePage:
        number(r.value, 0, 255, n);
        return s.choose(Choice::CodePage, CodePageList::positionOf(n)) || refused();
    case KPrintSpeed: {
        const auto& items = s.view().printSpeed.items;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (items[i] == v)
                return s.choose(Choice::PrintSpeed, static_cast<int>(i)) || refused();
        return refused();
    }
    case KMargin:
        return s.setEdit(Edit::Margin, r.value) || refused();
    case KReceiveBuffer: {
        const auto& items = s.view().receiveBuffer.items;
        for (std::size_t i = 0; i < items.size(); ++i)
            if (normal(items[i]) == v)
                return s.choose(Choice::ReceiveBuffer, static_cast<int>(i)) || refused();
        return refused();
    }
    case KSetupCode:
        return s.setEdit(Edit::SetupCode, r.value) || refused();
    default: {
        const ChoiceKey* c = choiceKey(r.key);
        return (c && s.choose(c->choice, positionOf(*c, r.value))) || refused();
    }
    }
}

std::optional<std::string> SettingKeys::value(const UserSetupScreen& screen, int key) {
    const PrinterSettings& s = screen.settings();
    switch (key) {
    case KPaperWidth:
        if (!s.paperWidth)
            return std::nullopt;
        return *s.paperWidth == pos::Width80        ? "80"
               : *s.paperWidth == pos::Width58Col30 ? "58/30"
                                                    : "58/32";
    case KWaterMark:
        if (!s.waterMark)
            return std::nullopt;
        return *s.waterMark == pos::Enable ? std::to_string(s.waterMarkImage) : "disable";
    case KCutPosition:
        if (!s.cutPosition)
            return std::nullopt;
        return *s.cutPosition == pos::On ? std::to_string(s.cutLines) : "off";
    case KCodePage:
    case KPrintSpeed: {
        const std::optional<int>& f = key == KCodePage ? s.codePage : s.printSpeed;
        return f ? std::optional(std::to_string(*f)) : std::nullopt;
    }
    case KMargin:
        return std::to_string(s.leftMargin);
    case KReceiveBuffer: {
        // The size the position stands for, whatever the profile's list calls it.
        int kb = s.receiveBuffer ? ReceiveBufferList::kbOfPosition(*s.receiveBuffer) : -1;
        return kb < 0 ? std::nullopt : std::optional(std::to_string(kb));
    }
    case KSetupCode:
        return s.setupCode;
    default: {
        const ChoiceKey* c = choiceKey(key);
        if (!c)
            return std::nullopt;
        const std::optional<int>& f = s.*(c->field);
        if (!f || *f < 0 || *f >= static_cast<int>(c->spellings.size()))
            return std::nullopt;
        return c->spellings[static_cast<std::size_t>(*f)].front();
    }
    }
}

std::string SettingKeys::wording(const UserSetupScreen& screen, int key) {
    const UserSetupView& v = screen.view();
    const PrinterSettings& s = screen.settings();
    switch (key) {
    case KPaperWidth:
        if (v.paperWidth.selected == 1)
            return radioText(v.paperWidth) + ", " + v.columns.text();
        return radioText(v.paperWidth);
    case KPaperType:
        return radioText(v.paperType);
    case KColorDensity:
        return v.colorDensity.text();
    case KWaterMark:
        return radioText(v.waterMark) +
               (s.waterMark == pos::Enable ? ", Image# " + std::to_string(s.waterMarkImage) : "");
    case KCutPosition:
        return radioText(v.cutPosition) +
               (s.cutPosition == pos::On ? ", " + std::to_string(s.cutLines) + " Lines" : "");
    case KDrawerWithCut:
        return radioText(v.drawerWithCut);
    case KBellType:
        return v.bellType.text();
    case KBellTimes:
        return v.bellTimes.text().empty() ? "" : v.bellTimes.text() + " " + v.timesLabel.text;
    case KCodePage:
        return v.codePage.text();
    case KNvGraphic:
        return v.nvGraphic.text().empty() ? "" : v.nvGraphic.text() + " KB";
    case KNvUser:
        return v.nvUser.text().empty() ? "" : v.nvUser.text() + " KB";
    case KCuttingMode:
        return radioText(v.cuttingMode);
    case KPrintSpeed:
        return v.printSpeed.text().empty() ? "" : v.printSpeed.text() + " mm/sec";
    case KMargin:
        return std::to_string(s.leftMargin) + " dot";
    case KDrawerSelfTest:
        return radioText(v.drawerSelfTest);
    case KBoldFont:
        return radioText(v.boldKorean);
    case KReceiveBuffer:
        return v.receiveBuffer.text().empty() ? "" : v.receiveBuffer.text() + " KB";
    case KStopBit:
        return radioText(v.stopBit);
    case KSetupCode:
        return s.setupCode;
    case KEmulation:
        return radioText(v.emulation);
    case KDensity:
        return v.printDensity.text();
    case KAutoCut:
        return radioText(v.autoCutter);
    case KSelfTest:
        return radioText(v.selfTestKey);
    case KKitchenBell:
        return radioText(v.kitchenBell);
    case KUsbMode:
        return radioText(v.usbMode);
    case KPaperSave:
        return v.paperSave.text();
    case KSleepMode:
        return v.sleepMode.text();
    default:
        return "";
    }
}

std::string SettingKeys::rowCaption(const UserSetupScreen& screen, int key) {
    static const std::pair<int, LabelView UserSetupView::*> rows[] = {
        {KPaperWidth, &UserSetupView::paperWidthLabel},
        {KPaperType, &UserSetupView::paperTypeLabel},
        {KWaterMark, &UserSetupView::waterMarkLabel},
        {KCutPosition, &UserSetupView::cutPositionLabel},
        {KDrawerWithCut, &UserSetupView::drawerWithCutLabel},
        {KBellType, &UserSetupView::bellTypeLabel},
        {KCodePage, &UserSetupView::codePageLabel},
        {KNvGraphic, &UserSetupView::nvGraphicLabel},
        {KNvUser, &UserSetupView::nvUserLabel},
        {KCuttingMode, &UserSetupView::cuttingModeLabel},
        {KPrintSpeed, &UserSetupView::speedLabel},
        {KMargin, &UserSetupView::marginLabel},
        {KDrawerSelfTest, &UserSetupView::drawerSelfTestLabel},
        {KReceiveBuffer, &UserSetupView::receiveBufferLabel},
        {KStopBit, &UserSetupView::stopBitLabel},
        {KSetupCode, &UserSetupView::setupCodeLabel},
        {KEmulation, &UserSetupView::emulationLabel},
        {KDensity, &UserSetupView::densityLabel},
        {KAutoCut, &UserSetupView::autoCutLabel},
        {KKitchenBell, &UserSetupView::kitchenBellLabel},
        {KUsbMode, &UserSetupView::usbModeLabel},
        {KPaperSave, &UserSetupView::paperSaveLabel},
        {KSleepMode, &UserSetupView::sleepLabel},
    };
    static const UserSetupView english = [] {
        UserSetupView v;
        setUserSetupCaptions(v, false);
        return v;
    }();
    for (const auto& [k, label] : rows) {
        const std::string& shown = (screen.view().*label).text;
        // A translated row reads as the screen shows it; the others keep the key's caption.
        if (k == key && !shown.empty() && shown != (english.*label).text)
            return shown;
    }
    return all()[static_cast<std::size_t>(key)].caption;
}

bool SettingKeys::sameValue(const std::string& a, const std::string& b) {
    std::string x = normal(a), y = normal(b);
    auto digits = [](const std::string& t) {
        return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (digits(x) && digits(y) && x.size() < 10 && y.size() < 10)
        return std::stoul(x) == std::stoul(y);
    return x == y;
}

std::vector<int> SettingKeys::answeredKeys(const UserSetupScreen& screen) {
    std::vector<int> keys;
    const auto& table = all();
    for (std::uint8_t n : screen.queryList())
        for (std::size_t i = 0; i < table.size(); ++i)
            if (table[i].number == n)
                keys.push_back(static_cast<int>(i));
    return keys;
}

} // namespace korva::cli
