// The KORVA10 firmware screen against a pseudo-terminal standing in for the printer, in
// virtual time: the test fires the timers and plays the printer's DLE replies.
#include "firmware/Korva10FirmwareScreen.h"

#include "PtyPair.h"
#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/Language.h"
#include "base/RecordingPrompter.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

namespace korva::test {
namespace {

class ManualTimers final : public TimerHost {
public:
    void start(int id, int ms) override { running[id] = ms; }
    void kill(int id) override { running.erase(id); }
    bool active(int id) const { return running.count(id) != 0; }
    std::map<int, int> running;
};

using Screen = Korva10FirmwareScreen;

class Korva10ScreenTest : public ::testing::Test {
protected:
    Korva10ScreenTest()
        : cwd(dir.path()),
          app(std::make_unique<AppContext>(clock, prompter, kLangEnglishUS, DeviceRoots{},
                                           dir.file("korvaset.INI"))) {
        image.resize(0x200000);
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
        dir.write("fw.bin", std::string(image.begin(), image.end()));
        app->ports.m_ModelKind = 2;
        app->ports.m_BaudRate = 38400;
        app->ports.m_DataBits = 8;
        app->ports.m_Parity = 0;
        app->ports.m_StopBits = 0;
        app->ports.m_FlowControl = 3;
    }

    Screen& makeScreen(const std::string& port, int area = korva10::kBootArea) {
        app->ports.m_PortName = port;
        screen = std::make_unique<Screen>(
            Korva10FirmwareContext{app->ports, app->log, app->catalogue, prompter, clock,
                                   app->profile, app->langId, "KORVA10 - test"},
            timers);
        screen->open();
        screen->setFile(dir.file("fw.bin"));
        EXPECT_TRUE(screen->chooseArea(area));
        return *screen;
    }

    // OK, then the six erase waits; returns the erase packet the printer got.
    Bytes startAndErase() {
        EXPECT_TRUE(screen->ok());
        Bytes erase = pty.receive(10);
        for (int i = 0; i < Screen::kEraseSteps; ++i) {
            EXPECT_TRUE(timers.active(Screen::kEraseTimer));
            screen->onTimer(Screen::kEraseTimer);
        }
        return erase;
    }

    // The printer answers; the screen applies it; returns the packet that came back (if any).
    Bytes reply(const Bytes& bytes, std::size_t expect = 522) {
        EXPECT_TRUE(pty.send(bytes));
        EXPECT_TRUE(screen->waitForData(2000));
        screen->pumpReplies();
        return expect ? pty.receive(expect) : pty.drain(30);
    }

    Bytes packetAt(std::uint32_t address, std::uint32_t end) {
        Korva10Packet p;
        std::size_t n = p.beginWrite(address, end);
        std::copy_n(image.begin() + address, n, p.data().begin());
        p.seal();
        return Bytes(p.bytes().begin(), p.bytes().end());
    }

    TempDir dir;
    ScopedCwd cwd;
    VirtualClock clock;
    RecordingPrompter prompter;
    ManualTimers timers;
    std::unique_ptr<AppContext> app;
    PtyPair pty;
    Bytes image;
    std::unique_ptr<Screen> screen;
};

TEST_F(Korva10ScreenTest, SerialDownloadFollowsTheRepliesToCompleted) {
    app->profile.WriteString("FWDN15", "FOLDER", "/old/path/a.bin");
    app->profile.WriteString("FWDN15", "FILE", "a.bin");
    app->ports.m_PortName = pty.slavePath();
    screen = std::make_unique<Screen>(Korva10FirmwareContext{app->ports, app->log, app->catalogue,
                                                             prompter, clock, app->profile,
                                                             app->langId, "KORVA10 - test"},
                                      timers);
    screen->open();
    EXPECT_EQ(screen->view().path, "/old/path/a.bin");
    EXPECT_EQ(screen->view().name, "a.bin");
    EXPECT_EQ(screen->view().title, "KORVASet : KORVA10 Firmware Download");
    EXPECT_FALSE(screen->view().areaEnabled[1]);
    EXPECT_FALSE(screen->chooseArea(korva10::kExtFontArea));
    prompter.queueFiles({dir.file("fw.bin")});
    ASSERT_TRUE(screen->chooseFile());
    ASSERT_TRUE(screen->chooseArea(korva10::kBootArea));

    ASSERT_TRUE(screen->ok());
    EXPECT_EQ(app->ports.m_ReceiveMode, 3);
    EXPECT_EQ(app->profile.GetString("FWDN15", "FOLDER"), dir.file("fw.bin"));
    EXPECT_EQ(app->profile.GetString("FWDN15", "FILE"), "fw.bin");
    EXPECT_EQ(hex(pty.receive(10)), "40 F2 22 23 00 00 00 00 00 00");
    EXPECT_EQ(screen->view().title, "Erasing...");
    EXPECT_FALSE(screen->view().okEnabled);
    EXPECT_EQ(timers.running[Screen::kEraseTimer], 400);
    EXPECT_EQ(timers.running[Screen::kReplyTimer], Screen::kEraseReplyTimeoutMs);

    // An ACK during the erase waits is handled when they are over.
    ASSERT_TRUE(pty.send(bytes("10 06")));
    ASSERT_TRUE(screen->waitForData(2000));
    EXPECT_EQ(screen->pumpReplies(), 0);
    const char* titles[] = {"Erasing....",    "Erasing.....",    "Erasing......",
                            "Erasing.......", "Erasing........", "Erasing........."};
    std::vector<std::string> seen;
    screen->onProgress = [&] { seen.push_back(screen->view().title); };
    for (const char* t : titles) {
        screen->onTimer(Screen::kEraseTimer);
        EXPECT_EQ(seen.at(0), t);
        seen.erase(seen.begin());
    }
    screen->onProgress = nullptr;
    EXPECT_FALSE(timers.active(Screen::kEraseTimer));
    EXPECT_EQ(pty.receive(522), packetAt(0x1F0000, 0x200000));
    EXPECT_EQ(screen->view().title, "Writing...(1F0200)");
    EXPECT_EQ(screen->view().progressMin, 0x1F0000u);
    EXPECT_EQ(screen->view().progressMax, 0x200000u);
    EXPECT_EQ(screen->view().progress, 0x1F0200u);
    EXPECT_EQ(timers.running[Screen::kReplyTimer], Screen::kReplyTimeoutMs);

    // 06 without 10, and 10 followed by another byte, are ignored; a NAK resends the same bytes.
    EXPECT_TRUE(reply(bytes("06 06 10 41"), 0).empty());
    EXPECT_EQ(reply(bytes("10 15")), packetAt(0x1F0000, 0x200000));
    for (std::uint32_t a = 0x1F0200; a < 0x200000; a += 512)
        ASSERT_EQ(reply(bytes("10 06")), packetAt(a, 0x200000)) << std::hex << a;
    EXPECT_EQ(screen->packetsSent(), 1 + 128 + 1);
    EXPECT_EQ(screen->view().title, "Writing...(200000)");
    EXPECT_TRUE(reply(bytes("10 06"), 0).empty());
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"COMPLETED"});
    EXPECT_TRUE(screen->view().closed);
    EXPECT_EQ(screen->outcome(), Screen::Outcome::Completed);
    EXPECT_FALSE(app->ports.m_bConnected);
    EXPECT_EQ(app->ports.m_NotifyWnd, nullptr);
    EXPECT_TRUE(timers.running.empty());
    // Every pause on a COM port is the printer's: no 50 ms sleeps there.
    EXPECT_EQ(clock.totalSleptMs(), 0);
}

TEST_F(Korva10ScreenTest, TenNaksForOnePacketStopTheDownload) {
    makeScreen(pty.slavePath());
    startAndErase();
    const Bytes first = reply(bytes("10 06"));
    for (int i = 1; i < Screen::kMaxNaks; ++i)
        ASSERT_EQ(reply(bytes("10 15")), first) << i;
    EXPECT_TRUE(reply(bytes("10 15"), 0).empty());
    EXPECT_EQ(screen->outcome(), Screen::Outcome::Refused);
    ASSERT_EQ(prompter.messages().size(), 1u);
    EXPECT_EQ(prompter.messages()[0], "The printer refused the packet at 1F0000 10 times.\r\n"
                                      "The area is not completely written. Try again.");
    // The user can try again: the port is closed, OK enabled, the screen still open.
    EXPECT_FALSE(app->ports.m_bConnected);
    EXPECT_TRUE(screen->view().okEnabled);
    EXPECT_FALSE(screen->view().closed);
    EXPECT_EQ(screen->view().title, "KORVASet : KORVA10 Firmware Download");
    EXPECT_TRUE(timers.running.empty());
}

TEST_F(Korva10ScreenTest, SilenceAfterAPacketEndsWithinItsBound) {
    struct Row {
        bool afterErase;
        int bound;
    } rows[] = {{true, Screen::kEraseReplyTimeoutMs}, {false, Screen::kReplyTimeoutMs}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.bound);
        prompter.clear();
        makeScreen(pty.slavePath());
        startAndErase();
        if (!r.afterErase)
            reply(bytes("10 06"));
        ASSERT_EQ(timers.running[Screen::kReplyTimer], r.bound);
        screen->onTimer(Screen::kReplyTimer);
        EXPECT_EQ(screen->outcome(), Screen::Outcome::NoAnswer);
        ASSERT_EQ(prompter.messages().size(), 1u);
        EXPECT_EQ(prompter.messages()[0].rfind("The printer did not answer.", 0), 0u);
        EXPECT_FALSE(app->ports.m_bConnected);
        EXPECT_FALSE(app->ports.receiveThreadRunning());
        EXPECT_TRUE(screen->view().okEnabled);
        // A late ACK finds nobody listening: nothing more is sent.
        ASSERT_TRUE(pty.send(bytes("10 06")));
        EXPECT_TRUE(pty.drain(30).empty());
    }
    // Retry after the time-out: the erase packet goes out again.
    EXPECT_TRUE(screen->ok());
    EXPECT_EQ(hex(pty.receive(10)), "40 F2 22 23 00 00 00 00 00 00");
}

TEST_F(Korva10ScreenTest, CancelInEveryStateSendsNothingMore) {
    for (int stage = 0; stage < 3; ++stage) {
        SCOPED_TRACE(stage);
        makeScreen(pty.slavePath());
        if (stage > 0) {
            EXPECT_TRUE(screen->ok());
            pty.receive(10);
        }
        if (stage > 1) {
            for (int i = 0; i < Screen::kEraseSteps; ++i)
                screen->onTimer(Screen::kEraseTimer);
            reply(bytes("10 06"));
            reply(bytes("10 06"));
        }
        screen->cancel();
        EXPECT_TRUE(screen->view().closed);
        EXPECT_EQ(screen->outcome(),
                  stage > 0 ? Screen::Outcome::Cancelled : Screen::Outcome::None);
        EXPECT_FALSE(app->ports.m_bConnected);
        EXPECT_FALSE(app->ports.receiveThreadRunning());
        EXPECT_TRUE(timers.running.empty());
        EXPECT_FALSE(screen->ok());
        ASSERT_TRUE(pty.send(bytes("10 06 10 06")));
        EXPECT_TRUE(pty.drain(30).empty());
        screen.reset(); // the screen goes; the connection lives on without it
        EXPECT_EQ(app->ports.m_NotifyWnd, nullptr);
    }
    EXPECT_TRUE(prompter.messages().empty());
}

TEST_F(Korva10ScreenTest, ParallelPortSendsEveryPacketWithItsPause) {
    makeScreen("LPT:" + pty.slavePath());
    startAndErase();
    ASSERT_TRUE(timers.active(Screen::kParallelTimer));
    std::size_t packets = 0;
    clock.clearSleeps();
    for (std::uint32_t a = 0x1F0000; a < 0x200000; a += 512) {
        ASSERT_TRUE(timers.active(Screen::kParallelTimer));
        screen->onTimer(Screen::kParallelTimer);
        ASSERT_EQ(pty.receive(522), packetAt(a, 0x200000)) << std::hex << a;
        ++packets;
    }
    EXPECT_EQ(packets, 128u);
    EXPECT_EQ(clock.sleeps(), std::vector<int>(128, Screen::kPacketPauseMs));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"COMPLETED"});
    EXPECT_TRUE(screen->view().closed);
    EXPECT_FALSE(timers.active(Screen::kReplyTimer));
}

TEST_F(Korva10ScreenTest, FailuresBeforeAndDuringTheDownload) {
    // No port: Init Fail, nothing sent.
    makeScreen(dir.file("no-such-tty"));
    EXPECT_FALSE(screen->ok());
    EXPECT_EQ(prompter.messages().back(), "Init Fail");
    EXPECT_EQ(app->ports.m_NotifyWnd, nullptr);
    // A missing file: the port is closed again.
    makeScreen(pty.slavePath());
    screen->setFile(dir.file("none.bin"));
    EXPECT_FALSE(screen->ok());
    EXPECT_EQ(prompter.messages().back(), "File open error!!");
    EXPECT_FALSE(app->ports.m_bConnected);
    // A file that ends inside the area: refused before anything is sent.
    dir.write("short.bin", std::string(0x1F8000, '\xFF'));
    makeScreen(pty.slavePath());
    screen->setFile(dir.file("short.bin"));
    EXPECT_FALSE(screen->ok());
    EXPECT_EQ(prompter.messages().back(),
              "The file is too short for this area.\r\n(2064384 bytes; the area ends at 200000)");
    EXPECT_TRUE(pty.drain(30).empty());
    // A parallel port that stops taking bytes: Write Fail instead of COMPLETED.
    makeScreen("LPT:" + pty.slavePath());
    startAndErase();
    pty.closeMaster();
    screen->onTimer(Screen::kParallelTimer);
    EXPECT_EQ(screen->outcome(), Screen::Outcome::WriteFailed);
    EXPECT_EQ(prompter.messages().back(),
              "ERROR : Write Fail!\nPlease check the printer power or connection");
    EXPECT_TRUE(screen->view().okEnabled);
    EXPECT_FALSE(app->ports.m_bConnected);
}

} // namespace
} // namespace korva::test
