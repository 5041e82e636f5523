// The network settings screen's search and change over real UDP sockets on loopback, against
// virtual printers at 127.0.0.x. Each test uses a record port of its own, so printers of
// another test never answer; the process runs in a loopback-only namespace where it can.
#include "network/NetSettingScreen.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/Language.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "sim/VirtualPrinter.h"
#include "support/LoopbackNet.h"
#include "support/TempDir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace korva {
namespace {

struct Printer {
    explicit Printer(SimOptions o) : printer(std::move(o)) {
        std::string error;
        ok = printer.start(error);
        EXPECT_TRUE(ok) << error;
    }
    nlohmann::json net() const { return printer.report()["network"]; }
    VirtualPrinter printer;
    bool ok = false;
};

SimOptions printerAt(const std::string& address, int port, const std::string& mac) {
    SimOptions o;
    o.udpAddress = address;
    o.udpPort = port;
    o.mac = mac;
    return o;
}

class NetSettingScreenTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::enterLoopbackNamespace();
        log.Open(dir.file("error.log"));
    }

    // The screen for the record port; false (and a failed test) when it would leave loopback.
    bool make(int port, const std::string& bind = "0.0.0.0", int waitMs = 1000,
              std::uint16_t langId = 0x0409) {
        NetLinkOptions o;
        o.broadcast = "127.255.255.255";
        o.bindAddress = bind;
        o.port = static_cast<std::uint16_t>(port);
        o.waitMs = waitMs;
        if (!test::guardLoopback(o))
            return false;
        catalogue.selectLanguage(langId);
        screen = std::make_unique<NetSettingScreen>(catalogue, prompter, clock, log, o);
        screen->open(langId);
        return true;
    }

    void search() {
        screen->searchPrinter();
        EXPECT_TRUE(screen->busy());
        screen->run();
        EXPECT_FALSE(screen->busy());
    }

    int rowWithMac(const std::string& mac) const {
        const auto& rows = screen->view().rows;
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (rows[i].macText == mac)
                return static_cast<int>(i);
        return -1;
    }

    test::TempDir dir;
    ErrorLog log;
    MessageCatalogue catalogue;
    RecordingPrompter prompter;
    RealClock clock;
    std::unique_ptr<NetSettingScreen> screen;
};

TEST_F(NetSettingScreenTest, SearchListsEveryAnswerAndNeverItsOwnDatagrams) {
    const int port = 29311;
    SimOptions a = printerAt("127.0.0.2", port, "00:1A:2B:3C:4D:5E");
    a.ip = "192.168.0.200";
    a.dhcp = true;
    a.netPort = 9100;
    SimOptions b = printerAt("127.0.0.3", port, "02:00:00:00:00:0B");
    b.ip = "10.1.2.3";
    b.mask = "255.255.0.0";
    b.gateway = "10.1.0.1";
    b.netPort = 515;
    b.udpAnswers = 2; // answers twice: two rows
    Printer pa(a), pb(b);
    ASSERT_TRUE(pa.ok && pb.ok);
    ASSERT_TRUE(make(port));
    search();

    const auto& v = screen->view();
    ASSERT_EQ(v.rows.size(), 3u);
    EXPECT_EQ(screen->outcome().received, 4); // with its own search request, which is not listed
    EXPECT_EQ(screen->outcome().ignored, 1);
    EXPECT_TRUE(screen->outcome().socketsOk);
    int ra = rowWithMac("00:1A:2B:3C:4D:5E");
    ASSERT_GE(ra, 0);
    const NetSettingRow& row = v.rows[static_cast<std::size_t>(ra)];
    EXPECT_EQ(row.ipText, "192.168.0.200 (DHCP)");
    EXPECT_EQ(row.portText, "9100");
    EXPECT_EQ(row.subnetText, "255.255.255.0");
    EXPECT_EQ(row.gatewayText, "192.168.0.1");
    EXPECT_EQ(row.from, "127.0.0.2");
    int twice = 0;
    for (const NetSettingRow& r : v.rows) {
        EXPECT_NE(r.ipText, "0.0.0.0") << "its own search request was listed";
        twice += r.macText == "02:00:00:00:00:0B" && r.ipText == "10.1.2.3" && r.portText == "515";
    }
    EXPECT_EQ(twice, 2);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"The printer has finished searching."});
    EXPECT_FALSE(v.changeEnabled);

    // A click on the DHCP printer's row fills the fields; a click beside the rows disables.
    screen->clickRow(ra);
    EXPECT_TRUE(screen->view().changeEnabled);
    EXPECT_TRUE(screen->view().dhcpField);
    EXPECT_EQ(screen->view().ipField, "192.168.0.200");
    EXPECT_EQ(screen->view().portField, 9100);
    EXPECT_EQ(screen->view().selectedMac, "00:1A:2B:3C:4D:5E");
    screen->clickRow(rowWithMac("02:00:00:00:00:0B"));
    EXPECT_FALSE(screen->view().dhcpField);
    EXPECT_EQ(screen->view().subnetField, "255.255.0.0");
    screen->clickRow(-1);
    EXPECT_FALSE(screen->view().changeEnabled);
}

TEST_F(NetSettingScreenTest, SeveralDestinationsListEachPrinterOnce) {
    if (!test::enterLoopbackNamespace())
        GTEST_SKIP() << "every interface's broadcast is a loopback one only in a private namespace";
    const int port = 29316;
    Printer pa(printerAt("127.0.0.2", port, "00:1A:2B:3C:4D:5E"));
    Printer pb(printerAt("127.0.0.3", port, "02:00:00:00:00:0B"));
    ASSERT_TRUE(pa.ok && pb.ok);
    ASSERT_TRUE(make(port));
    // To the first printer itself and to loopback's broadcast: it hears and answers both.
    NetLinkOptions o = screen->options();
    o.broadcast = "127.0.0.2";
    o.allInterfaces = true;
    ASSERT_TRUE(test::guardLoopback(o));
    screen->setOptions(o);
    search();
    EXPECT_EQ(pa.net()["searches"], 2);
    const auto& rows = screen->view().rows;
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_NE(rows[0].macText, rows[1].macText);
    EXPECT_GE(rowWithMac("00:1A:2B:3C:4D:5E"), 0);
    EXPECT_GE(rowWithMac("02:00:00:00:00:0B"), 0);
}

TEST_F(NetSettingScreenTest, FieldsAreCheckedBeforeAnySocketOpens) {
    // The bind address cannot be used, so a change that gets as far as the sockets shows the
    // System Error message; a refused one shows only its own message.
    const std::string systemError = MessageCatalogue::english(MsgSystemError);
    const std::string portRange = MessageCatalogue::english(MsgPortRange);
    struct Case {
        const char* ip;
        const char* mac;
        int port;
        std::string expected;
    };
    const Case cases[] = {
        {"10.0.0.5", "00:1A:2B:3C:4D:5E", 515, systemError},
        {"10.0.0.5", "00:1A:2B:3C:4D:5E", 1024, systemError},
        {"10.0.0.5", "00:1a:2b:3c:4d:5e", 65534, systemError},
        {"10.0.0.5", "00:1A:2B:3C:4D:5E", 1023, portRange},
        {"10.0.0.5", "00:1A:2B:3C:4D:5E", 65535, portRange},
        {"10.0.0.5", "00:1A:2B:3C:4D:5E", 0, portRange},
        {"10.0.0.5", "00:1A:2B:3C:4D", 9100, "The MAC address"},
        {"10.0.0.5", "", 9100, "The MAC address"},
        {"10.0.0.256", "00:1A:2B:3C:4D:5E", 9100, "Please enter the IP"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.ip) + " " + c.mac + " " + std::to_string(c.port));
        ASSERT_TRUE(make(29313, "no-such-address"));
        screen->setSelectedMac(c.mac);
        prompter.clear();
        prompter.queueAnswer(Answer::Yes);
        screen->changeSetting(c.ip, "255.255.255.0", "10.0.0.1", c.port, false);
        EXPECT_FALSE(screen->busy());
        auto messages = prompter.messages();
        ASSERT_FALSE(messages.empty());
        EXPECT_EQ(messages[0].rfind(c.expected, 0), 0u) << messages[0];
        EXPECT_FALSE(screen->outcome().confirmed);
    }
}

TEST_F(NetSettingScreenTest, SilenceEndsSearchAndChangeAfterTheTimeOut) {
    ASSERT_TRUE(make(29314, "0.0.0.0", 300, kLangKorean));
    search();
    EXPECT_TRUE(screen->view().rows.empty());
    EXPECT_TRUE(screen->outcome().socketsOk);
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"프린터 검색이 완료되었습니다."});
    // A change nobody answers still sends its second record and completes, as the printer
    // may restart without a word; declining sends nothing.
    prompter.clear();
    prompter.queueAnswer(Answer::No);
    screen->setSelectedMac("00:1A:2B:3C:4D:5E");
    screen->changeSetting("10.0.0.5", "255.255.255.0", "10.0.0.1", 9100, true);
    EXPECT_FALSE(screen->busy());
    EXPECT_FALSE(screen->outcome().confirmed);
    ASSERT_EQ(prompter.shown().size(), 1u);
    EXPECT_EQ(prompter.shown()[0].text, "프린터의 네트워크 설정을 변경하시겠습니까?");
    EXPECT_EQ(prompter.shown()[0].caption, "Notice");
    EXPECT_EQ(prompter.shown()[0].buttons, Buttons::YesNo);
    prompter.queueAnswer(Answer::Yes);
    screen->changeSetting("10.0.0.5", "255.255.255.0", "10.0.0.1", 9100, true);
    screen->run();
    EXPECT_TRUE(screen->outcome().confirmed);
    EXPECT_FALSE(screen->outcome().answered);
    EXPECT_EQ(prompter.messages().back(), catalogue.text(MsgUpdateCompleteNetwork));
}

TEST_F(NetSettingScreenTest, ASearchRequestThatCannotGoOutEndsTheSearchAtOnce) {
    // Record port 0: the sockets open, but no datagram can be sent to port 0.
    ASSERT_TRUE(make(0));
    screen->searchPrinter();
    EXPECT_FALSE(screen->busy());
    EXPECT_FALSE(screen->outcome().socketsOk);
    EXPECT_EQ(prompter.messages(),
              std::vector<std::string>{MessageCatalogue::english(MsgSystemError)});
    EXPECT_FALSE(screen->step(0));
}

TEST_F(NetSettingScreenTest, FloodStopsAt254AndBadDatagramsAreIgnored) {
    const int port = 29315;
    SimOptions o = printerAt("127.0.0.2", port, "00:1A:2B:3C:4D:5E");
    o.udpAnswers = 300;
    o.udpNoise = {"short", "long", "garbage"};
    Printer p(o);
    ASSERT_TRUE(p.ok);
    // Bound to loopback's own address, the screen does not hear its own broadcast: every
    // datagram it counts is the printer's.
    ASSERT_TRUE(make(port, "127.0.0.1"));
    search();
    EXPECT_EQ(screen->outcome().received, NetSettingScreen::kMaxDatagrams);
    EXPECT_EQ(screen->outcome().ignored, 3);
    EXPECT_EQ(screen->view().rows.size(), 251u);
    EXPECT_EQ(screen->view().lastAdded, 250);
    for (const NetSettingRow& r : screen->view().rows)
        EXPECT_EQ(r.macText, "00:1A:2B:3C:4D:5E");
    log.Close();
    std::string text = dir.read("error.log");
    EXPECT_NE(text.find("datagram of 20 bytes from 127.0.0.2 ignored"), std::string::npos);
    EXPECT_NE(text.find("datagram of 60 bytes from 127.0.0.2 ignored"), std::string::npos);
}

TEST(LoopbackGuard, FailsATestThatWouldLeaveLoopback) {
    NetLinkOptions o;
    EXPECT_NONFATAL_FAILURE(test::guardLoopback(o), "255.255.255.255, outside 127.0.0.0/8");
    o.broadcast = "192.168.1.255";
    EXPECT_NONFATAL_FAILURE(test::guardLoopback(o), "outside 127.0.0.0/8");
    EXPECT_NONFATAL_FAILURE(test::guardLoopbackArgs({"net", "search"}), "without --broadcast");
    EXPECT_NONFATAL_FAILURE(test::guardLoopbackArgs({"net", "search", "--broadcast", "10.0.0.255"}),
                            "outside 127.0.0.0/8");
    o.broadcast = "127.255.255.255";
    EXPECT_TRUE(test::guardLoopback(o));
    // In the private namespace loopback is the only interface, so every interface's broadcast
    // is a loopback one too.
    o.allInterfaces = true;
    if (test::enterLoopbackNamespace()) {
        EXPECT_TRUE(test::guardLoopback(o));
    }
}

} // namespace
} // namespace korva
