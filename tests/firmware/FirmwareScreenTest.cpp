// The firmware download screen in virtual time: the opening rules by model and mode, the boot
// byte's move to Program Area, the frame a FILE port receives with the settling waits and the
// title's percentage, every refusal and worker failure with the buttons left enabled, and EXIT
// while the worker runs (also under ThreadSanitizer).
#include "firmware/FirmwareScreen.h"

#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/Language.h"
#include "base/RecordingPrompter.h"
#include "sim/VirtualPrinter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace korva::test {
namespace {

constexpr std::size_t kSize = 0x800000;
const std::string kCompleted = "Update Complete.\nPlease wait beep the buzzer.";

std::string imageBytes(std::size_t size, const char* signature, std::uint8_t bootEnable) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7) ^ (i >> 9));
    if (size == kSize) {
        bytes[0x7FFFFB] = static_cast<char>(bootEnable);
        bytes.replace(0x7FFFFC, 4, signature);
    }
    return bytes;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class FirmwareScreenTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TempDir;
        s_image = imageBytes(kSize, "QOLT", 3);
        s_dir->write("fw.SHC", s_image);
        s_dir->write("locked.SHC", imageBytes(kSize, "QOLT", 0));
        s_dir->write("nosig.SHC", imageBytes(kSize, "QOLX", 3));
        s_dir->write("short.SHC", imageBytes(kSize - 1, "QOLT", 3));
        s_dir->write("huge.SHC", "");
        std::filesystem::resize_file(file("huge.SHC"), (1ull << 32) + 8); // sparse
    }
    static void TearDownTestSuite() { delete s_dir; }
    static std::string file(const std::string& name) { return s_dir->file(name); }

    void makeApp(std::uint16_t langId = kLangEnglishUS) {
        screen.reset();
        app.reset();
        std::remove(dir.file("korvaset.INI").c_str()); // nothing remembered from another case
        rec = std::make_unique<RecordingPrompter>();   // no answer left over either
        app = std::make_unique<AppContext>(clock, *rec, langId, DeviceRoots{},
                                           dir.file("korvaset.INI"));
        app->ports.m_BaudRate = 115200;
        app->ports.m_DataBits = 8;
        app->ports.m_Parity = 0;
        app->ports.m_StopBits = 0;
        app->ports.m_FlowControl = 3;
    }

    FirmwareScreen& open(int kind, bool ctrl, const std::string& port = "FILE",
                         const std::string& remembered = "") {
        if (!app)
            makeApp();
        app->ports.m_ModelKind = kind;
        app->ports.m_PortName = port;
        app->ports.m_ReceiveMode = 3;
        if (!remembered.empty()) {
            app->profile.WriteString("FWDN20", "FOLDER", remembered);
            app->profile.WriteString("FWDN20", "FILE", "remembered.SHC");
        }
        screen = std::make_unique<FirmwareScreen>(
            FirmwareContext{app->ports, app->socket, app->ethernet, app->log, app->catalogue, *rec,
                            clock, app->profile, app->langId, "KORVA40 - test", stallLimitMs});
        screen->open(ctrl);
        return *screen;
    }

    // DOWNLOAD to a FILE port named out.bin; the worker's end applied.
    bool downloadToFile(const std::string& image, std::vector<Answer> answers = {}) {
        screen->setFile(file(image));
        for (Answer a : answers)
            rec->queueAnswer(a);
        rec->queueInput(dir.file("out.bin"));
        if (!screen->download())
            return false;
        EXPECT_TRUE(screen->waitForTransfer(60000));
        return true;
    }

    std::string lastMessage() const {
        auto m = rec->messages();
        return m.empty() ? "" : m.back();
    }

    static TempDir* s_dir;
    static std::string s_image;
    int stallLimitMs = AreaTransfer::kStallLimitMs;
    TempDir dir;
    ScopedCwd cwd{dir.path()};
    VirtualClock clock;
    std::unique_ptr<RecordingPrompter> rec = std::make_unique<RecordingPrompter>();
    std::unique_ptr<AppContext> app;
    std::unique_ptr<FirmwareScreen> screen;
};

TempDir* FirmwareScreenTest::s_dir = nullptr;
std::string FirmwareScreenTest::s_image;

using Enabled = std::array<bool, kFirmwareAreaCount>;

TEST_F(FirmwareScreenTest, OpeningFollowsModelModeAndRememberedFile) {
    struct Row {
        int kind;
        bool ctrl;
        std::string remembered;
        Enabled enabled;
    } rows[] = {
        {5, false, "fw.SHC", {true, true, false, false, false}},
        {6, false, "fw.SHC", {true, true, true, false, false}},
        {6, true, "fw.SHC", {true, true, true, true, true}},
        {5, true, "locked.SHC", {true, true, false, true, false}},
        {1, true, "nosig.SHC", {true, true, false, true, false}},
        {4, true, "", {true, true, false, true, false}},
        {3, true, "missing.SHC", {true, true, false, true, false}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.kind) + (r.ctrl ? " expert " : " ") + r.remembered);
        makeApp();
        FirmwareScreen& s =
            open(r.kind, r.ctrl, "FILE", r.remembered.empty() ? "" : file(r.remembered));
        EXPECT_EQ(s.expert(), r.ctrl);
        EXPECT_EQ(s.view().bootVisible, r.ctrl);
        EXPECT_EQ(s.view().areaEnabled, r.enabled);
        EXPECT_EQ(s.view().area, AreaProgram);
        EXPECT_EQ(s.view().title, "KORVASet : Firmware Download");
        EXPECT_EQ(s.view().path, r.remembered.empty() ? "" : file(r.remembered));
        EXPECT_EQ(s.view().fileSize, "0");
        EXPECT_TRUE(s.view().downloadEnabled && s.view().fileOpenEnabled);
        EXPECT_TRUE(rec->messages().empty());
        for (int i = 0; i < kFirmwareAreaCount; ++i)
            EXPECT_EQ(s.chooseArea(i), r.enabled[static_cast<std::size_t>(i)]) << i;
    }
}

TEST_F(FirmwareScreenTest, BootEnableByteMovesTheChoiceToProgramArea) {
    FirmwareScreen& s = open(6, true);
    rec->queueFiles({file("fw.SHC")});
    ASSERT_TRUE(s.chooseFile());
    EXPECT_EQ(s.view().name, "fw.SHC");
    ASSERT_TRUE(s.chooseArea(AreaBoot));
    s.setFile(file("locked.SHC"));
    EXPECT_EQ(s.view().area, AreaProgram);
    EXPECT_FALSE(s.view().areaEnabled[AreaBoot]);
    EXPECT_FALSE(s.chooseArea(AreaBoot));
    s.setFile(file("nosig.SHC")); // no image: the button stays as it is
    EXPECT_FALSE(s.view().areaEnabled[AreaBoot]);
    s.setFile(file("fw.SHC"));
    EXPECT_TRUE(s.chooseArea(AreaBoot));
    s.setFile(file("missing.SHC"));
    EXPECT_EQ(lastMessage(), "ERROR : File Open");
    EXPECT_EQ(s.view().area, AreaBoot);

    makeApp();
    FirmwareScreen& plain = open(6, false); // expert mode is decided at opening only
    plain.setFile(file("fw.SHC"));
    EXPECT_FALSE(plain.view().areaEnabled[AreaBoot]);
    EXPECT_FALSE(plain.chooseArea(AreaBoot));
    EXPECT_FALSE(plain.chooseArea(AreaDownload));
}

TEST_F(FirmwareScreenTest, FilePortGetsTheFrameThenTheSettlingWaits) {
    struct Row {
        int kind, area;
        std::uint32_t length;
        std::uint8_t code;
        std::size_t offset;
        int downloads = 1; // the same screen again: FILE asks for the output name anew
    } rows[] = {
        {5, AreaProgram, 0x98000, 0x52, 0x300000},  {6, AreaProgram, 0xD0000, 0x51, 0x400000},
        {6, AreaLcdFont, 0x200000, 0xBB, 0x000000}, {5, AreaDownload, 0x18000, 0x44, 0x3D0000},
        {1, AreaBoot, 0x15000, 0x42, 0x2E0000},     {5, AreaDownload, 0x18000, 0x44, 0x3D0000, 2},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.kind) + " area " + std::to_string(r.area));
        makeApp();
        FirmwareScreen& s = open(r.kind, true);
        std::vector<std::pair<AreaTransfer::Phase, std::uint32_t>> steps;
        s.setObserver([&](AreaTransfer::Phase p, std::uint32_t at) { steps.emplace_back(p, at); });
        s.setFile(file("fw.SHC"));
        ASSERT_TRUE(s.chooseArea(r.area));
        for (int pass = 0; pass < r.downloads; ++pass) {
            SCOPED_TRACE(pass);
            clock.clearSleeps();
            steps.clear();
            std::remove(dir.file("out.bin").c_str());
            ASSERT_TRUE(downloadToFile("fw.SHC", {Answer::Yes}));

            // The area's bytes went out (the frame's layout has its own tests), and CHECKSUM shows
            // the sum of what was sent.
            std::string out = readAll(dir.file("out.bin"));
            ASSERT_EQ(out.size(), r.length);
            EXPECT_EQ(out[2], static_cast<char>(r.code));
            EXPECT_EQ(out.compare(10, r.length - 14, s_image, r.offset, r.length - 14), 0);
            unsigned sum = 0;
            for (std::size_t i = 10; i < out.size(); ++i)
                sum += static_cast<unsigned char>(out[i]);
            char checksum[8];
            std::snprintf(checksum, sizeof checksum, "%X", sum & 0xFFFF);
            EXPECT_EQ(s.view().checksum, checksum);
            EXPECT_EQ(s.view().fileSize, std::to_string(r.length));
            EXPECT_EQ(s.view().progressMax, r.length + 20480);
            EXPECT_EQ(s.view().title, "KORVASet : Firmware Download - 0 %");
            EXPECT_TRUE(s.view().downloadEnabled && s.view().fileOpenEnabled);
            EXPECT_EQ(s.lastOutcome(), FirmwareScreen::Outcome::Done);
            EXPECT_EQ(lastMessage(), kCompleted);
            EXPECT_EQ(app->profile.GetString("FWDN20", "FOLDER"), file("fw.SHC"));
            EXPECT_EQ(app->profile.GetString("FWDN20", "FILE"), "fw.SHC");

            // Sixteen settling steps of L / 10,240 ms, after the last block; the title's figure
            // never reaches 100 before the end.
            std::vector<int> sleeps = clock.sleeps();
            ASSERT_GE(sleeps.size(), 16u);
            for (std::size_t i = sleeps.size() - 16; i < sleeps.size(); ++i)
                EXPECT_EQ(sleeps[i], static_cast<int>(r.length / 10240));
            ASSERT_EQ(steps.size(), (r.length + 2047) / 2048 + 16);
            std::uint32_t last = 0;
            for (std::size_t i = 0; i < steps.size(); ++i) {
                EXPECT_EQ(steps[i].first == AreaTransfer::Phase::Settling, i + 16 >= steps.size());
                EXPECT_GT(steps[i].second, last);
                EXPECT_LT(titlePercent(steps[i].second, r.length), 100u);
                last = steps[i].second;
            }
            EXPECT_GE(titlePercent(last, r.length), 90u);
        }
    }
}

TEST_F(FirmwareScreenTest, RefusalsBeforeTheTransferSendNothing) {
    struct Row {
        std::string image, port;
        int area;
        std::vector<Answer> answers;
        std::string message, caption;
        bool downloadEnabled;
    } rows[] = {
        {"missing.SHC", "FILE", AreaProgram, {}, "ERROR : File Open", "KORVASet", true},
        {"short.SHC", "FILE", AreaProgram, {}, "FileSize (8388607 bytes) Error!", "Error", false},
        {"huge.SHC", "FILE", AreaProgram, {}, "FileSize (4294967304 bytes) Error!", "Error", false},
        {"nosig.SHC", "FILE", AreaProgram, {}, "Wrong File!", "Error", true},
        {"fw.SHC",
         "FILE",
         AreaExtFont,
         {Answer::No},
         "Are you sure the Ext.Font area download?",
         "KORVASet",
         false},
        {"fw.SHC",
         "FILE",
         AreaLcdFont,
         {Answer::No},
         "Are you sure the LCD Font area download?",
         "KORVASet",
         false},
        {"fw.SHC",
         "/dev/nonexistent-tty",
         AreaProgram,
         {},
         "Init Fail\nDevice /dev/nonexistent-tty: No such file or directory.",
         "KORVASet",
         true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.message);
        makeApp();
        FirmwareScreen& s = open(6, true, r.port);
        s.setFile(file(r.image));
        rec->clear();
        ASSERT_TRUE(s.chooseArea(r.area));
        EXPECT_FALSE(downloadToFile(r.image, r.answers));
        auto shown = rec->shown();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown.back().text, r.message);
        EXPECT_EQ(shown.back().caption, r.caption);
        EXPECT_EQ(s.view().downloadEnabled, r.downloadEnabled);
        EXPECT_TRUE(s.view().fileOpenEnabled);
        EXPECT_FALSE(s.running());
        EXPECT_EQ(app->ports.m_hPort, -1);
        EXPECT_TRUE(readAll(dir.file("out.bin")).empty());
        // DOWNLOAD stays refused until File Open enables it again.
        if (!r.downloadEnabled) {
            EXPECT_FALSE(s.download());
            rec->queueFiles({file("fw.SHC")});
            EXPECT_TRUE(s.chooseFile());
            EXPECT_TRUE(s.view().downloadEnabled);
        }
    }
}

// Against the virtual printer: a link that closes mid-frame, a network printer that is not
// there, and one that takes the whole frame.
TEST_F(FirmwareScreenTest, WorkerOutcomesLeaveTheButtonsAsDocumented) {
    constexpr long kL = 0xD0000;
    enum Link { Serial, Tcp, FullDisk, StalledSerial };
    struct Row {
        Link link;
        long closeAfter; // -1: the printer takes everything; 0: nothing listens
        std::string message;
        bool downloadEnabled, fileOpenEnabled;
    } rows[] = {
        {Serial, 20000, "ERROR : PRINTER IS NOT READY!", true, false},
        // The line stops taking bytes but stays up: only the no-progress bound ends it.
        {StalledSerial, 20000, "ERROR : PRINTER IS NOT READY!", true, false},
        {FullDisk, -1, "LPT Write Error[28]", false, false}, // ENOSPC
        {Tcp, 0, "ERROR : Printer check.", false, false},
        {Tcp, 20000, "ERROR : Firmware transfer incomplete.", true, true},
        // The rest would fit in the socket's own buffer: only the acknowledgement tells.
        {Tcp, kL - 24576, "ERROR : Firmware transfer incomplete.", true, true},
        {Tcp, -1, kCompleted, true, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.link) + " " + std::to_string(r.closeAfter));
        makeApp();
        clock.clearSleeps();
        SimOptions o;
        o.model = "KORVA40S";
        o.serial = r.link == Serial || r.link == StalledSerial;
        o.tcpPort = r.link == Tcp ? 0 : -1;
        o.closeAfterBytes = r.closeAfter > 0 && r.link != StalledSerial ? r.closeAfter : -1;
        o.stallAfterBytes = r.link == StalledSerial ? r.closeAfter : -1;
        stallLimitMs = r.link == StalledSerial ? 300 : AreaTransfer::kStallLimitMs;
        VirtualPrinter printer(o);
        std::string error;
        ASSERT_TRUE(printer.start(error)) << error;
        app->ethernet.ipAddress = "127.0.0.1";
        app->ethernet.port = app->ethernet.acceptedPort = printer.tcpPort();
        if (r.closeAfter == 0)
            printer.stop(); // its port is closed now
        FirmwareScreen& s = open(6, false,
                                 r.link == Tcp ? "ETHERNET_II"
                                 : o.serial    ? printer.serialPath()
                                               : "FILE");
        rec->queueInput("/dev/full");
        s.setFile(file("fw.SHC"));
        ASSERT_TRUE(s.download());
        EXPECT_FALSE(s.view().downloadEnabled || s.view().fileOpenEnabled);
        EXPECT_FALSE(s.download()); // no second transfer while one runs
        EXPECT_FALSE(s.chooseFile());
        ASSERT_TRUE(s.waitForTransfer(120000));
        EXPECT_NE(lastMessage().find(r.message), std::string::npos) << lastMessage();
        EXPECT_EQ(s.view().downloadEnabled, r.downloadEnabled);
        EXPECT_EQ(s.view().fileOpenEnabled, r.fileOpenEnabled);
        EXPECT_EQ(app->ports.m_hPort, -1);
        if (r.link == StalledSerial) {
            EXPECT_GE(clock.nowMs(), 300); // waited out the bound, in virtual time
        }
        if (r.link == Tcp && r.closeAfter < 0) {
            // 256 settling steps over the network; then the printer's verdict.
            EXPECT_EQ(clock.sleeps().back(), kL / 10240);
            EXPECT_EQ(s.view().fileSize, std::to_string(kL));
            printer.stop();
            EXPECT_EQ(printer.report()["firmwareFrames"][0]["verdict"], "ok");
        }
    }
}

// EXIT while the worker is between two blocks: held there by the observer until the test has
// acted, so the case is the same on a busy machine.
TEST_F(FirmwareScreenTest, ExitDuringTheTransferIsSafe) {
    enum class Act { ExitYes, ExitNo, Destroy };
    for (Act act : {Act::ExitYes, Act::ExitNo, Act::Destroy}) {
        SCOPED_TRACE(static_cast<int>(act));
        makeApp();
        FirmwareScreen& s = open(6, false);
        std::mutex m;
        std::condition_variable cv;
        bool started = false, released = false;
        std::atomic<int> wakes{0};
        s.setWake([&] { ++wakes; });
        s.setObserver([&](AreaTransfer::Phase, std::uint32_t) {
            std::unique_lock lock(m);
            if (!started) {
                started = true;
                cv.notify_all();
                cv.wait(lock, [&] { return released; });
            }
        });
        s.setFile(file("fw.SHC"));
        rec->queueInput(dir.file("out.bin"));
        ASSERT_TRUE(s.download());
        {
            std::unique_lock lock(m);
            cv.wait(lock, [&] { return started; });
        }
        s.update();
        EXPECT_EQ(s.state(), FirmwareScreen::State::Transferring);
        EXPECT_EQ(s.view().title, "KORVASet : Firmware Download - 0 %"); // 2,048 of 871,448
        auto release = [&] {
            std::lock_guard lock(m);
            released = true;
            cv.notify_all();
        };
        rec->queueAnswer(act == Act::ExitNo ? Answer::No : Answer::Yes);
        s.exit();
        EXPECT_EQ(rec->messages().back(), FirmwareScreen::stopQuestion(false));
        EXPECT_FALSE(s.view().closed);
        release();
        if (act == Act::Destroy) {
            screen.reset(); // the worker may still run: the screen stops and joins it
            EXPECT_EQ(app->ports.m_hPort, -1);
            EXPECT_LT(readAll(dir.file("out.bin")).size(), 0xD0000u);
            continue;
        }
        ASSERT_TRUE(s.waitForTransfer(60000));
        EXPECT_GT(wakes.load(), 0);
        EXPECT_EQ(app->ports.m_hPort, -1);
        std::size_t got = readAll(dir.file("out.bin")).size();
        if (act == Act::ExitYes) {
            EXPECT_TRUE(s.view().closed);
            EXPECT_EQ(s.lastOutcome(), FirmwareScreen::Outcome::Stopped);
            EXPECT_LT(got, 0xD0000u);
        } else {
            EXPECT_FALSE(s.view().closed);
            EXPECT_EQ(s.lastOutcome(), FirmwareScreen::Outcome::Done);
            EXPECT_EQ(got, 0xD0000u);
            s.exit();
            EXPECT_TRUE(s.view().closed);
        }
    }
}

} // namespace
} // namespace korva::test
