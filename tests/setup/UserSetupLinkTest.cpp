// The user setup screen against the virtual printer over real ports: a serial pseudo-terminal,
// TCP on 127.0.0.1 (ETHERNET_II), the parallel stand-in and the USB stand-in. Every setting
// written is read back equal; the screen's pauses run in virtual time.
#include "SetupFixture.h"

#include "setup/SettingCommands.h"
#include "setup/SettingReplyParser.h"
#include "sim/VirtualPrinter.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>

using namespace korva;
using namespace korva::test;
using C = UserSetupScreen::Choice;
using E = UserSetupScreen::Edit;

namespace {

constexpr int kBusyMs = 30;

SimOptions simOptions() {
    SimOptions o;
    o.model = "KORVA40S";
    o.leaveBusyMs = kBusyMs;
    return o;
}

void startSim(VirtualPrinter& sim) {
    std::string error;
    ASSERT_TRUE(sim.start(error)) << error;
}

void serialPort(SetupFixture& f, const std::string& path) {
    CPorts& p = f.app->ports;
    p.m_PortName = path;
    p.m_BaudRate = 115200;
    p.m_DataBits = 8;
    p.m_Parity = 0;
    p.m_StopBits = 0;
    p.m_FlowControl = 3;
    p.m_ModelKind = 6;
}

// What the printer holds, decoded the way the screen decodes replies.
PrinterSettings fromReport(const nlohmann::json& report, const std::vector<std::uint8_t>& numbers) {
    PrinterSettings s;
    for (std::uint8_t n : numbers) {
        auto text = report["settings"][std::to_string(n)];
        if (!text.is_string())
            continue;
        if (auto r = SettingReplyParser::decode(n, text.get<std::string>()))
            s.applyReply(*r);
    }
    return s;
}

void expectSameQueried(const PrinterSettings& a, const PrinterSettings& b, bool stopBit) {
    EXPECT_EQ(a.nvUserMemory, b.nvUserMemory);
    EXPECT_EQ(a.nvGraphicMemory, b.nvGraphicMemory);
    EXPECT_EQ(a.paperWidth, b.paperWidth);
    EXPECT_EQ(a.paperType, b.paperType);
    EXPECT_EQ(a.colorDensity, b.colorDensity);
    EXPECT_EQ(a.waterMark, b.waterMark);
    if (a.waterMark == pos::Enable) {
        EXPECT_EQ(a.waterMarkImage, b.waterMarkImage);
    }
    EXPECT_EQ(a.cutPosition, b.cutPosition);
    if (a.cutPosition == pos::On) {
        EXPECT_EQ(a.cutLines, b.cutLines);
    }
    EXPECT_EQ(a.drawerWithCut, b.drawerWithCut);
    EXPECT_EQ(a.bellType, b.bellType);
    EXPECT_EQ(a.bellTimes, b.bellTimes);
    EXPECT_EQ(a.codePage, b.codePage);
    EXPECT_EQ(a.cuttingMode, b.cuttingMode);
    EXPECT_EQ(a.boldKorean, b.boldKorean);
    EXPECT_EQ(a.printSpeed, b.printSpeed);
    EXPECT_EQ(a.leftMargin, b.leftMargin);
    EXPECT_EQ(a.drawerSelfTest, b.drawerSelfTest);
    EXPECT_EQ(a.receiveBuffer, b.receiveBuffer);
    if (stopBit) {
        EXPECT_EQ(a.stopBit, b.stopBit);
    }
    EXPECT_EQ(a.setupCode, b.setupCode);
}

// A set of choices touching every queried setting and the write-only ones.
void chooseMany(UserSetupScreen& s) {
    ASSERT_TRUE(s.choose(C::PaperWidth, 1));
    ASSERT_TRUE(s.choose(C::Columns, 0));
    ASSERT_TRUE(s.choose(C::PaperType, 0));
    ASSERT_TRUE(s.choose(C::WaterMark, 1));
    ASSERT_TRUE(s.setEdit(E::WaterMarkImage, "77"));
    ASSERT_TRUE(s.choose(C::CutPosition, 1));
    ASSERT_TRUE(s.setEdit(E::CutLines, "9"));
    ASSERT_TRUE(s.choose(C::DrawerWithCut, 1));
    ASSERT_TRUE(s.choose(C::BellType, 2));
    ASSERT_TRUE(s.choose(C::BellTimes, 3));
    ASSERT_TRUE(s.choose(C::CodePage, 7)); // 16
    ASSERT_TRUE(s.choose(C::NvGraphic, 2));
    ASSERT_TRUE(s.choose(C::NvUser, 1));
    ASSERT_TRUE(s.choose(C::CuttingMode, 1));
    ASSERT_TRUE(s.choose(C::PrintSpeed, 2)); // 180
    ASSERT_TRUE(s.choose(C::DrawerSelfTest, 0));
    ASSERT_TRUE(s.choose(C::ReceiveBuffer, 1));
    ASSERT_TRUE(s.choose(C::StopBit, 0));
    ASSERT_TRUE(s.setEdit(E::Margin, "123"));
    ASSERT_TRUE(s.setEdit(E::SetupCode, "1a2b"));
    ASSERT_TRUE(s.choose(C::Emulation, 1));
    ASSERT_TRUE(s.choose(C::PrintDensity, 3));
    ASSERT_TRUE(s.choose(C::SleepMode, 2));
}

// Waits (real time, bounded) until the printer has taken the whole write bracket.
nlohmann::json afterLeave(VirtualPrinter& sim, int leaves = 1) {
    sim.waitFor([&](const nlohmann::json& r) { return r["setup"]["leaves"] == leaves; }, 3000);
    return sim.report();
}

void expectWriteOnlyStored(const nlohmann::json& report) {
    EXPECT_EQ(report["settings"]["204"], "1") << "emulation STAR";
    EXPECT_EQ(report["settings"]["208"], "4") << "print density LEVEL 4";
    EXPECT_EQ(report["settings"]["212"], "2") << "sleep mode 10 Min";
}

std::string missing(const UserSetupScreen& s) {
    std::string out = " missing:";
    for (std::uint8_t n : s.queryList())
        if (!s.received(n))
            out += " " + std::to_string(n);
    return out;
}

// Applies replies until none has come for quietMs (the reply thread has caught up).
void settle(UserSetupScreen& s, int quietMs = 300) {
    for (int i = 0; i < 200; ++i)
        if (s.waitForReplies(quietMs) == 0)
            return;
}

} // namespace

TEST(UserSetupLink, SerialRoundTrip) {
    SimOptions o = simOptions();
    o.serial = true;
    VirtualPrinter sim(o);
    startSim(sim);
    SetupFixture f;
    serialPort(f, sim.serialPath());
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open()) << testing::PrintToString(f.prompter.messages()) << f.logText();
    s.getValue();
    ASSERT_TRUE(f.pumpUntil([&] { return f.allAnswered(); }));
    expectSameQueried(fromReport(sim.report(), s.queryList()), s.settings(), true);

    chooseMany(s);
    PrinterSettings written = s.settings();
    s.setValue();
    ASSERT_TRUE(s.view().setValue.enabled) << "the write succeeded";
    written.setupCode = "1A2B";
    written.leftMargin = 123;
    written.waterMarkImage = 77;
    written.cutLines = 9;
    written.colorDensity = pos::Medium; // stored by the write
    auto report = afterLeave(sim);
    EXPECT_EQ(report["setup"]["enters"], 1);
    EXPECT_EQ(report["setup"]["leaves"], 1);
    expectWriteOnlyStored(report);

    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyMs + 30));
    s.resetChoices(false);
    s.getValue();
    ASSERT_TRUE(f.pumpUntil([&] { return f.allAnswered(); }));
    expectSameQueried(written, s.settings(), true);
    s.exit();
    EXPECT_TRUE(s.closed());
    EXPECT_EQ(f.app->ports.m_NotifyWnd, nullptr);
}

TEST(UserSetupLink, SplitJoinedRepliesStatusBlocksAndGarbageDoNotDisturb) {
    SimOptions o = simOptions();
    o.serial = true;
    o.splitReplies = o.statusBlocks = o.garbage = true;
    o.seed = 42;
    VirtualPrinter sim(o);
    startSim(sim);
    SetupFixture f;
    serialPort(f, sim.serialPath());
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    for (int round = 0; round < 3; ++round) {
        s.getValue();
        ASSERT_TRUE(f.pumpUntil([&] { return f.allAnswered(); })) << round;
        expectSameQueried(fromReport(sim.report(), s.queryList()), s.settings(), true);
    }
}

TEST(UserSetupLink, NetworkRoundTripAndTheReplyThreadEndsAtExit) {
    SimOptions o = simOptions();
    o.model = "KORVA40E-II";
    o.tcpPort = 0;
    VirtualPrinter sim(o);
    startSim(sim);
    SetupFixture f;
    f.app->ports.m_PortName = "ETHERNET_II";
    f.app->ports.m_ModelKind = 6;
    f.app->ethernet.ipAddress = "127.0.0.1";
    f.app->ethernet.acceptedPort = sim.tcpPort();
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    EXPECT_EQ(s.queryList().size(), 17u);
    s.getValue();
    ASSERT_TRUE(f.pumpUntil([&] { return f.allAnswered(); }));
    EXPECT_FALSE(s.received(0xFD)) << "the COM stop bit is not asked over the network";
    expectSameQueried(fromReport(sim.report(), s.queryList()), s.settings(), false);
    // The last reply (the setup code) holds the buttons for 800 ms.
    auto sleeps = f.clock.sleeps();
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), 800), sleeps.end());

    chooseMany(s);
    PrinterSettings written = s.settings();
    f.clock.clearSleeps();
    s.setValue();
    ASSERT_TRUE(s.view().getValue.enabled);
    sleeps = f.clock.sleeps();
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), 3000), sleeps.end());
    EXPECT_FALSE(f.app->socket.connected()) << "closed after the write";
    expectWriteOnlyStored(afterLeave(sim));

    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyMs + 30));
    written.setupCode = "1A2B";
    written.leftMargin = 123;
    written.waterMarkImage = 77;
    written.cutLines = 9;
    written.colorDensity = pos::Medium;
    s.resetChoices(false);
    s.getValue();
    ASSERT_TRUE(f.pumpUntil([&] { return f.allAnswered(); }));
    expectSameQueried(written, s.settings(), false);
    s.exit();
    EXPECT_TRUE(s.closed());
    EXPECT_FALSE(f.app->socket.connected());
}

TEST(UserSetupLink, UsbRoundTripWithTheReopenAfterTheWrite) {
    SimOptions o = simOptions();
    o.model = "KORVA40U-II";
    o.usb = true;
    VirtualPrinter sim(o);
    startSim(sim);
    SetupFixture f(kLangEnglishUS, DeviceRoots{sim.sysRoot(), sim.devRoot()});
    f.app->ports.m_PortName = "USB";
    f.app->ports.m_ModelKind = 6;
    UserSetupScreen& s = f.makeScreen("KORVA \r\nUSB-II Interface");
    ASSERT_TRUE(s.open());
    s.getValue();
    ASSERT_TRUE(f.answerAll()) << f.logText() << sim.report()["setup"].dump() << missing(s);
    expectSameQueried(fromReport(sim.report(), s.queryList()), s.settings(), true);

    chooseMany(s);
    PrinterSettings written = s.settings();
    f.clock.clearSleeps();
    s.setValue();
    ASSERT_TRUE(s.view().setValue.enabled);
    EXPECT_EQ(f.clock.sleeps(), std::vector<int>{3000}) << "closed, 3 s, opened again";
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 1);

    std::this_thread::sleep_for(std::chrono::milliseconds(kBusyMs + 30));
    written.setupCode = "1A2B";
    written.leftMargin = 123;
    written.waterMarkImage = 77;
    written.cutLines = 9;
    written.colorDensity = pos::Medium;
    s.resetChoices(false);
    s.getValue();
    ASSERT_TRUE(f.answerAll()) << "the reply thread runs again after the reopen";
    expectSameQueried(written, s.settings(), true);
}

TEST(UserSetupLink, ParallelGetValueStateMachineAndSetValuePauses) {
    SimOptions o = simOptions();
    o.model = "KORVA40P";
    o.parallel = true;
    o.leaveBusyMs = 0; // the 4000 ms pause is virtual: nothing would wait for a busy printer
    VirtualPrinter sim(o);
    startSim(sim);
    SetupFixture f;
    f.app->ports.m_PortName = "LPT:" + sim.parallelPath();
    f.app->ports.m_ModelKind = 6;
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 1);

    s.getValue();
    EXPECT_TRUE(s.getValueRunning());
    EXPECT_EQ(s.view().cursor, Cursor::Wait);
    EXPECT_TRUE(s.view().exit.enabled) << "the way out of a printer that never completes";
    EXPECT_FALSE(s.view().getValue.enabled);
    ASSERT_TRUE(f.timers.active(UserSetupScreen::kTimerId));
    EXPECT_EQ(f.timers.period(UserSetupScreen::kTimerId), 3000);
    for (int round = 0; round < 30 && f.timers.active(UserSetupScreen::kTimerId); ++round) {
        settle(s);
        f.clock.advance(f.timers.period(UserSetupScreen::kTimerId));
        s.onTimer(UserSetupScreen::kTimerId);
    }
    ASSERT_FALSE(f.timers.active(UserSetupScreen::kTimerId));
    EXPECT_FALSE(s.getValueRunning());
    EXPECT_TRUE(f.allAnswered());
    EXPECT_EQ(s.view().cursor, Cursor::Arrow);
    EXPECT_TRUE(s.view().exit.enabled);
    EXPECT_TRUE(s.view().getValue.enabled);
    std::vector<int> periods = f.timers.started();
    EXPECT_EQ(periods.front(), 3000);
    for (std::size_t i = 1; i < periods.size(); ++i)
        EXPECT_EQ(periods[i], 2000);
    expectSameQueried(fromReport(sim.report(), s.queryList()), s.settings(), false);
    ASSERT_TRUE(sim.waitFor(
        [](const nlohmann::json& r) {
            for (const auto& c : r["commands"])
                if (c["cmd"] == "nul" && c["length"] == 5)
                    return true;
            return false;
        },
        2000))
        << "the parallel finish bytes";

    chooseMany(s);
    f.clock.clearSleeps();
    s.setValue();
    ASSERT_TRUE(s.view().setValue.enabled);
    auto sleeps = f.clock.sleeps();
    ASSERT_FALSE(sleeps.empty());
    EXPECT_EQ(sleeps.front(), 4000) << "the printer applies the values before the port reopens";
    expectWriteOnlyStored(afterLeave(sim));
    auto countStatusBackOffs = [](const nlohmann::json& r) {
        int n = 0;
        for (const auto& c : r["commands"])
            if (c["cmd"] == "status-back" && c["n"] == 0)
                ++n;
        return n;
    };
    sim.waitFor([&](const nlohmann::json& r) { return countStatusBackOffs(r) == 3; }, 3000);
    auto report = sim.report();
    int statusBackOffs = 0;
    for (const auto& c : report["commands"])
        if (c["cmd"] == "status-back" && c["n"] == 0)
            ++statusBackOffs;
    EXPECT_EQ(statusBackOffs, 3) << "at open, before the queries, after the reopen";
    s.exit();
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 0);
}

// After Get Value the screen keeps collecting until every query is answered, or names the rows
// that got no answer once the printer has been silent for 2 s.
TEST(UserSetupLink, GetValueNamesTheSettingsThatGotNoAnswer) {
    SimOptions o = simOptions();
    o.serial = true;
    o.dropReplyFor = {SetLeftMargin, SetPaperType};
    VirtualPrinter sim(o);
    startSim(sim);
    SetupFixture f;
    serialPort(f, sim.serialPath());
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    ASSERT_TRUE(s.getValue());
    ASSERT_TRUE(f.timers.active(UserSetupScreen::kCollectTimerId));
    ASSERT_TRUE(f.pumpUntil([&] { return s.received(SetSetupCode); }));
    for (int tick = 0; tick < 20 && f.timers.active(UserSetupScreen::kCollectTimerId); ++tick) {
        EXPECT_TRUE(f.prompter.messages().empty()) << "not before 2 s of silence";
        f.clock.advance(UserSetupScreen::kCollectTickMs);
        s.onTimer(UserSetupScreen::kCollectTimerId);
    }
    EXPECT_FALSE(f.timers.active(UserSetupScreen::kCollectTimerId));
    EXPECT_EQ(f.prompter.messages(),
              std::vector<std::string>{
                  "No answer from the printer for: Paper Type, Set Left Paper Margin"});
}

namespace {

// The printer-class node the fake device tree names for the USB printer.
std::string usbNode(VirtualPrinter& sim) {
    namespace fs = std::filesystem;
    for (const auto& e : fs::recursive_directory_iterator(sim.devRoot()))
        if (e.is_symlink() && fs::read_symlink(e.path()) == sim.usbPath())
            return e.path().string();
    return {};
}

} // namespace

// After a write without a USB mode change the USB link is closed, 3 s pass, and the port is
// opened again; each failed open waits a shorter time (500, 400, 300, 200, 100 ms) before the
// next, and after the last the screen gives up without a word.
TEST(UserSetupLink, UsbReopenLadder) {
    struct Row {
        int backAfter; // the pause after which the printer is back (0: never)
        std::vector<int> sleeps;
        bool connected;
    } rows[] = {
        {3000, {3000}, true},
        {500, {3000, 500}, true},
        {400, {3000, 500, 400}, true},
        {300, {3000, 500, 400, 300}, true},
        {200, {3000, 500, 400, 300, 200}, true},
        {0, {3000, 500, 400, 300, 200, 100}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.backAfter);
        SimOptions o = simOptions();
        o.model = "KORVA40U-II";
        o.usb = true;
        VirtualPrinter sim(o);
        startSim(sim);
        SetupFixture f(kLangEnglishUS, DeviceRoots{sim.sysRoot(), sim.devRoot()});
        f.app->ports.m_PortName = "USB";
        f.app->ports.m_ModelKind = 6;
        UserSetupScreen& s = f.makeScreen("KORVA \r\nUSB-II Interface");
        ASSERT_TRUE(s.open());
        const std::string node = usbNode(sim);
        ASSERT_FALSE(node.empty());
        // The printer restarts: its node is gone until the chosen pause has passed.
        const std::string away = node + ".away";
        ASSERT_EQ(std::rename(node.c_str(), away.c_str()), 0);
        f.clock.onSleep([&](int ms) {
            if (ms == row.backAfter)
                std::rename(away.c_str(), node.c_str());
        });
        ASSERT_TRUE(s.setEdit(E::Margin, "12"));
        f.clock.clearSleeps();
        s.setValue();
        f.clock.onSleep(nullptr);
        EXPECT_EQ(f.clock.sleeps(), row.sleeps);
        EXPECT_EQ(f.app->ports.m_bConnected.load(), row.connected ? 1 : 0);
        EXPECT_TRUE(f.prompter.messages().empty()) << f.prompter.messages().front();
        EXPECT_TRUE(s.view().setValue.enabled) << "the write itself succeeded";
        EXPECT_EQ(afterLeave(sim)["settingsByName"]["leftMargin"], "12");
    }
}

// A USB mode change makes the printer come back on its other interface: whatever the port
// kind, the link it was written over is closed and not opened again.
TEST(UserSetupLink, UsbModeChangeClosesTheLinkOnEveryPortKind) {
    enum class Kind { Serial, Usb, Parallel, Network, File };
    for (Kind kind : {Kind::Serial, Kind::Usb, Kind::Parallel, Kind::Network, Kind::File}) {
        SCOPED_TRACE(static_cast<int>(kind));
        SimOptions o = simOptions();
        o.leaveBusyMs = 0;
        switch (kind) {
        case Kind::Serial:
        case Kind::File:
            o.serial = true;
            break;
        case Kind::Usb:
            o.model = "KORVA40U-II";
            o.usb = true;
            break;
        case Kind::Parallel:
            o.model = "KORVA40P";
            o.parallel = true;
            break;
        case Kind::Network:
            o.model = "KORVA40E-II";
            o.tcpPort = 0;
            break;
        }
        VirtualPrinter sim(o);
        startSim(sim);
        SetupFixture f(kLangEnglishUS, DeviceRoots{sim.sysRoot(), sim.devRoot()});
        CPorts& p = f.app->ports;
        switch (kind) {
        case Kind::Serial:
            serialPort(f, sim.serialPath());
            break;
        case Kind::Usb:
            p.m_PortName = "USB";
            break;
        case Kind::Parallel:
            p.m_PortName = "LPT:" + sim.parallelPath();
            break;
        case Kind::Network:
            p.m_PortName = "ETHERNET_II";
            f.app->ethernet.ipAddress = "127.0.0.1";
            f.app->ethernet.acceptedPort = sim.tcpPort();
            break;
        case Kind::File:
            p.m_PortName = "FILE";
            f.prompter.queueInput(f.dir.file("out.prn"));
            break;
        }
        p.m_ModelKind = 6;
        UserSetupScreen& s = f.makeScreen();
        ASSERT_TRUE(s.open());
        ASSERT_TRUE(s.choose(C::UsbMode, 1));
        f.clock.clearSleeps();
        ASSERT_TRUE(s.setValue());
        const auto sleeps = f.clock.sleeps();
        EXPECT_EQ(std::find(sleeps.begin(), sleeps.end(), UserSetupScreen::kReopenPauseMs),
                  sleeps.end())
            << "no reopen";
        EXPECT_EQ(p.m_bConnected.load(), 0);
        EXPECT_FALSE(f.app->socket.connected());
        if (kind == Kind::File) {
            EXPECT_NE(f.fileBytes().size(), 0u);
        } else {
            EXPECT_EQ(afterLeave(sim)["settingsByName"]["usbMode"], "2") << "COM mode";
        }
        if (kind != Kind::Network) {
            // Nothing is left open under the screen: the next command has no link to go over.
            EXPECT_FALSE(s.test());
            EXPECT_EQ(f.prompter.messages().back(), f.app->catalogue.text(MsgWriteFail));
        }
    }
}
