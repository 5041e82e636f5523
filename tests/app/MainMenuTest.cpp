#include "app/MainMenu.h"

#include <gtest/gtest.h>
#include <set>

using namespace korva;
using Tool = MainMenuHost::Tool;

namespace {

struct FakeTools : MainMenuHost {
    std::set<Tool> missing;
    std::vector<std::string> events;
    bool portOpen = false;

    bool available(Tool t) const override { return !missing.count(t); }
    void runLogoTool() override { events.push_back("logo"); }
    void clearLogoLists() override { events.push_back("clear lists"); }
    void runUserSetup() override { events.push_back("user setup"); }
    void runFirmwareDownload(bool eraseWrite) override {
        events.push_back(eraseWrite ? "firmware erase/write" : "firmware area");
    }
    void setReceiveMode(std::uint8_t mode) override {
        events.push_back("mode " + std::to_string(mode));
    }
    bool connected() const override { return portOpen; }
    void closeConnection() override {
        events.push_back("close");
        portOpen = false;
    }
};

ConnectionSettings on(const char* port, int kind) {
    ConnectionSettings s;
    s.m_PortName = port;
    s.m_ModelKind = kind;
    return s;
}

} // namespace

TEST(MainMenu, OpeningShowsTitleSummaryAndCaptions) {
    struct Row {
        ConnectionSettings settings;
        const char* summary;
    } rows[] = {{on("USB", 5), "KORVA \r\nUSB-II Interface"},
                {on("LPT1", 6), "KORVA40 - LPT1"},
                {on("ETHERNET_II", 6), "KORVA40 - ETHERNET_II"},
                {on("LPT2", 4), "KORVA40i - LPT2"}};
    for (const Row& r : rows) {
        FakeTools tools;
        MainMenu menu(r.settings, tools);
        menu.open(0x0409);
        EXPECT_EQ(menu.view().summary, r.summary);
        EXPECT_EQ(menu.view().title, "KORVASet");
        EXPECT_EQ(menu.view().backCaption, "<< &Back  ");
        EXPECT_EQ(menu.view().userSetupCaption, "&User Setup");
        EXPECT_TRUE(menu.view().userSetupEnabled);
    }
}

TEST(MainMenu, SummaryFollowsTheSettingsEachTimeItOpens) {
    ConnectionSettings s = on("COM3", 5);
    s.m_BaudRate = 115200;
    s.m_DataBits = 8;
    s.m_Parity = 0;
    s.m_FlowControl = 1;
    s.m_StopBits = 0;
    FakeTools tools;
    MainMenu menu(s, tools);
    menu.open(0x0409);
    EXPECT_EQ(menu.view().summary, "KORVA30 - COM3\r\nBaud : 115200\r\nData : 8 bit\r\n"
                                   "None Parity\r\nH/W Flow control\r\nOne Stop Bit");
    s.m_PortName = "USB";
    menu.open(0x0409);
    EXPECT_EQ(menu.view().summary, "KORVA \r\nUSB-II Interface");
}

TEST(MainMenu, Korva10HasNoUserSetupAndTheEraseWriteFirmwareScreen) {
    ConnectionSettings s = on("COM1", 2);
    FakeTools tools;
    MainMenu menu(s, tools);
    menu.open(0x0409);
    EXPECT_FALSE(menu.view().userSetupEnabled);
    menu.userSetup();
    EXPECT_TRUE(tools.events.empty());
    menu.firmwareDownload();
    EXPECT_EQ(tools.events, (std::vector<std::string>{"mode 3", "firmware erase/write"}));
}

TEST(MainMenu, ButtonsSetTheReceiveModeAroundTheirTools) {
    ConnectionSettings s = on("COM1", 6);
    FakeTools tools;
    MainMenu menu(s, tools);
    menu.open(0x0409);
    menu.userSetup();
    menu.logoDownload();
    menu.firmwareDownload();
    tools.portOpen = true;
    menu.firmwareDownload();
    EXPECT_EQ(tools.events, (std::vector<std::string>{"mode 2", "user setup", "logo", "mode 1",
                                                      "clear lists", "mode 3", "firmware area",
                                                      "mode 3", "firmware area", "close"}));
    EXPECT_FALSE(menu.view().closed);
    menu.back();
    EXPECT_TRUE(menu.view().closed);
}

TEST(MainMenu, MissingToolsLeaveTheirButtonsDisabled) {
    ConnectionSettings s = on("LPT1", 6);
    FakeTools tools;
    tools.missing = {Tool::Logo, Tool::Firmware};
    MainMenu menu(s, tools);
    menu.open(0x0409);
    EXPECT_FALSE(menu.view().logoEnabled);
    EXPECT_FALSE(menu.view().firmwareEnabled);
    EXPECT_TRUE(menu.view().userSetupEnabled);
    menu.logoDownload();
    menu.firmwareDownload();
    EXPECT_TRUE(tools.events.empty());
}

TEST(MainMenu, KoreanCaptions) {
    ConnectionSettings s = on("LPT1", 6);
    FakeTools tools;
    MainMenu menu(s, tools);
    menu.open(0x0412);
    EXPECT_EQ(menu.view().logoCaption, "로고 전송");
    EXPECT_EQ(menu.view().userSetupCaption, "사용자 설정");
    EXPECT_EQ(menu.view().firmwareCaption, "펌웨어 전송");
    EXPECT_EQ(menu.view().backCaption, "<< 뒤로");
    EXPECT_EQ(menu.view().title, "KORVASet");
    menu.open(0x0409);
    EXPECT_EQ(menu.view().logoCaption, "&Logo Download");
}
