#include "setup/UserSetupForm.h"

#include "app/ModelRules.h"
#include "base/MessageCatalogue.h"
#include "base/Prompter.h"
#include "setup/CodePageList.h"
#include "setup/SettingReplyParser.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace korva {

namespace {

const char* const kNotice = "Notice";
const char* const kReserved = "Reserved";
const char* const kWaterMarkVsTwoColor =
    "Water mark print is impossible in Two-color print mode.\nDisable water mark function?";
const char* const kTwoColorVsWaterMark =
    "Water mark print is impossible in Two-color print mode.\nSelect One-color mode?";

std::string withNumber(const char* format, int value) {
    std::string text = format;
    std::size_t at = text.find("%d");
    if (at != std::string::npos)
        text.replace(at, 2, std::to_string(value));
    return text;
}

// The integer an edit holds, as the dialog framework reads it; false for no integer.
bool editInteger(const std::string& text, long& value) {
    std::size_t b = text.find_first_not_of(" \t");
    std::size_t e = text.find_last_not_of(" \t");
    if (b == std::string::npos)
        return false;
    std::string t = text.substr(b, e - b + 1);
    char* end = nullptr;
    errno = 0;
    value = std::strtol(t.c_str(), &end, 10);
    return errno == 0 && end && *end == '\0' && end != t.c_str();
}

void setRadio(RadioPairView& r, const std::optional<int>& v) {
    r.selected = v ? *v : -1;
}
void setList(ListView& l, const std::optional<int>& v) {
    l.selected = v && *v >= 0 && *v < static_cast<int>(l.items.size()) ? *v : -1;
}

} // namespace

UserSetupForm::UserSetupForm(const MessageCatalogue& catalogue, Prompter& prompter, bool korean)
    : m_catalogue(catalogue), m_prompter(prompter), m_korean(korean) {}

Answer UserSetupForm::ask(const char* text) {
    return m_prompter.message(text, kNotice, Icon::Question, Buttons::YesNo);
}

void UserSetupForm::initialise(const std::string& summary,
                               std::vector<std::string> receiveBufferItems) {
    UserSetupView& v = m_view;
    v.cursor = Cursor::Arrow;
    v.title = kTitleUserSetup;
    v.summary = summary;
    setUserSetupCaptions(v, false);
    v.printDensity.items = SettingLists::printDensity();
    v.sleepMode.items = SettingLists::sleepMode();
    v.paperSave.items = SettingLists::paperSave();
    v.columns.items = SettingLists::columns();
    v.colorDensity.items = SettingLists::colorDensity();
    v.bellTimes.items = SettingLists::bellTimes();
    v.nvGraphic.items = SettingLists::nvGraphicMemory();
    v.nvUser.items = SettingLists::nvUserMemory();
    v.printSpeed.items = SettingLists::printSpeed();
    v.receiveBuffer.items = std::move(receiveBufferItems);
    v.codePage.items.clear();
    for (const CodePageEntry& e : CodePageList::entries())
        v.codePage.items.emplace_back(e.label);
    v.bellType.items = SettingLists::bellType();
    v.setupCode.maxLength = 8;
    // Enabled only by the choice they belong to (58 mm, 2Color, water mark or cut position on).
    v.columns.enabled = v.colorDensity.enabled = false;
    v.waterMarkImage.enabled = v.cutLines.enabled = false;
    v.receiveError.visible = false;
    v.load.visible = v.save.visible = false;
    refresh();
}

void UserSetupForm::applyCaptionsAndModelRules(int modelKind) {
    UserSetupView& v = m_view;
    setUserSetupCaptions(v, m_korean);
    v.boldLabel.text = m_korean ? "Bold Korean Font" : kReserved;
    if (!m_korean)
        v.boldLabel.enabled = v.boldKorean.enabled = false;
    switch (modelKind) {
    case ModelKindKorva30:
        for (LabelView* l : {&v.emulationLabel, &v.densityLabel, &v.kitchenBellLabel,
                             &v.autoCutLabel, &v.selfTestLabel, &v.usbModeLabel})
            l->visible = false;
        for (RadioPairView* r :
             {&v.emulation, &v.kitchenBell, &v.autoCutter, &v.selfTestKey, &v.usbMode})
            r->visible = false;
        v.printDensity.visible = false;
        v.nvGraphic.enabled = v.nvUser.enabled = false;
        v.pictureVisible = true;
        break;
    case ModelKindNrw4600:
        v.pictureVisible = false;
        v.kitchenBell.enabled = v.usbMode.enabled = false;
        v.bellType.enabled = v.bellTimes.enabled = v.sleepMode.enabled = false;
        for (LabelView* l :
             {&v.bellTypeLabel, &v.kitchenBellLabel, &v.usbModeLabel, &v.sleepLabel}) {
            l->text = kReserved;
            l->enabled = false;
        }
        break;
    default:
        v.pictureVisible = false;
        break;
    }
    refresh();
}

void UserSetupForm::applyDefaults() {
    PrinterSettings& s = m_settings;
    s.paperWidth = pos::Width80;
    m_columnHint = 0;
    m_view.columns.enabled = false;
    s.paperType = pos::Black;
    s.colorDensity = pos::Medium;
    m_view.colorDensity.enabled = false;
    s.waterMark = pos::Disable;
    s.waterMarkImage = 1;
    m_view.waterMarkImage.enabled = false;
    s.cutPosition = pos::Off;
    s.cutLines = 0;
    m_view.cutLines.enabled = false;
    s.drawerWithCut = pos::Disable;
    s.bellType = 0;
    s.bellTimes = 2;
    s.codePage = CodePageList::numberOf(CodePageList::entries().front());
    s.nvGraphicMemory = 6;
    s.nvUserMemory = 0;
    s.cuttingMode = pos::Partial;
    s.boldKorean = pos::Off;
    s.printSpeed = 220;
    s.leftMargin = 0;
    s.drawerSelfTest = m_korean ? pos::SelfTestEnable : pos::SelfTestDisable;
    s.receiveBuffer = m_korean ? 2 : 3;
    s.stopBit = pos::StopOne;
    m_stopBitWarning = true;
    s.setupCode = "0";
    s.emulation = pos::Epson;
    s.autoCutter = pos::AutoCutOn;
    s.selfTestKey = pos::SelfTest;
    m_receiveError = 0;
    s.printDensity = 1;
    s.sleepMode = 0;
    s.paperSave = 0;
    s.usbMode = pos::UsbModeUsb;
    s.kitchenBell = pos::Off;
    refresh();
}

void UserSetupForm::applyReply(const SettingReply& reply) {
    m_settings.applyReply(reply);
    const long long v = reply.value;
    switch (reply.number) {
    case SetPaperWidth:
        m_view.columns.enabled = v != 1;
        if (v == 1)
            m_columnHint = -1;
        break;
    case SetPaperType:
        m_view.colorDensity.enabled = v == 2;
        break;
    case SetWaterMark:
        m_view.waterMarkImage.enabled = v == 2;
        break;
    case SetCutPosition:
        m_view.cutLines.enabled = v == 2;
        break;
    default:
        break;
    }
    refresh(false);
    // Only the edit the reply is about is overwritten; text typed into the others stays.
    UserSetupView& view = m_view;
    switch (reply.number) {
    case SetWaterMark:
        view.waterMarkImage.text = std::to_string(m_settings.waterMarkImage);
        break;
    case SetCutPosition:
        view.cutLines.text = std::to_string(m_settings.cutLines);
        break;
    case SetLeftMargin:
        view.margin.text = std::to_string(m_settings.leftMargin);
        break;
    case SetSetupCode:
        view.setupCode.text = m_settings.setupCode;
        break;
    default:
        break;
    }
}

void UserSetupForm::setButtons(bool enabled, bool getValueAllowed) {
    m_view.getValue.enabled = enabled && getValueAllowed;
    m_view.setValue.enabled = m_view.test.enabled = m_view.defaults.enabled = enabled;
    m_view.exit.enabled = enabled;
}

void UserSetupForm::disableAfterFailure(bool resetEdits) {
    UserSetupView& v = m_view;
    if (resetEdits) {
        m_settings.waterMarkImage = 1;
        m_settings.cutLines = 0;
    }
    refresh();
    for (RadioPairView* r : {&v.paperWidth, &v.paperType, &v.waterMark, &v.cutPosition,
                             &v.drawerWithCut, &v.cuttingMode, &v.drawerSelfTest, &v.boldKorean})
        r->enabled = false;
    for (ListView* l : {&v.columns, &v.colorDensity, &v.bellType, &v.bellTimes, &v.codePage,
                        &v.nvGraphic, &v.nvUser, &v.printSpeed, &v.receiveBuffer})
        l->enabled = false;
    for (EditView* e : {&v.waterMarkImage, &v.cutLines, &v.margin, &v.setupCode})
        e->enabled = false;
    v.getValue.enabled = v.setValue.enabled = v.test.enabled = false;
    // The screen must be left and opened again: EXIT and Default stay usable for that.
    v.exit.enabled = v.defaults.enabled = true;
    v.cursor = Cursor::Arrow;
}

bool UserSetupForm::choose(Choice choice, int position) {
    UserSetupView& v = m_view;
    PrinterSettings& s = m_settings;
    auto radioOk = [&](const RadioPairView& r) {
        return r.enabled && r.visible && (position == 0 || position == 1);
    };
    auto listOk = [&](const ListView& l) {
        return l.enabled && l.visible && position >= -1 &&
               position < static_cast<int>(l.items.size());
    };
    auto listValue = [&]() -> std::optional<int> {
        return position < 0 ? std::nullopt : std::optional<int>(position);
    };

    switch (choice) {
    case Choice::PaperWidth:
        if (!radioOk(v.paperWidth))
            return false;
        if (position == 1) {
            s.paperWidth = pos::Width58Col32;
            v.columns.enabled = true;
        } else {
            s.paperWidth = pos::Width80;
            v.columns.enabled = false;
        }
        break;
    case Choice::Columns:
        if (!listOk(v.columns) || position < 0)
            return false;
        if (s.paperWidth && *s.paperWidth != pos::Width80)
            s.paperWidth = position == 0 ? pos::Width58Col30 : pos::Width58Col32;
        else
            m_columnHint = position;
        break;
    case Choice::PaperType:
        if (!radioOk(v.paperType))
            return false;
        if (position == 0) {
            s.paperType = pos::Black;
            v.colorDensity.enabled = false;
            break;
        }
        s.paperType = pos::TwoColor;
        if (s.waterMark == pos::Enable) {
            if (ask(kWaterMarkVsTwoColor) != Answer::Yes) {
                s.paperType = pos::Black;
                break;
            }
            s.waterMark = pos::Disable;
            v.waterMarkImage.enabled = false;
        }
        s.colorDensity = pos::Medium;
        v.colorDensity.enabled = true;
        break;
    case Choice::ColorDensity:
        if (!listOk(v.colorDensity))
            return false;
        s.colorDensity = listValue();
        break;
    case Choice::WaterMark:
        if (!radioOk(v.waterMark))
            return false;
        if (position == 0) {
            s.waterMark = pos::Disable;
            v.waterMarkImage.enabled = false;
            break;
        }
        s.waterMark = pos::Enable;
        v.waterMarkImage.enabled = true;
        if (s.paperType == pos::TwoColor) {
            if (ask(kTwoColorVsWaterMark) == Answer::Yes) {
                s.paperType = pos::Black;
                v.colorDensity.enabled = false;
            } else {
                s.waterMark = pos::Disable;
                v.waterMarkImage.enabled = false;
            }
        }
        break;
    case Choice::CutPosition:
        if (!radioOk(v.cutPosition))
            return false;
        s.cutPosition = position == 1 ? pos::On : pos::Off;
        v.cutLines.enabled = position == 1;
        break;
    case Choice::DrawerWithCut:
        if (!radioOk(v.drawerWithCut))
            return false;
        s.drawerWithCut = position;
        break;
    case Choice::BellType:
        if (!listOk(v.bellType))
            return false;
        s.bellType = listValue();
        break;
    case Choice::BellTimes:
        if (!listOk(v.bellTimes))
            return false;
        s.bellTimes = listValue();
        break;
    case Choice::CodePage:
        if (!listOk(v.codePage))
            return false;
        if (position < 0)
            s.codePage.reset();
        else
            s.codePage =
                CodePageList::numberOf(CodePageList::entries()[static_cast<std::size_t>(position)]);
        break;
    case Choice::NvGraphic:
        if (!listOk(v.nvGraphic))
            return false;
        s.nvGraphicMemory = listValue();
        checkNvLimit(choice);
        break;
    case Choice::NvUser:
        if (!listOk(v.nvUser))
            return false;
        s.nvUserMemory = listValue();
        checkNvLimit(choice);
        break;
    case Choice::CuttingMode:
        if (!radioOk(v.cuttingMode))
            return false;
        s.cuttingMode = position;
        break;
    case Choice::PrintSpeed:
        if (!listOk(v.printSpeed))
            return false;
        if (position < 0)
            s.printSpeed.reset();
        else
            s.printSpeed =
                std::atoi(v.printSpeed.items[static_cast<std::size_t>(position)].c_str());
        break;
    case Choice::DrawerSelfTest:
        if (!radioOk(v.drawerSelfTest))
            return false;
        s.drawerSelfTest = position;
        break;
    case Choice::BoldKorean:
        if (!radioOk(v.boldKorean))
            return false;
        s.boldKorean = position;
        break;
    case Choice::ReceiveBuffer:
        if (!listOk(v.receiveBuffer))
            return false;
        s.receiveBuffer = listValue();
        break;
    case Choice::StopBit:
        if (!radioOk(v.stopBit))
            return false;
        s.stopBit = position;
        m_stopBitWarning = true;
        break;
    case Choice::Emulation:
        if (!radioOk(v.emulation))
            return false;
        s.emulation = position;
        break;
    case Choice::PrintDensity:
        if (!listOk(v.printDensity))
            return false;
        s.printDensity = listValue();
        break;
    case Choice::AutoCutter:
        if (!radioOk(v.autoCutter))
            return false;
        s.autoCutter = position;
        break;
    case Choice::SelfTestKey:
        if (!radioOk(v.selfTestKey))
            return false;
        s.selfTestKey = position;
        break;
    case Choice::KitchenBell:
        if (!radioOk(v.kitchenBell))
            return false;
        s.kitchenBell = position;
        break;
    case Choice::UsbMode:
        if (!radioOk(v.usbMode))
            return false;
        s.usbMode = position;
        break;
    case Choice::PaperSave:
        if (!listOk(v.paperSave))
            return false;
        s.paperSave = listValue();
        break;
    case Choice::SleepMode:
        if (!listOk(v.sleepMode))
            return false;
        s.sleepMode = listValue();
        break;
    case Choice::ReceiveError:
        // Hidden on the screen and never sent; kept so Default has something to set.
        if (position != 0 && position != 1)
            return false;
        m_receiveError = position;
        break;
    }
    // What the user typed into the edits stays: only the choices are redrawn.
    refresh(false);
    return true;
}

bool UserSetupForm::setEdit(Edit edit, const std::string& text) {
    EditView* e = nullptr;
    switch (edit) {
    case Edit::WaterMarkImage:
        e = &m_view.waterMarkImage;
        break;
    case Edit::CutLines:
        e = &m_view.cutLines;
        break;
    case Edit::Margin:
        e = &m_view.margin;
        break;
    case Edit::SetupCode:
        e = &m_view.setupCode;
        break;
    }
    if (!e->enabled)
        return false;
    // The window's edit enforces maxLength; longer text from elsewhere meets the setup
    // code rule (9 or more characters are invalid and sent as 0).
    e->text = text;
    return true;
}

void UserSetupForm::resetChoices(bool keepMarginAndCode, const std::vector<Choice>& keep) {
    PrinterSettings fresh;
    PrinterSettings& s = m_settings;
    auto kept = [&](Choice c) { return std::find(keep.begin(), keep.end(), c) != keep.end(); };
    if (keepMarginAndCode) {
        fresh.leftMargin = s.leftMargin;
        fresh.setupCode = s.setupCode;
    }
    if (kept(Choice::PaperType)) {
        fresh.paperType = s.paperType;
        fresh.colorDensity = s.colorDensity;
    }
    if (kept(Choice::BellType)) {
        fresh.bellType = s.bellType;
        fresh.bellTimes = s.bellTimes;
    }
    if (kept(Choice::PaperWidth))
        fresh.paperWidth = s.paperWidth;
    if (kept(Choice::WaterMark)) {
        fresh.waterMark = s.waterMark;
        fresh.waterMarkImage = s.waterMarkImage;
    }
    if (kept(Choice::CutPosition)) {
        fresh.cutPosition = s.cutPosition;
        fresh.cutLines = s.cutLines;
    }
    if (kept(Choice::NvUser))
        fresh.nvUserMemory = s.nvUserMemory;
    if (kept(Choice::NvGraphic))
        fresh.nvGraphicMemory = s.nvGraphicMemory;
    s = fresh;
    m_receiveError = -1;
    refresh();
}

bool UserSetupForm::readControls() {
    struct Field {
        EditView& edit;
        int& target;
        long low, high;
    } fields[] = {
        {m_view.waterMarkImage, m_settings.waterMarkImage, 1, 255},
        {m_view.cutLines, m_settings.cutLines, 0, 255},
        {m_view.margin, m_settings.leftMargin, 0, 512},
    };
    for (Field& f : fields) {
        long value = 0;
        if (!editInteger(f.edit.text, value)) {
            m_prompter.message("Please enter an integer.", kAppName, Icon::Exclamation,
                               Buttons::Ok);
            return false;
        }
        if (value < f.low || value > f.high) {
            std::string text = "Please enter an integer between " + std::to_string(f.low) +
                               " and " + std::to_string(f.high) + ".";
            m_prompter.message(text, kAppName, Icon::Exclamation, Buttons::Ok);
            return false;
        }
        f.target = static_cast<int>(value);
    }
    m_settings.setupCode = m_view.setupCode.text;
    return true;
}

void UserSetupForm::checkNvLimit(Choice changed) {
    int user = SettingLists::nvUserKb(m_settings.nvUserMemory.value_or(-1));
    int graphic = SettingLists::nvGraphicKb(m_settings.nvGraphicMemory.value_or(-1));
    if (std::max(user, 0) + std::max(graphic, 0) <= kMaxNvMemoryKb)
        return;
    std::string text = withNumber(m_catalogue.text(MsgNvMemoryOutOfRange), kMaxNvMemoryKb);
    m_prompter.message(text, kAppName, Icon::Exclamation, Buttons::Ok);
    if (changed == Choice::NvUser)
        m_settings.nvUserMemory.reset();
    else
        m_settings.nvGraphicMemory.reset();
}

std::string UserSetupForm::bellTimesLabel() const {
    int type = m_settings.bellType.value_or(-1);
    if (type >= 1 && type <= 3)
        return " / 5";
    return m_korean ? "회" : "Times";
}

void UserSetupForm::refresh(bool withEdits) {
    UserSetupView& v = m_view;
    const PrinterSettings& s = m_settings;
    v.paperWidth.selected = !s.paperWidth ? -1 : *s.paperWidth == pos::Width80 ? 0 : 1;
    if (s.paperWidth && *s.paperWidth != pos::Width80)
        v.columns.selected = *s.paperWidth == pos::Width58Col30 ? 0 : 1;
    else
        v.columns.selected = m_columnHint;
    setRadio(v.paperType, s.paperType);
    setList(v.colorDensity, s.colorDensity);
    setRadio(v.waterMark, s.waterMark);
    if (withEdits)
        v.waterMarkImage.text = std::to_string(s.waterMarkImage);
    setRadio(v.cutPosition, s.cutPosition);
    if (withEdits)
        v.cutLines.text = std::to_string(s.cutLines);
    setRadio(v.drawerWithCut, s.drawerWithCut);
    setList(v.bellType, s.bellType);
    setList(v.bellTimes, s.bellTimes);
    v.timesLabel.text = bellTimesLabel();
    v.codePage.selected = s.codePage ? CodePageList::positionOf(*s.codePage) : -1;
    setList(v.nvGraphic, s.nvGraphicMemory);
    setList(v.nvUser, s.nvUserMemory);
    setRadio(v.cuttingMode, s.cuttingMode);
    v.printSpeed.selected = -1;
    if (s.printSpeed) {
        auto& items = v.printSpeed.items;
        auto it = std::find(items.begin(), items.end(), std::to_string(*s.printSpeed));
        v.printSpeed.selected = it == items.end() ? -1 : static_cast<int>(it - items.begin());
    }
    if (withEdits)
        v.margin.text = std::to_string(s.leftMargin);
    setRadio(v.drawerSelfTest, s.drawerSelfTest);
    setRadio(v.boldKorean, s.boldKorean);
    setList(v.receiveBuffer, s.receiveBuffer);
    setRadio(v.stopBit, s.stopBit);
    if (withEdits)
        v.setupCode.text = s.setupCode;
    setRadio(v.emulation, s.emulation);
    setList(v.printDensity, s.printDensity);
    setRadio(v.autoCutter, s.autoCutter);
    setRadio(v.selfTestKey, s.selfTestKey);
    setRadio(v.kitchenBell, s.kitchenBell);
    setRadio(v.usbMode, s.usbMode);
    setList(v.paperSave, s.paperSave);
    setList(v.sleepMode, s.sleepMode);
    v.receiveError.selected = m_receiveError;
}

} // namespace korva
