#include "setup/PrinterSettings.h"
#include "setup/SettingCommands.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

using namespace korva;
using korva::test::bytes;
using korva::test::hex;

namespace {
std::string build(PrinterSettings s) {
    return hex(buildWriteSettings(s).command);
}
} // namespace

TEST(WriteSettings, MarginAndSetupCodeAreAlwaysPresent) {
    PrinterSettings s;
    EXPECT_EQ(build(s), "1D 28 45 0A 00 05 FA 00 00 FF 00 00 00 00 04");
    s.leftMargin = 512;
    EXPECT_EQ(build(s), "1D 28 45 0A 00 05 FA 00 02 FF 00 00 00 00 04");
    s.leftMargin = 100;
    EXPECT_EQ(build(s), "1D 28 45 0A 00 05 FA 64 00 FF 00 00 00 00 04");
}

TEST(WriteSettings, SetupCodeTextRule) {
    struct Row {
        const char* text;
        const char* record;
        bool reset;
    } rows[] = {
        {"1A2B", "FF 2B 1A 00 00 04", false},     {"1a2b", "FF 2B 1A 00 00 04", false},
        {"FFFFFFFF", "FF FF FF FF FF 04", false}, {"12345678", "FF 78 56 34 12 04", false},
        {"12345678G", "FF 00 00 00 00 04", true}, {"XYZ", "FF 00 00 00 00 04", true},
        {"123456789", "FF 00 00 00 00 04", true}, {"0", "FF 00 00 00 00 04", false},
    };
    for (const Row& r : rows) {
        PrinterSettings s;
        s.setupCode = r.text;
        WriteSettingsResult w = buildWriteSettings(s);
        std::string all = hex(w.command);
        EXPECT_EQ(all.substr(all.size() - 17), r.record) << r.text;
        EXPECT_EQ(w.setupCodeReset, r.reset) << r.text;
        EXPECT_EQ(s.setupCode, r.reset ? std::string("0") : std::string(r.text)) << r.text;
    }
    EXPECT_EQ(formatSetupCode(0x1A2B), "1A2B");
    EXPECT_EQ(formatSetupCode(0xFFFFFFFFu), "FFFFFFFF");
}

TEST(WriteSettings, TwoColorWithoutDensityIsWrittenAsMediumAndStored) {
    PrinterSettings s;
    s.paperType = pos::TwoColor;
    WriteSettingsResult w = buildWriteSettings(s);
    EXPECT_EQ(hex(w.command), "1D 28 45 10 00 05 74 01 01 76 55 00 FA 00 00 FF 00 00 00 00 04");
    ASSERT_TRUE(s.colorDensity.has_value());
    EXPECT_EQ(*s.colorDensity, pos::Medium);
    s.paperType = pos::Black;
    s.colorDensity = pos::Dark;
    EXPECT_NE(build(s).find("74 01 00 76 64 00"), std::string::npos);
    s.colorDensity = pos::Light;
    EXPECT_NE(build(s).find("74 01 00 76 46 00"), std::string::npos);
}

TEST(WriteSettings, BellTimesDefaultToThree) {
    PrinterSettings s;
    s.bellType = pos::OtherBell;
    EXPECT_NE(build(s).find("F5 00 03"), std::string::npos);
    PrinterSettings t;
    t.bellType = 2; // TAVEL Melody 2
    t.bellTimes = 4;
    EXPECT_NE(build(t).find("F5 03 05"), std::string::npos);
    buildWriteSettings(s);
    EXPECT_EQ(s.bellTimes, 2);
}

// Every record once, checking the fixed order and every encoding in one go.
TEST(WriteSettings, EveryRecordInItsFixedOrder) {
    PrinterSettings s;
    s.paperSave = 2;
    s.sleepMode = 3;
    s.emulation = pos::Star;
    s.autoCutter = pos::AutoCutOff;
    s.kitchenBell = pos::On;
    s.selfTestKey = pos::HexaDump;
    s.printDensity = 3;
    s.usbMode = pos::UsbModeCom;
    s.paperWidth = pos::Width58Col32;
    s.paperType = pos::Black;
    s.colorDensity = pos::Light;
    s.waterMark = pos::Enable;
    s.waterMarkImage = 12;
    s.cutPosition = pos::On;
    s.cutLines = 7;
    s.drawerWithCut = pos::Enable;
    s.bellType = 0;
    s.bellTimes = 4;
    s.codePage = 254;
    s.nvUserMemory = 4;
    s.nvGraphicMemory = 6;
    s.cuttingMode = pos::FullCut;
    s.printSpeed = 180;
    s.boldKorean = pos::On;
    s.drawerSelfTest = pos::SelfTestEnable;
    s.stopBit = pos::StopTwo;
    s.receiveBuffer = 0;
    s.leftMargin = 300;
    s.setupCode = "DEADBEEF";
    WriteSettingsResult w = buildWriteSettings(s);
    EXPECT_EQ(hex(w.command), "1D 28 45 52 00 05 "
                              "D5 02 00 D4 03 00 CC 01 00 CE 02 00 CD 01 00 CF 01 00 D0 04 00 "
                              "D2 02 00 03 03 00 74 01 00 76 46 00 F2 00 0C F3 01 07 F4 00 01 "
                              "F5 01 05 F6 FE 00 01 05 00 02 07 00 F7 01 01 F9 B4 00 F8 00 01 "
                              "FB 00 01 FD 01 01 FC 36 34 FA 2C 01 FF EF BE AD DE 04");
    EXPECT_TRUE(w.carriesStopBit);
    EXPECT_TRUE(w.carriesUsbMode);

    // The other half of every pair.
    PrinterSettings t;
    t.emulation = pos::Epson;
    t.autoCutter = pos::AutoCutOn;
    t.kitchenBell = pos::Off;
    t.selfTestKey = pos::SelfTest;
    t.usbMode = pos::UsbModeUsb;
    t.paperWidth = pos::Width80;
    t.waterMark = pos::Disable;
    t.waterMarkImage = 12;
    t.cutPosition = pos::Off;
    t.cutLines = 7;
    t.drawerWithCut = pos::Disable;
    t.cuttingMode = pos::Partial;
    t.boldKorean = pos::Off;
    t.drawerSelfTest = pos::SelfTestDisable;
    t.stopBit = pos::StopOne;
    t.receiveBuffer = 3;
    t.printSpeed = 220;
    EXPECT_EQ(build(t), "1D 28 45 37 00 05 CC 02 00 CE 01 00 CD 02 00 CF 02 00 D2 01 00 "
                        "03 06 00 F2 00 00 F3 00 00 F4 00 00 F7 00 01 F9 DC 00 F8 01 01 "
                        "FB 01 01 FD 00 01 FC 30 34 FA 00 00 FF 00 00 00 00 04");
}

TEST(WriteSettings, EachPaperWidthHasItsOwnRecord) {
    struct Row {
        int width;
        const char* record;
    } rows[] = {
        {pos::Width80, "03 06 00"},
        {pos::Width58Col30, "03 02 00"},
        {pos::Width58Col32, "03 03 00"},
    };
    for (const Row& row : rows) {
        PrinterSettings s;
        s.paperWidth = row.width;
        EXPECT_EQ(build(s),
                  "1D 28 45 0D 00 05 " + std::string(row.record) + " FA 00 00 FF 00 00 00 00 04")
            << row.width;
    }
}

TEST(WriteSettings, ReceiveBufferPastTheFourKnownPositionsIsLeftOut) {
    PrinterSettings s;
    s.receiveBuffer = 4;
    EXPECT_EQ(build(s), "1D 28 45 0A 00 05 FA 00 00 FF 00 00 00 00 04");
    s.receiveBuffer = 1;
    EXPECT_NE(build(s).find("FC 33 32"), std::string::npos);
    s.receiveBuffer = 2;
    EXPECT_NE(build(s).find("FC 32 30"), std::string::npos);
}

TEST(WriteSettings, NothingChosen) {
    PrinterSettings s;
    EXPECT_TRUE(s.nothingChosen());
    s.leftMargin = 1;
    EXPECT_FALSE(s.nothingChosen());
    s.leftMargin = 0;
    s.setupCode = "00";
    EXPECT_FALSE(s.nothingChosen());
    s.setupCode = "0";
    s.sleepMode = 0;
    EXPECT_FALSE(s.nothingChosen());
}

TEST(SettingCommands, FixedCommands) {
    EXPECT_EQ(hex(SettingCommands::enterSetup()), "1D 28 45 03 00 01 49 4E");
    EXPECT_EQ(hex(SettingCommands::leaveSetup()), "1D 28 45 04 00 02 4F 55 54");
    EXPECT_EQ(hex(SettingCommands::query(0xF2)), "1D 28 45 02 00 06 F2");
    EXPECT_EQ(hex(SettingCommands::statusBackOff()), "1D 61 00");
    EXPECT_EQ(hex(SettingCommands::parallelFinish()), "00 00 00 00 00");
}

TEST(SettingCommands, QueryOrders) {
    EXPECT_EQ(hex(SettingCommands::serialQueryOrder()),
              "03 74 76 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD 01 02 FF");
    EXPECT_EQ(hex(SettingCommands::networkQueryOrder()),
              "03 74 76 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC 01 02 FF");
    EXPECT_EQ(hex(SettingCommands::parallelQueryList()),
              "01 02 03 74 76 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FF");
}
