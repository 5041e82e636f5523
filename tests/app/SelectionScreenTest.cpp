#include "app/SelectionScreen.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/RecordingPrompter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <map>

using namespace korva;
using Combo = SelectionScreen::Combo;

namespace {

// What this pretend PC has attached.
struct FakePc {
    std::vector<std::string> com, lpt;
    std::map<std::string, int> printers;    // hardware id -> count
    std::map<std::string, std::string> acm; // hardware id -> port
    std::vector<std::string> asked;

    SelectionDiscovery discovery() {
        SelectionDiscovery d;
        d.enumeratePorts = [this](int kind, std::vector<std::string>& names) {
            asked.push_back(kind == 0 ? "com" : "lpt");
            const auto& src = kind == 0 ? com : lpt;
            names.insert(names.end(), src.begin(), src.end());
            return static_cast<int>(src.size());
        };
        d.countUsbPrinters = [this](const std::string& id) {
            asked.push_back("count " + id);
            auto it = printers.find(id);
            return it == printers.end() ? -1 : it->second;
        };
        d.findUsbSerialPort = [this](const std::string& id) {
            asked.push_back("acm " + id);
            auto it = acm.find(id);
            return it == acm.end() ? std::string() : it->second;
        };
        return d;
    }
};

struct FakeHost : SelectionHost {
    std::vector<std::string> titles;
    std::vector<std::string> events;
    bool networkAnswer = true;
    ConnectionSettings* settings = nullptr;

    void showTitle(const std::string& t) override { titles.push_back(t); }
    bool runNetworkScreen() override {
        events.push_back("network " + settings->m_PortName);
        return networkAnswer;
    }
    void runMainMenu() override { events.push_back("menu " + settings->m_PortName); }
};

class SelectionScreenTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::ScopedCwd cwd{dir.path()};
    ConnectionSettings settings;
    ErrorLog log;
    MessageCatalogue catalogue;
    RecordingPrompter prompter;
    VirtualClock clock;
    Profile profile{dir.file("korvaset.INI")};
    FakePc pc;
    FakeHost host;
    std::unique_ptr<SelectionScreen> screen;

    const SelectionView& start(std::uint16_t lang = 0x0409) {
        host.settings = &settings;
        screen = std::make_unique<SelectionScreen>(settings, log, catalogue, prompter, clock,
                                                   profile, pc.discovery(), host);
        screen->initialise(lang, FileVersion{1, 0, 0, 3});
        return screen->view();
    }
    const SelectionView& view() { return screen->view(); }
    void choose(const std::string& model) {
        const auto& items = view().device.items;
        auto it = std::find(items.begin(), items.end(), model);
        ASSERT_NE(it, items.end()) << model;
        screen->select(Combo::Device, static_cast<int>(it - items.begin()));
    }
    bool serialListsEnabled() {
        const SelectionView& v = view();
        return v.baud.enabled && v.parity.enabled && v.dataLength.enabled && v.flow.enabled &&
               v.stopBit.enabled;
    }
    bool serialListsDisabled() {
        const SelectionView& v = view();
        return !v.baud.enabled && !v.parity.enabled && !v.dataLength.enabled && !v.flow.enabled &&
               !v.stopBit.enabled;
    }
};

const std::string kKorva30Printer = "USB\\VID_5E3B&PID_3002";
const std::string kKorva40Printer = "USB\\VID_5E3B&PID_3012";

} // namespace

TEST(VersionText, RunsTheLowerNumbersTogether) {
    struct Row {
        FileVersion v;
        const char* text;
    } rows[] = {{{1, 0, 0, 3}, "1.03"},
                {{0, 0, 0, 0}, "0.00"},
                {{2, 1, 0, 7}, "2.17"},
                {{1, 2, 4, 3}, "1.243"},
                {{10, 0, 0, 12}, "10.012"}};
    for (const Row& r : rows)
        EXPECT_EQ(versionText(r.v), r.text);
    EXPECT_EQ(selectionTitle({1, 0, 0, 3}), "KORVASet 1.03E");
}

TEST_F(SelectionScreenTest, APcWithoutPortsListsSixModelsAndWritesTheLogHeader) {
    const SelectionView& v = start();
    EXPECT_EQ(v.title, "KORVASet 1.03E");
    EXPECT_EQ(v.device.items, (std::vector<std::string>{"KORVA30U-I", "KORVA30U-II", "KORVA40U-I",
                                                        "KORVA40U-II", "KORVA40E-II", "KORVA40W"}));
    EXPECT_EQ(v.device.selected, -1);
    EXPECT_FALSE(v.okEnabled);
    EXPECT_FALSE(v.port.enabled);
    EXPECT_TRUE(serialListsDisabled());
    EXPECT_EQ(v.baud.items, (std::vector<std::string>{"115200", "38400", "19200", "9600"}));
    EXPECT_EQ(v.dataLength.text(), "8 Bits");
    EXPECT_EQ(v.stopBit.items, (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(prompter.messages().empty());
    EXPECT_NE(dir.read("error.log").find("ERROR LOG : Tool - Ver 1.0.0.3\r\n"), std::string::npos);
}

TEST_F(SelectionScreenTest, AnAttachedKorva40PrinterIsPreselectedAndFoundAtOnce) {
    pc.printers[kKorva40Printer] = 1;
    const SelectionView& v = start();
    EXPECT_EQ(v.device.text(), "KORVA40U-II");
    EXPECT_TRUE(v.okEnabled);
    EXPECT_TRUE(serialListsDisabled());
    EXPECT_FALSE(v.port.enabled);
    EXPECT_TRUE(clock.sleeps().empty());
    EXPECT_EQ(v.title, "KORVASet 1.03E");

    settings.m_BaudRate = 4800; // USB leaves the serial fields alone
    screen->ok();
    EXPECT_EQ(host.events, (std::vector<std::string>{"menu USB"}));
    EXPECT_EQ(settings.m_ModelKind, 6);
    EXPECT_EQ(settings.m_BaudRate, 4800);
}

TEST_F(SelectionScreenTest, AMissingUsbPrinterIsSearchedSixteenTimesWithADotEachTry) {
    start();
    choose("KORVA30U-II");
    // The KORVA30 interface is asked twice per try.
    EXPECT_EQ(std::count(pc.asked.begin(), pc.asked.end(), "count " + kKorva30Printer), 32 + 1);
    EXPECT_EQ(clock.sleeps(), std::vector<int>(16, 250));
    ASSERT_EQ(host.titles.size(), 17u);
    EXPECT_EQ(host.titles.front(), "Searching for the printer.");
    EXPECT_EQ(host.titles[15], "Searching for the printer" + std::string(16, '.'));
    EXPECT_EQ(host.titles.back(), "KORVASet 1.03E");
    EXPECT_EQ(view().title, "KORVASet 1.03E");
    EXPECT_EQ(prompter.messages(),
              (std::vector<std::string>{"Turn on your USB printer\r\nand Try again."}));
    EXPECT_FALSE(view().okEnabled);
    EXPECT_EQ(view().device.selected, -1);
    EXPECT_EQ(view().port.selected, -1);
}

TEST_F(SelectionScreenTest, UsbSearchResultsDecideOk) {
    struct Row {
        int count;
        bool ok;
        const char* message;
    } rows[] = {{1, true, nullptr},
                {2, false,
                 "KorvaTool support only One device.\r\nThere are too many device "
                 "connected!"},
                {3, false,
                 "KorvaTool support only One device.\r\nThere are too many device "
                 "connected!"}};
    for (const Row& r : rows) {
        pc.printers[kKorva40Printer] = r.count;
        prompter.clear();
        clock.clearSleeps();
        start();
        choose("KORVA40U-II");
        EXPECT_EQ(view().okEnabled, r.ok) << r.count;
        EXPECT_TRUE(clock.sleeps().empty());
        if (r.message)
            EXPECT_EQ(prompter.messages().back(), r.message);
        else
            EXPECT_TRUE(prompter.messages().empty());
    }
}

TEST_F(SelectionScreenTest, TheSearchStopsAtTheTryThatFindsThePrinter) {
    int calls = 0;
    // Found on the fourth look: three dots shown, three pauses taken.
    host.settings = &settings;
    SelectionDiscovery d = pc.discovery();
    d.countUsbPrinters = [&calls](const std::string&) { return ++calls >= 4 ? 1 : -1; };
    screen = std::make_unique<SelectionScreen>(settings, log, catalogue, prompter, clock, profile,
                                               d, host);
    screen->initialise(0x0409, FileVersion{1, 0, 0, 3});
    calls = 0;
    host.titles.clear();
    choose("KORVA40U-II");
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(clock.sleeps(), std::vector<int>(3, 250));
    EXPECT_EQ(host.titles[2], "Searching for the printer...");
    EXPECT_TRUE(view().okEnabled);
}

TEST_F(SelectionScreenTest, ThePortListIsSortedAlphabetically) {
    pc.com = {"COM2", "COM10", "com1", "COM3"};
    start();
    choose("KORVA40S");
    EXPECT_EQ(view().port.items, (std::vector<std::string>{"com1", "COM10", "COM2", "COM3"}));
    EXPECT_EQ(view().port.text(), "com1");

    pc.com = {"/dev/ttyS2", "/dev/ttyUSB0", "/dev/ttyS10", "/dev/ttyACM0"};
    choose("KORVA30S");
    EXPECT_EQ(view().port.items, (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyS10",
                                                           "/dev/ttyS2", "/dev/ttyUSB0"}));
}

TEST_F(SelectionScreenTest, SerialModelsEnableTheirListsAndRefillTheBaudList) {
    pc.com = {"COM1"};
    pc.lpt = {"LPT1"};
    start();
    // The COM and LPT tests leave their ports in the list until a model refills it.
    EXPECT_EQ(view().port.items, (std::vector<std::string>{"COM1", "LPT1"}));
    ASSERT_EQ(view().device.items.size(), 10u);
    choose("KORVA40S");
    EXPECT_TRUE(view().okEnabled);
    EXPECT_TRUE(view().port.enabled);
    EXPECT_TRUE(serialListsEnabled());
    EXPECT_EQ(view().port.items, (std::vector<std::string>{"COM1"}));

    choose("KORVA40P");
    EXPECT_EQ(view().port.items, (std::vector<std::string>{"LPT1"}));
    EXPECT_TRUE(view().port.enabled);
    EXPECT_TRUE(serialListsDisabled());
    EXPECT_TRUE(view().okEnabled);

    choose("KORVA40E-II");
    EXPECT_FALSE(view().port.enabled);
    EXPECT_TRUE(serialListsDisabled());
    EXPECT_TRUE(view().okEnabled);
}

TEST_F(SelectionScreenTest, TheKorva10FamilyOffersThreeBaudRates) {
    pc.com = {"COM4"};
    profile.WriteString("DEVICELIST", "1", "KORVA10S");
    profile.WriteString("DEVICELIST", "2", "KORVA30S");
    start();
    screen->select(Combo::Baud, 3);
    choose("KORVA10S");
    EXPECT_EQ(view().baud.items, (std::vector<std::string>{"38400", "19200", "9600"}));
    EXPECT_EQ(view().baud.selected, 0);
    choose("KORVA30S");
    EXPECT_EQ(view().baud.items, (std::vector<std::string>{"115200", "38400", "19200", "9600"}));
}

TEST_F(SelectionScreenTest, FiveDataBitsAllowOnlyOneStopBit) {
    pc.com = {"COM1"};
    start();
    choose("KORVA30S");
    screen->select(Combo::StopBit, 1);
    screen->select(Combo::DataLength, 3);
    EXPECT_EQ(view().dataLength.text(), "5 Bits");
    EXPECT_EQ(view().stopBit.items, (std::vector<std::string>{"1"}));
    EXPECT_EQ(view().stopBit.text(), "1");

    screen->select(Combo::DataLength, 1);
    EXPECT_EQ(view().stopBit.items, (std::vector<std::string>{"1", "2"}));
    EXPECT_EQ(view().stopBit.text(), "1");
    screen->select(Combo::StopBit, 1);
    screen->select(Combo::DataLength, 0);
    EXPECT_EQ(view().stopBit.text(), "2");
    // With no stop bit chosen, five bits leave it unchosen: the item 1 is not picked for the user.
    screen->select(Combo::StopBit, -1);
    ASSERT_EQ(view().stopBit.selected, -1);
    screen->select(Combo::DataLength, 3);
    EXPECT_EQ(view().stopBit.items, (std::vector<std::string>{"1"}));
    EXPECT_EQ(view().stopBit.selected, -1);
}

TEST_F(SelectionScreenTest, OkStoresTheSerialChoiceAndOpensTheMenu) {
    pc.com = {"/dev/ttyS2"};
    start();
    choose("KORVA30S");
    screen->select(Combo::Baud, 2);
    screen->select(Combo::Parity, 2);
    screen->select(Combo::DataLength, 1);
    screen->select(Combo::Flow, 2);
    screen->select(Combo::StopBit, 1);
    screen->ok();
    EXPECT_EQ(host.events, (std::vector<std::string>{"menu /dev/ttyS2"}));
    EXPECT_EQ(settings.m_PortName, "/dev/ttyS2");
    EXPECT_EQ(settings.m_BaudRate, 19200);
    EXPECT_EQ(settings.m_Parity, 2);
    EXPECT_EQ(settings.m_DataBits, 7);
    EXPECT_EQ(settings.m_FlowControl, 3);
    EXPECT_EQ(settings.m_StopBits, 2);
    EXPECT_EQ(settings.m_ModelKind, 5);
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(SelectionScreenTest, OkNamesTheFirstMissingSerialParameter) {
    struct Row {
        Combo cleared;
        const char* message;
    } rows[] = {{Combo::Baud, "Baudrate is not selected!"},
                {Combo::DataLength, "Data length is not selected!"},
                {Combo::Parity, "Parity type is not selected!"},
                {Combo::StopBit, "Stop Bit is not selected"},
                {Combo::Flow, "Flow control is not selected!"}};
    pc.com = {"COM1"};
    for (const Row& r : rows) {
        start();
        choose("KORVA40S");
        prompter.clear();
        host.events.clear();
        screen->select(r.cleared, -1);
        screen->ok();
        EXPECT_EQ(prompter.messages(), std::vector<std::string>{r.message});
        EXPECT_TRUE(host.events.empty()) << r.message;
    }
}

TEST_F(SelectionScreenTest, MissingPortsShowTheirMessagesAndKeepOkDisabled) {
    pc.printers[kKorva40Printer] = 1;
    profile.WriteString("DEVICELIST", "a", "KORVA40U-II");
    profile.WriteString("DEVICELIST", "b", "KORVA40S");
    profile.WriteString("DEVICELIST", "c", "KORVA40P");
    profile.WriteString("DEVICELIST", "d", "KORVA40U-I");
    start();
    choose("KORVA40U-II");
    ASSERT_TRUE(view().okEnabled);
    choose("KORVA40S");
    EXPECT_FALSE(view().okEnabled);
    EXPECT_EQ(view().port.selected, -1);
    choose("KORVA40U-II");
    choose("KORVA40P");
    EXPECT_FALSE(view().okEnabled);
    choose("KORVA40U-I");
    EXPECT_FALSE(view().okEnabled);
    EXPECT_EQ(prompter.messages(),
              (std::vector<std::string>{"Not exist COM port on your system.",
                                        "Not exist LPT port on your system.",
                                        "Not exist COM port on your system."}));
}

TEST_F(SelectionScreenTest, UsbSerialModelsLookUpTheirFamilysPort) {
    pc.acm["USB\\VID_5E3B&PID_3001"] = "/dev/ttyACM0";
    pc.acm["USB\\VID_5E3B&PID_3011"] = "/dev/ttyACM1";
    const SelectionView& v = start();
    // The KORVA40 virtual serial port wins the preselection.
    EXPECT_EQ(v.device.text(), "KORVA40U-I");
    EXPECT_EQ(v.port.items, (std::vector<std::string>{"/dev/ttyACM1"}));
    choose("KORVA30U-I");
    EXPECT_EQ(view().port.items, (std::vector<std::string>{"/dev/ttyACM0"}));
    EXPECT_TRUE(serialListsEnabled());
    screen->ok();
    EXPECT_EQ(host.events, (std::vector<std::string>{"menu /dev/ttyACM0"}));
    EXPECT_EQ(settings.m_BaudRate, 115200);
    EXPECT_EQ(settings.m_FlowControl, 1);
}

TEST_F(SelectionScreenTest, NetworkModelsRunTheNetworkScreenFirst) {
    start();
    choose("KORVA40E-II");
    host.networkAnswer = false;
    screen->ok();
    host.networkAnswer = true;
    screen->ok();
    choose("KORVA40W");
    host.networkAnswer = false;
    screen->ok();
    EXPECT_EQ(settings.m_PortName, "ETHERNET_II");
    host.networkAnswer = true;
    screen->ok();
    EXPECT_EQ(host.events, (std::vector<std::string>{"network ETHERNET_II", "network ETHERNET_II",
                                                     "menu ETHERNET_II", "network WIFI",
                                                     "network WIFI", "menu ETHERNET_II"}));
}

TEST_F(SelectionScreenTest, TheProfilesDeviceListReplacesTheTable) {
    pc.printers[kKorva40Printer] = 1;
    profile.WriteString("DEVICELIST", "first", "K40S");
    profile.WriteString("DEVICELIST", "second", "PRINTER-X");
    profile.WriteString("DEVICELIST", "third", "");
    profile.WriteString("DEVICELIST", "fourth", "KORVA40S");
    pc.com = {"COM5"};
    const SelectionView& v = start();
    EXPECT_EQ(v.device.items, (std::vector<std::string>{"K40S", "PRINTER-X"}));
    EXPECT_EQ(v.device.selected, -1);
    EXPECT_TRUE(pc.asked.empty()); // no USB detection, no port tests

    choose("K40S");
    EXPECT_EQ(screen->modelFamilyValue(), 4);
    EXPECT_EQ(screen->interfaceKindValue(), 1);
    screen->ok();
    EXPECT_EQ(settings.m_ModelKind, 1);

    choose("PRINTER-X");
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Invalid Device!"});
    EXPECT_EQ(screen->modelFamilyValue(), 0);
    EXPECT_FALSE(view().okEnabled);
}

TEST_F(SelectionScreenTest, KoreanSystemsGetKoreanCaptionsAndMessages) {
    const SelectionView& v = start(0x0412);
    EXPECT_EQ(v.deviceLabel, "프린터종류");
    EXPECT_EQ(v.dataLabel, "테이터 길이");
    EXPECT_EQ(v.cancelCaption, "취소");
    EXPECT_EQ(v.okCaption, "OK");
    EXPECT_EQ(v.title, "KORVASet 1.03E");
    choose("KORVA40U-II");
    EXPECT_EQ(prompter.messages().back(), "USB 프린터를 켜고 재시도 하십시오.");

    const SelectionView& english = start(0x0411);
    EXPECT_EQ(english.deviceLabel, "DEVICE");
}

// A combo's text is its selected item, or nothing when no item is selected: a selection past
// the end of the list (as a stale index after the list shrank) never reads beyond it.
TEST(ComboView, TextOfEverySelection) {
    ComboView combo;
    combo.items = {"9600", "19200", "38400"};
    const std::pair<int, const char*> rows[] = {{-1, ""}, {0, "9600"}, {2, "38400"},
                                                {3, ""},  {4, ""},     {-2, ""}};
    for (auto [selected, text] : rows) {
        combo.selected = selected;
        EXPECT_EQ(combo.text(), text) << selected;
    }
}
