// The user setup screen's rules and failure paths, on the FILE port (what Set Value and TEST
// send is read back from the file) and on ports that cannot be opened.
#include "SetupFixture.h"

#include "base/MessageCatalogue.h"
#include "setup/SettingCommands.h"

#include <gtest/gtest.h>

#include <functional>

using namespace korva;
using namespace korva::test;
using C = UserSetupScreen::Choice;
using E = UserSetupScreen::Edit;

namespace {

std::string bracket(const std::string& writeSettings) {
    return hex(SettingCommands::enterSetup()) + " " + writeSettings + " " +
           hex(SettingCommands::leaveSetup());
}

bool contains(const Bytes& data, const std::string& hexText) {
    return hex(data).find(hexText) != std::string::npos;
}

} // namespace

TEST(UserSetupScreen, OpensWithEveryChoiceUnsetAndTheListsFilled) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    const UserSetupView& v = s.view();
    EXPECT_EQ(v.title, "KORVASet : User Setup");
    EXPECT_EQ(v.summary, "KORVA40 - test");
    EXPECT_EQ(v.cursor, Cursor::Arrow);
    EXPECT_EQ(v.paperWidth.selected, -1);
    EXPECT_EQ(v.codePage.items.size(), 30u);
    EXPECT_EQ(v.codePage.items.back(), "254| SPACE PAGE");
    EXPECT_EQ(v.receiveBuffer.items, (std::vector<std::string>{"64", "32", "20", "4"}));
    EXPECT_EQ(v.bellType.items.size(), 5u);
    EXPECT_EQ(v.printDensity.items.front(), "LEVEL 1");
    EXPECT_EQ(v.waterMarkImage.text, "1");
    EXPECT_EQ(v.cutLines.text, "0");
    EXPECT_EQ(v.margin.text, "0");
    EXPECT_EQ(v.setupCode.text, "0");
    EXPECT_FALSE(v.receiveError.visible);
    EXPECT_FALSE(v.load.visible);
    // The controls that depend on another choice start disabled.
    EXPECT_FALSE(v.columns.enabled);
    EXPECT_FALSE(v.colorDensity.enabled);
    EXPECT_FALSE(v.waterMarkImage.enabled);
    EXPECT_FALSE(v.cutLines.enabled);
    // English system: the bold font row is "Reserved" and disabled.
    EXPECT_EQ(v.boldLabel.text, "Reserved");
    EXPECT_FALSE(v.boldLabel.enabled);
    EXPECT_FALSE(v.boldKorean.enabled);
    EXPECT_FALSE(s.choose(C::BoldKorean, 1));
    EXPECT_EQ(v.getValue.caption, "Get Value");
    // The code page pairs went to the profile.
    EXPECT_EQ(f.app->profile.GetString("USER", "CodePage255"), "254|SPACE PAGE");
    EXPECT_EQ(f.app->profile.GetString("USER", "R_BUF_SZ0"), "64");
}

TEST(UserSetupScreen, KoreanCaptions) {
    SetupFixture f(kLangKorean);
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    const UserSetupView& v = s.view();
    EXPECT_EQ(v.frameTitle, "사용자 설정");
    EXPECT_EQ(v.paperType.second, "2 색");
    EXPECT_EQ(v.getValue.caption, "설정 읽기");
    EXPECT_EQ(v.exit.caption, "취소");
    EXPECT_EQ(v.boldLabel.text, "Bold Korean Font");
    EXPECT_TRUE(v.boldKorean.enabled);
    EXPECT_EQ(v.timesLabel.text, "회");
}

TEST(UserSetupScreen, ModelKindRules) {
    {
        SetupFixture f;
        UserSetupScreen& s = f.fileScreen(5);
        ASSERT_TRUE(s.open());
        const UserSetupView& v = s.view();
        EXPECT_FALSE(v.emulation.visible);
        EXPECT_FALSE(v.emulationLabel.visible);
        EXPECT_FALSE(v.printDensity.visible);
        EXPECT_FALSE(v.usbMode.visible);
        EXPECT_FALSE(v.kitchenBell.visible);
        EXPECT_FALSE(v.nvGraphic.enabled);
        EXPECT_FALSE(v.nvUser.enabled);
        EXPECT_TRUE(v.pictureVisible);
        EXPECT_TRUE(v.paperSave.visible);
        EXPECT_TRUE(v.sleepMode.enabled);
        EXPECT_FALSE(s.choose(C::Emulation, 1)) << "a hidden row takes no choice";
        EXPECT_FALSE(s.choose(C::NvUser, 1));
    }
    {
        SetupFixture f;
        UserSetupScreen& s = f.fileScreen(4);
        ASSERT_TRUE(s.open());
        const UserSetupView& v = s.view();
        EXPECT_FALSE(v.pictureVisible);
        EXPECT_FALSE(v.kitchenBell.enabled);
        EXPECT_FALSE(v.bellType.enabled);
        EXPECT_FALSE(v.bellTimes.enabled);
        EXPECT_FALSE(v.sleepMode.enabled);
        EXPECT_FALSE(v.usbMode.enabled);
        for (const LabelView* l :
             {&v.bellTypeLabel, &v.kitchenBellLabel, &v.usbModeLabel, &v.sleepLabel}) {
            EXPECT_EQ(l->text, "Reserved");
            EXPECT_FALSE(l->enabled);
        }
        EXPECT_TRUE(v.emulation.visible);
    }
    {
        SetupFixture f;
        UserSetupScreen& s = f.fileScreen(6);
        ASSERT_TRUE(s.open());
        EXPECT_FALSE(s.view().pictureVisible);
        EXPECT_TRUE(s.view().usbMode.enabled);
        EXPECT_EQ(s.view().sleepLabel.text, "Sleep mode");
    }
}

TEST(UserSetupScreen, TwoColorAgainstWaterMarkBothWays) {
    const std::string disableQuestion =
        "Water mark print is impossible in Two-color print mode.\nDisable water mark function?";
    const std::string oneColorQuestion =
        "Water mark print is impossible in Two-color print mode.\nSelect One-color mode?";
    struct Row {
        bool waterMarkFirst;
        Answer answer;
        int paperType, waterMark;
        bool densityEnabled;
        const std::string* question;
    } rows[] = {
        {true, Answer::No, pos::Black, pos::Enable, false, &disableQuestion},
        {true, Answer::Yes, pos::TwoColor, pos::Disable, true, &disableQuestion},
        {false, Answer::Yes, pos::Black, pos::Enable, false, &oneColorQuestion},
        {false, Answer::No, pos::TwoColor, pos::Disable, true, &oneColorQuestion},
    };
    for (const Row& r : rows) {
        SetupFixture f;
        UserSetupScreen& s = f.fileScreen();
        ASSERT_TRUE(s.open());
        f.prompter.clear();
        if (r.waterMarkFirst) {
            ASSERT_TRUE(s.choose(C::WaterMark, 1));
            f.prompter.queueAnswer(r.answer);
            ASSERT_TRUE(s.choose(C::PaperType, 1));
        } else {
            ASSERT_TRUE(s.choose(C::PaperType, 1));
            f.prompter.queueAnswer(r.answer);
            ASSERT_TRUE(s.choose(C::WaterMark, 1));
        }
        auto shown = f.prompter.shown();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].text, *r.question);
        EXPECT_EQ(shown[0].caption, "Notice");
        EXPECT_EQ(shown[0].buttons, Buttons::YesNo);
        EXPECT_EQ(s.settings().paperType, r.paperType);
        EXPECT_EQ(s.settings().waterMark, r.waterMark);
        EXPECT_EQ(s.view().colorDensity.enabled, r.densityEnabled);
        EXPECT_EQ(s.view().waterMarkImage.enabled, r.waterMark == pos::Enable);
        if (r.paperType == pos::TwoColor) {
            EXPECT_EQ(s.view().colorDensity.selected, pos::Medium);
        }
    }
}

TEST(UserSetupScreen, NvMemoryLimitRefusesTheListJustChanged) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.choose(C::NvUser, 4));    // 320
    ASSERT_TRUE(s.choose(C::NvGraphic, 3)); // 192: 512 KB
    auto messages = f.prompter.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Out of range the MAX NV memory Size!\r\nTotal NV Memory Size "
                           "448KB\r\n(NV User Memory + NV Graphic Memory)");
    EXPECT_EQ(s.view().nvGraphic.selected, -1);
    EXPECT_EQ(s.view().nvUser.selected, 4);
    f.prompter.clear();
    ASSERT_TRUE(s.choose(C::NvUser, 0));    // 64
    ASSERT_TRUE(s.choose(C::NvGraphic, 6)); // 384: exactly 448
    EXPECT_TRUE(f.prompter.messages().empty());
    EXPECT_EQ(s.view().nvGraphic.selected, 6);
    ASSERT_TRUE(s.choose(C::NvUser, 1)); // 128 + 384
    EXPECT_EQ(f.prompter.messages().size(), 1u);
    EXPECT_EQ(s.view().nvUser.selected, -1);
    EXPECT_EQ(s.view().nvGraphic.selected, 6);
}

TEST(UserSetupScreen, PaperWidthColumnsAndBellLabel) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    EXPECT_TRUE(s.choose(C::PaperWidth, 1));
    EXPECT_EQ(s.settings().paperWidth, pos::Width58Col32);
    EXPECT_TRUE(s.view().columns.enabled);
    EXPECT_EQ(s.view().columns.selected, 1);
    EXPECT_TRUE(s.choose(C::Columns, 0));
    EXPECT_EQ(s.settings().paperWidth, pos::Width58Col30);
    EXPECT_TRUE(s.choose(C::PaperWidth, 0));
    EXPECT_EQ(s.settings().paperWidth, pos::Width80);
    EXPECT_FALSE(s.view().columns.enabled);
    EXPECT_FALSE(s.choose(C::Columns, 1)) << "the column list is disabled at 80 mm";

    EXPECT_EQ(s.view().timesLabel.text, "Times");
    for (int type = 0; type < 5; ++type) {
        ASSERT_TRUE(s.choose(C::BellType, type));
        EXPECT_EQ(s.view().timesLabel.text, type >= 1 && type <= 3 ? " / 5" : "Times") << type;
    }
    EXPECT_FALSE(s.choose(C::BellType, 5));
    EXPECT_FALSE(s.choose(C::StopBit, 2));
    EXPECT_FALSE(s.stopBitWarningPending());
    EXPECT_TRUE(s.choose(C::StopBit, 1));
    EXPECT_TRUE(s.stopBitWarningPending());
    EXPECT_TRUE(s.choose(C::CutPosition, 1));
    EXPECT_TRUE(s.view().cutLines.enabled);
    EXPECT_TRUE(s.choose(C::CutPosition, 0));
    EXPECT_FALSE(s.view().cutLines.enabled);
    EXPECT_FALSE(s.setEdit(E::CutLines, "9")) << "a disabled edit takes no text";
    EXPECT_EQ(s.view().setupCode.maxLength, 8u);
}

TEST(UserSetupScreen, SetValueWithOnlyTheMarginWritesExactlyTheBracket) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.setEdit(E::Margin, "100"));
    s.setValue();
    s.exit();
    EXPECT_EQ(hex(f.fileBytes()), bracket("1D 28 45 0A 00 05 FA 64 00 FF 00 00 00 00 04"));
    EXPECT_TRUE(f.prompter.messages().empty());
    EXPECT_EQ(f.clock.sleeps(), std::vector<int>{300}) << "EXIT pauses 300 ms; FILE no more";
}

TEST(UserSetupScreen, SetValueWithNothingChosenSendsNothing) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    s.setValue();
    EXPECT_TRUE(f.fileBytes().empty());
    EXPECT_TRUE(s.view().setValue.enabled);
}

TEST(UserSetupScreen, EditRangesAreCheckedBeforeAnythingIsSent) {
    struct Row {
        E edit;
        const char* text;
        const char* message;
    } rows[] = {
        {E::Margin, "513", "Please enter an integer between 0 and 512."},
        {E::Margin, "-1", "Please enter an integer between 0 and 512."},
        {E::Margin, "12x", "Please enter an integer."},
        {E::WaterMarkImage, "0", "Please enter an integer between 1 and 255."},
        {E::CutLines, "256", "Please enter an integer between 0 and 255."},
    };
    for (const Row& r : rows) {
        SetupFixture f;
        UserSetupScreen& s = f.fileScreen();
        ASSERT_TRUE(s.open());
        ASSERT_TRUE(s.choose(C::WaterMark, 1));
        ASSERT_TRUE(s.choose(C::CutPosition, 1));
        ASSERT_TRUE(s.setEdit(r.edit, r.text));
        s.setValue();
        EXPECT_EQ(f.prompter.messages(), std::vector<std::string>{r.message}) << r.text;
        EXPECT_TRUE(f.fileBytes().empty()) << r.text;
        EXPECT_TRUE(s.view().setValue.enabled);
    }
}

TEST(UserSetupScreen, InvalidSetupCodeIsSentAsZeroAndTheEditReset) {
    for (const char* text : {"XYZ", "12345678G"}) {
        SetupFixture f;
        UserSetupScreen& s = f.fileScreen();
        ASSERT_TRUE(s.open());
        ASSERT_TRUE(s.setEdit(E::SetupCode, text));
        s.setValue();
        EXPECT_EQ(hex(f.fileBytes()), bracket("1D 28 45 0A 00 05 FA 00 00 FF 00 00 00 00 04"));
        EXPECT_EQ(s.view().setupCode.text, "0");
    }
}

TEST(UserSetupScreen, DefaultThenSetValueOnANonKoreanSystem) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    f.prompter.clear(); // the Print to File question
    f.prompter.queueAnswer(Answer::Yes);
    s.defaults();
    auto shown = f.prompter.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "Are you sure?(Y/N)\n(All settings will be set to default.)");
    EXPECT_EQ(shown[0].buttons, Buttons::YesNo);
    const UserSetupView& v = s.view();
    EXPECT_EQ(v.paperWidth.selected, 0);
    EXPECT_FALSE(v.columns.enabled);
    EXPECT_EQ(v.columns.selected, 0) << "on \"30 Column\"";
    EXPECT_FALSE(v.colorDensity.enabled);
    EXPECT_EQ(v.colorDensity.selected, pos::Medium);
    EXPECT_FALSE(v.waterMarkImage.enabled);
    EXPECT_EQ(v.bellTimes.selected, 2);
    EXPECT_EQ(v.codePage.selected, 0);
    EXPECT_EQ(v.nvGraphic.text(), "384");
    EXPECT_EQ(v.nvUser.text(), "64");
    EXPECT_EQ(v.printSpeed.text(), "220");
    EXPECT_EQ(v.drawerSelfTest.selected, pos::SelfTestDisable);
    EXPECT_EQ(v.receiveBuffer.text(), "4");
    EXPECT_EQ(v.printDensity.text(), "LEVEL 2");
    EXPECT_EQ(v.receiveError.selected, 0);
    EXPECT_TRUE(s.stopBitWarningPending());

    f.prompter.clear();
    s.setValue();
    Bytes out = f.fileBytes();
    EXPECT_TRUE(contains(out, "FB 01 01"));
    EXPECT_TRUE(contains(out, "FC 30 34"));
    EXPECT_TRUE(contains(out, "FD 00 01"));
    EXPECT_TRUE(contains(out, "D2 01 00")) << "USB mode USB";
    EXPECT_TRUE(contains(out, "74 01 00 76 55 00"));
    EXPECT_TRUE(contains(out, "F5 01 03"));
    EXPECT_EQ(f.prompter.messages(),
              std::vector<std::string>{"If you change the stop bit configuration,\r\nthis "
                                       "program maybe do not work correctly."});
    EXPECT_EQ(f.prompter.shown()[0].caption, "Notice");
    EXPECT_FALSE(s.stopBitWarningPending());
    // A USB mode record means the printer changes interface: the connection is closed.
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 0);
}

TEST(UserSetupScreen, DefaultOnAKoreanSystemAndHiddenRowsStillSent) {
    SetupFixture f(kLangKorean);
    UserSetupScreen& s = f.fileScreen(5);
    ASSERT_TRUE(s.open());
    f.prompter.queueAnswer(Answer::Yes);
    s.defaults();
    EXPECT_EQ(s.view().drawerSelfTest.selected, pos::SelfTestEnable);
    EXPECT_EQ(s.view().receiveBuffer.text(), "20");
    s.setValue();
    Bytes out = f.fileBytes();
    EXPECT_TRUE(contains(out, "FB 00 01"));
    EXPECT_TRUE(contains(out, "FC 32 30"));
    // KORVA30 hides the emulation and USB mode rows, but their defaults are written.
    EXPECT_TRUE(contains(out, "CC 02 00"));
    EXPECT_TRUE(contains(out, "D2 01 00"));
    EXPECT_EQ(f.prompter.messages().back(),
              "Stop Bit설정을 변경 할 경우,\r\n현재 프로그램이 정상 동작 하지 않을 수 있습니다.");
}

TEST(UserSetupScreen, DefaultAnsweredNoChangesNothing) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    f.prompter.queueAnswer(Answer::No);
    s.defaults();
    EXPECT_EQ(s.view().paperWidth.selected, -1);
    EXPECT_TRUE(s.settings().nothingChosen());
}

TEST(UserSetupScreen, TwoColorWithoutDensityIsWrittenAsMedium) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.choose(C::PaperType, 1));
    ASSERT_TRUE(s.choose(C::ColorDensity, -1)); // the user clears the density
    s.setValue();
    EXPECT_TRUE(contains(f.fileBytes(), "74 01 01 76 55 00"));
    EXPECT_EQ(s.view().colorDensity.selected, pos::Medium) << "the write stores MEDIUM";
}

TEST(UserSetupScreen, TestPrintAndItsPause) {
    for (std::uint16_t lang : {kLangEnglishUS, kLangKorean}) {
        SetupFixture f(lang);
        UserSetupScreen& s = f.fileScreen();
        ASSERT_TRUE(s.open());
        s.test();
        Bytes expected;
        for (const auto& item : SettingCommands::testPrint(lang))
            expected.insert(expected.end(), item.begin(), item.end());
        EXPECT_EQ(f.fileBytes(), expected);
        EXPECT_EQ(f.clock.sleeps(), std::vector<int>{800});
        EXPECT_TRUE(s.view().getValue.enabled);
        EXPECT_TRUE(s.view().defaults.enabled);
        EXPECT_TRUE(s.view().setValue.enabled);
    }
}

TEST(UserSetupScreen, WriteFailureDisablesTheScreenButLeavesExitAndDefault) {
    SetupFixture f;
    f.app->ports.m_PortName = "FILE";
    f.app->ports.m_ModelKind = 6;
    f.prompter.queueInput(std::string("/dev/full")); // every write fails with ENOSPC
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.choose(C::WaterMark, 1));
    ASSERT_TRUE(s.setEdit(E::WaterMarkImage, "77"));
    s.test();
    EXPECT_EQ(f.prompter.messages(),
              std::vector<std::string>{"ERROR : Write Fail!\nPlease check the printer power or "
                                       "connection"});
    const UserSetupView& v = s.view();
    EXPECT_FALSE(v.getValue.enabled);
    EXPECT_FALSE(v.setValue.enabled);
    EXPECT_FALSE(v.test.enabled);
    EXPECT_FALSE(v.paperWidth.enabled);
    EXPECT_FALSE(v.codePage.enabled);
    EXPECT_FALSE(v.margin.enabled);
    EXPECT_FALSE(v.setupCode.enabled);
    EXPECT_FALSE(v.waterMarkImage.enabled);
    EXPECT_TRUE(v.stopBit.enabled);
    EXPECT_TRUE(v.emulation.enabled);
    EXPECT_TRUE(v.exit.enabled);
    EXPECT_TRUE(v.defaults.enabled);
    EXPECT_EQ(v.waterMarkImage.text, "1") << "the image number returns to 1";
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 0);
    s.getValue(); // disabled: nothing happens
    EXPECT_EQ(f.prompter.messages().size(), 1u);
    s.exit();
    EXPECT_TRUE(s.closed());
}

TEST(UserSetupScreen, NetworkSetupCodeReplyPausesTheButtonsButRevivesNoFailedScreen) {
    SetupFixture f;
    f.app->ports.m_PortName = "ETHERNET_II";
    f.app->ethernet.ipAddress = "127.0.0.1";
    f.app->ethernet.acceptedPort = 1; // nothing listens there
    UserSetupScreen& s = f.makeScreen();
    SettingReply code;
    code.number = 0xFF;
    code.value = 0x1A2B;
    s.onSettingReply(code);
    auto sleeps = f.clock.sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 800), 1);
    EXPECT_TRUE(s.view().getValue.enabled);
    EXPECT_EQ(s.view().setupCode.text, "1A2B");

    // TEST's probe fails: the screen must be left. A late reply of an earlier Get Value must
    // not make Get Value and Set Value usable again.
    EXPECT_FALSE(s.test());
    ASSERT_TRUE(s.failed());
    s.onSettingReply(code);
    EXPECT_FALSE(s.view().getValue.enabled);
    EXPECT_FALSE(s.view().setValue.enabled);
    EXPECT_TRUE(s.view().defaults.enabled);
}

TEST(UserSetupScreen, LateRepliesEnableNoControlOfAFailedScreen) {
    SetupFixture f;
    f.app->ports.m_PortName = "ETHERNET_II";
    f.app->ethernet.ipAddress = "127.0.0.1";
    f.app->ethernet.acceptedPort = 1; // nothing listens there
    UserSetupScreen& s = f.makeScreen();
    EXPECT_FALSE(s.test());
    ASSERT_TRUE(s.failed());
    auto reply = [](int number, long long value, std::string text = "") {
        SettingReply r;
        r.number = number;
        r.value = value;
        r.text = std::move(text);
        return r;
    };
    s.onSettingReply(reply(0x74, 2));       // 2Color
    s.onSettingReply(reply(0xF2, 2, "12")); // water mark on, image 12
    s.onSettingReply(reply(0xF3, 2, "3"));  // cutting position on, 3 lines
    s.onSettingReply(reply(0x03, 3));       // 58 mm, 32 columns
    const UserSetupView& v = s.view();
    EXPECT_EQ(s.settings().paperType, pos::TwoColor) << "the reply is still shown";
    EXPECT_EQ(v.waterMarkImage.text, "12");
    EXPECT_FALSE(v.colorDensity.enabled);
    EXPECT_FALSE(v.waterMarkImage.enabled);
    EXPECT_FALSE(v.cutLines.enabled);
    EXPECT_FALSE(v.columns.enabled);
    EXPECT_TRUE(v.exit.enabled);
}

TEST(UserSetupScreen, OpenFailures) {
    {
        SetupFixture f;
        f.app->ports.m_PortName = "/dev/nonexistent-tty";
        f.app->ports.m_BaudRate = 115200;
        f.app->ports.m_DataBits = 8;
        f.app->ports.m_Parity = 0;
        f.app->ports.m_FlowControl = 3;
        UserSetupScreen& s = f.makeScreen();
        EXPECT_FALSE(s.open());
        EXPECT_TRUE(s.closed());
        // The catalogue's text first, then the device and the system's reason.
        EXPECT_EQ(f.prompter.messages(),
                  std::vector<std::string>{
                      "Init Fail\nDevice /dev/nonexistent-tty: No such file or directory."});
        EXPECT_EQ(f.app->ports.m_NotifyWnd, nullptr);
    }
    {
        SetupFixture f;
        f.app->ports.m_PortName = "LPT:/nonexistent/lp";
        UserSetupScreen& s = f.makeScreen();
        EXPECT_FALSE(s.open());
        auto messages = f.prompter.messages();
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], "Init Fail\n[ParPortCtl] CreateFile fail : 2\nDevice "
                               "/nonexistent/lp: No such file or directory.");
        EXPECT_EQ(f.app->ports.m_bConnected.load(), 0);
    }
    {
        SetupFixture f(kLangKorean);
        f.app->ports.m_PortName = "ETHERNET_II";
        f.app->ethernet.ipAddress = "127.0.0.1";
        f.app->ethernet.acceptedPort = 1; // nothing listens there
        UserSetupScreen& s = f.makeScreen();
        EXPECT_FALSE(s.open());
        EXPECT_EQ(f.prompter.messages(), std::vector<std::string>{"ERROR - 프린터 확인"});
        // Ten probe attempts, 50 ms apart, in virtual time.
        auto sleeps = f.clock.sleeps();
        EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 50), 10);
    }
}

// The screen's rules follow the printer's replies too, not only the user's clicks.
TEST(UserSetupScreen, RepliesApplyTheScreensRules) {
    SetupFixture f;
    UserSetupScreen& s = f.fileScreen();
    ASSERT_TRUE(s.open());
    struct Row {
        int number;
        long long value;
        const char* text;
        std::function<bool(const UserSetupView&)> holds;
        const char* what;
    } rows[] = {
        {0x03, 3, "", [](const UserSetupView& v) { return v.columns.selected == 1; },
         "58 mm selects its column count"},
        {0x03, 1, "", [](const UserSetupView& v) { return v.columns.selected == -1; },
         "an 80 mm reply clears the column selection"},
        {0x74, 2, "", [](const UserSetupView& v) { return v.colorDensity.enabled; },
         "a 2Color reply enables the density list"},
        {0x74, 1, "", [](const UserSetupView& v) { return !v.colorDensity.enabled; },
         "a black reply disables it"},
        {0xF5, '2', "3", [](const UserSetupView& v) { return v.timesLabel.text == " / 5"; },
         "a melody reply sets the \" / 5\" label"},
        {0xF5, '1', "3", [](const UserSetupView& v) { return v.timesLabel.text == "Times"; },
         "a bell reply sets \"Times\""},
    };
    for (const Row& row : rows) {
        SettingReply r;
        r.number = row.number;
        r.value = row.value;
        r.text = row.text;
        s.onSettingReply(r);
        EXPECT_TRUE(row.holds(s.view())) << row.what;
    }
}
