#include "logo/NvUpload.h"
#include "LogoFixture.h"
#include "PtyPair.h"
#include "logo/CBitmapRaster.h"
#include "logo/LogoList.h"
#include "logo/LogoOptions.h"
#include "logo/NvImageRecord.h"
#include "support/Bytes.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

class NvUploadTest : public LogoFixture {
protected:
    LogoOptions options;
    LogoList list{options, catalogue, prompter};
    std::string out = dir.file("out.bin");

    // The record the converter makes of a file.
    Bytes record(const std::string& path, bool gray = false, int centre = 0) {
        CBitmapRaster raster(options);
        EXPECT_TRUE(raster.Load(path));
        EXPECT_TRUE(gray ? raster.ConvertGray() : raster.ConvertMonochrome(centre));
        Bytes r;
        EXPECT_TRUE(NvImageRecord::build(raster, gray, r));
        return r;
    }

    UploadOutcome upload(const std::string& port, std::function<void(NvUpload&)> during = {}) {
        prompter.queueAnswer(Answer::Yes);
        prompter.queueInput(out);
        NvUpload job(context, list, options, profile, timers, port);
        if (job.begin()) {
            job.initDialog();
            if (during)
                job.setProgress([&] { during(job); });
            runDialog(job);
        }
        return job.end();
    }
};

TEST_F(NvUploadTest, FileUploadSendsByNumberAndRewritesTheProfileInThatOrder) {
    const std::string a = bitmap("a.bmp", 104, 32), b = bitmap("b.bmp", 40, 16),
                      c = bitmap("c.bmp", 8, 24);
    for (int k = 1; k <= 5; ++k)
        profile.WriteString("LOGO", "Logofile" + std::to_string(k), "old");
    list.storedKeyCount = 5;
    ASSERT_TRUE(list.AddEntry(3, a));
    ASSERT_TRUE(list.AddEntry(1, b));
    ASSERT_TRUE(list.AddEntry(2, c));

    EXPECT_EQ(upload("FILE"), UploadOutcome::Completed);
    EXPECT_EQ(readFile(out), concat({bytes("1C 71 03"), record(b), record(c), record(a)}));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), b);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2"), c);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile3"), a);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile4", "none"), "none");
    EXPECT_EQ(profile.GetString("LOGO", "Logofile5", "none"), "none");
    EXPECT_EQ(list.storedKeyCount, 3);
    EXPECT_EQ(prompter.messages().back(),
              "Complete the NV bit image definition.\r\nPlease wait some paper feed.");
}

TEST_F(NvUploadTest, RecordHeadersForMonochromeGrayAndStar) {
    struct Case {
        bool gray, star;
        const char* head;
        std::size_t data;
    } cases[] = {{false, false, "1C 71 01 0D 00 04 00", 416},
                 {true, false, "1C 71 01 0D A0 04 00", 1664},
                 {false, true, "1B 1C 71 01 0D 00 04 00", 416}};
    const std::string a = bitmap("a.bmp", 104, 32, BmpLayout::Rgb24);
    for (const Case& k : cases) {
        list.ResetList();
        options.grayPrinting = k.gray;
        options.starEmulation = k.star;
        ASSERT_TRUE(list.AddEntry(0, a));
        ASSERT_EQ(upload("FILE"), UploadOutcome::Completed);
        Bytes sent = readFile(out);
        Bytes head = bytes(k.head);
        ASSERT_EQ(sent.size(), head.size() + k.data) << k.head;
        EXPECT_EQ(Bytes(sent.begin(), sent.begin() + static_cast<long>(head.size())), head);
    }
}

TEST_F(NvUploadTest, PacingOnTheClockEraseWaitChunksAndTheZeroLengthRemainder) {
    // 128 x 64 monochrome is exactly 1,024 bytes: two chunks and an empty remainder.
    ASSERT_TRUE(list.AddEntry(0, bitmap("k.bmp", 128, 64)));
    ASSERT_EQ(upload("FILE"), UploadOutcome::Completed);
    EXPECT_EQ(clock.sleeps(), (std::vector<int>{3500, 10, 10, 10, 10, 10}));
    EXPECT_EQ(readFile(out).size(), 3u + 4 + 1024);
}

TEST_F(NvUploadTest, CancelAfterTheFirstOfThreeSendsThreeFillerBlocksAndKeepsTheProfile) {
    const std::string a = bitmap("a.bmp", 16, 8);
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(list.AddEntry(0, a));
    profile.WriteString("LOGO", "Logofile1", "kept");
    int steps = 0;
    EXPECT_EQ(upload("FILE",
                     [&](NvUpload& job) {
                         if (++steps == 2) // the first image's last refresh
                             job.cancel();
                     }),
              UploadOutcome::Cancelled);
    EXPECT_EQ(readFile(out),
              concat({bytes("1C 71 03"), record(a), bytes("00 00 00 00 00 00 00 00 00 00 00 00")}));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "kept");
}

TEST_F(NvUploadTest, AFileGoneSinceListingStopsWithItsNameAndEmptyRecords) {
    const std::string a = bitmap("a.bmp", 16, 8), b = bitmap("b.bmp", 16, 8);
    ASSERT_TRUE(list.AddEntry(0, a));
    ASSERT_TRUE(list.AddEntry(0, b));
    ASSERT_TRUE(list.AddEntry(0, a));
    ::unlink(b.c_str());
    EXPECT_EQ(upload("FILE"), UploadOutcome::Failed);
    EXPECT_EQ(readFile(out),
              concat({bytes("1C 71 03"), record(a), bytes("00 00 00 00 00 00 00 00")}));
    EXPECT_EQ(prompter.messages().back(),
              "Bitmap files that was defined with Log file is incorrect.\r\n(" + b + ")");
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "none"), "none");
}

TEST_F(NvUploadTest, WriteFailuresOfTheDefineCommandAndOfAHeader) {
    ASSERT_TRUE(list.AddEntry(0, bitmap("a.bmp", 104, 32)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("b.bmp", 104, 32)));
    out = "/dev/full";
    EXPECT_EQ(upload("FILE"), UploadOutcome::Failed);
    EXPECT_EQ(prompter.messages().back(), "Communication error. Can not transimitted.");
    EXPECT_NE(dir.read("error.log").find("CProgress OnInitDialog[28]"), std::string::npos);

    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    prompter.clear();
    int steps = 0;
    UploadOutcome outcome = upload(pty.slavePath(), [&](NvUpload&) {
        pty.drain(0);
        if (++steps == 3) // the second image's status, before its header
            pty.closeMaster();
    });
    EXPECT_EQ(outcome, UploadOutcome::Failed);
    EXPECT_EQ(prompter.messages().back(), "Communication error. Can not transimitted.");
    const std::string logText = dir.read("error.log");
    EXPECT_NE(logText.find("CPrograss writeInstruction[0]"), std::string::npos);
    EXPECT_NE(logText.find("CPrograss WriteInstruction [0D-00-04-00]"), std::string::npos);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "none"), "none");
}

// A loopback listener standing in for a network printer; collects what one client sends.
class Listener {
public:
    Listener() {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(m_fd, 16);
        socklen_t len = sizeof a;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { ::close(m_fd); }
    // Everything every accepted connection sent, in order of connection.
    Bytes received() {
        Bytes all;
        pollfd p{m_fd, POLLIN, 0};
        while (::poll(&p, 1, 100) > 0) {
            int c = ::accept(m_fd, nullptr, nullptr);
            std::uint8_t buf[4096];
            ssize_t n;
            while ((n = ::read(c, buf, sizeof buf)) > 0)
                all.insert(all.end(), buf, buf + n);
            ::close(c);
        }
        return all;
    }
    int port = 0;

private:
    int m_fd;
};

TEST_F(NvUploadTest, EmptyListErasesWithTheRightPreludePerPortKind) {
    const Bytes erase = bytes("1C 71 01 00 00 00 00");
    {
        prompter.queueAnswer(Answer::Yes);
        prompter.queueInput(out);
        NvUpload job(context, list, options, profile, timers, "FILE");
        EXPECT_FALSE(job.begin());
        EXPECT_EQ(job.outcome(), UploadOutcome::Erased);
        EXPECT_EQ(readFile(out), erase);
    }
    struct Case {
        bool parallel;
        const char* prelude;
    } cases[] = {{false, "1D 49 01 1B 40"}, {true, "1D 49 01"}};
    for (const Case& k : cases) {
        PtyPair pty;
        ASSERT_TRUE(pty.ok());
        prompter.queueAnswer(Answer::Yes);
        NvUpload job(context, list, options, profile, timers,
                     (k.parallel ? "LPT:" : "") + pty.slavePath());
        EXPECT_FALSE(job.begin());
        EXPECT_EQ(job.outcome(), UploadOutcome::Erased);
        EXPECT_EQ(pty.drain(50), concat({bytes(k.prelude), erase})) << k.prelude;
    }
    Listener printer;
    ethernet.ipAddress = "127.0.0.1";
    ethernet.acceptedPort = printer.port;
    prompter.queueAnswer(Answer::Yes);
    clock.clearSleeps();
    NvUpload job(context, list, options, profile, timers, "ETHERNET_II");
    EXPECT_FALSE(job.begin());
    EXPECT_EQ(job.outcome(), UploadOutcome::Erased);
    EXPECT_EQ(printer.received(), erase);
    EXPECT_EQ(clock.sleeps(), std::vector<int>{100});
}

TEST_F(NvUploadTest, NetworkUploadWaitsFiveSecondsAndKorva30IsHeldTo128KB) {
    Listener printer;
    ethernet.ipAddress = "127.0.0.1";
    ethernet.acceptedPort = printer.port;
    const std::string a = bitmap("a.bmp", 104, 32);
    ASSERT_TRUE(list.AddEntry(0, a));
    EXPECT_EQ(upload("ETHERNET_II"), UploadOutcome::Completed);
    EXPECT_EQ(printer.received(), concat({bytes("1C 71 01"), record(a)}));
    std::vector<int> sleeps = clock.sleeps();
    EXPECT_NE(std::find(sleeps.begin(), sleeps.end(), 5000), sleeps.end());

    context.modelKind = ModelKindKorva30;
    ASSERT_TRUE(list.AddEntry(0, bitmap("big.bmp", 1024, 1024)));
    prompter.clear();
    NvUpload job(context, list, options, profile, timers, "FILE");
    EXPECT_FALSE(job.begin());
    EXPECT_EQ(prompter.messages(),
              std::vector<std::string>{"KORVA30 NV  graphic  memory size is 128Kbytes."});
}

} // namespace
