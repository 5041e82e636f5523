#include "logo/NvPrint.h"
#include "LogoFixture.h"
#include "PtyPair.h"
#include "logo/LogoOptions.h"
#include "logo/NvSelection.h"
#include "support/Bytes.h"

using namespace korva;
using namespace korva::test;

namespace {

TEST(NvSelection, ValidTextsPrintTheirNumbersInOrder) {
    struct Case {
        const char* text;
        std::vector<int> numbers;
    } cases[] = {{"1,3-5,9", {1, 3, 4, 5, 9}},
                 {",4,", {4}},
                 {"5-3", {3, 4, 5}},
                 {"-3", {1, 2, 3}},
                 {"250-", {250, 251, 252, 253, 254, 255}},
                 {"1,1", {1, 1}},
                 {"255", {255}},
                 {"7-7", {7}},
                 {"0005,2-0003", {5, 2, 3}}};
    for (const Case& k : cases) {
        NvSelection s;
        ASSERT_TRUE(parseNvSelection(k.text, s)) << k.text;
        EXPECT_EQ(s.numbers(), k.numbers) << k.text;
        EXPECT_EQ(s.count, static_cast<int>(k.numbers.size())) << k.text;
    }
    NvSelection s;
    ASSERT_TRUE(parseNvSelection("9,2-1", s));
    EXPECT_EQ(s.entries, (std::vector<int>{265, 1, 2}));
}

TEST(NvSelection, InvalidTextsAreRefused) {
    for (const char* text : {"", ",", "1,,2", "1--3", "0", "256", "3-300", "1 2", "a", "1-2-3",
                             ",,", "0-5", "1000", "-", "5,-0"}) {
        NvSelection s;
        if (std::string(text) == "-") {
            // A bare range is every image, 1 to 255.
            ASSERT_TRUE(parseNvSelection(text, s));
            EXPECT_EQ(s.count, 255);
            continue;
        }
        EXPECT_FALSE(parseNvSelection(text, s)) << '"' << text << '"';
        EXPECT_TRUE(s.entries.empty());
    }
}

class NvPrintTest : public LogoFixture {
protected:
    LogoOptions options;
    PtyPair pty;
};

TEST_F(NvPrintTest, AllWithDoubleHeightSendsEveryNumberEvery300Ms) {
    ASSERT_TRUE(pty.ok());
    NvPrint job(context, options, timers, pty.slavePath());
    EXPECT_TRUE(job.printEnabled());
    job.quality = NvPrint::DoubleHeight;
    Bytes expected = bytes("1D 49 01 1B 40");
    for (int n = 1; n <= 255; ++n)
        expected.insert(expected.end(), {0x1C, 0x70, static_cast<std::uint8_t>(n), 0x02});
    Bytes got;
    job.setProgress([&] {
        Bytes part = pty.drain(0);
        got.insert(got.end(), part.begin(), part.end());
    });
    ASSERT_TRUE(job.print());
    std::int64_t started = clock.nowMs();
    runDialog(job);
    job.end();
    Bytes rest = pty.drain(20);
    got.insert(got.end(), rest.begin(), rest.end());
    EXPECT_EQ(got, expected);
    EXPECT_EQ(job.view().text, "Printing... 255/255");
    // 256 ticks (the last one finds the job done) and the closing second.
    EXPECT_EQ(clock.nowMs() - started, 256 * 300 + 1000);
}

TEST_F(NvPrintTest, SelectionWithHeaderAndStarThenCancelAfterTheThird) {
    ASSERT_TRUE(pty.ok());
    options.starEmulation = true;
    NvPrint job(context, options, timers, "LPT:" + pty.slavePath());
    job.range = NvPrint::Selection;
    job.selection = "7,3-5,9";
    job.header = true;
    job.setProgress([&] {
        if (job.printed() == 3)
            job.cancel();
    });
    ASSERT_TRUE(job.print());
    runDialog(job);
    job.end();
    EXPECT_EQ(job.printed(), 3);
    EXPECT_TRUE(job.cancelled());
    const std::string text = "--- Logo 7 ---\n";
    Bytes expected =
        concat({bytes("1D 49 01"), Bytes(text.begin(), text.end()), bytes("1B 1C 70 07 00")});
    Bytes got = pty.drain(50);
    ASSERT_GE(got.size(), expected.size());
    EXPECT_EQ(Bytes(got.begin(), got.begin() + static_cast<long>(expected.size())), expected);
    EXPECT_EQ(job.view().text, "Printing... 3/255");
}

TEST_F(NvPrintTest, AnInvalidSelectionOrAnUnopenedPortSendsNothingAndAFailedWriteStops) {
    ASSERT_TRUE(pty.ok());
    {
        NvPrint job(context, options, timers, pty.slavePath());
        job.range = NvPrint::Selection;
        job.selection = "1--3";
        EXPECT_FALSE(job.print());
        EXPECT_TRUE(job.selectionInvalid());
        EXPECT_EQ(prompter.messages(), std::vector<std::string>{"NV image number is incorrect."});
        EXPECT_TRUE(pty.drain(30).empty());
    }
    NvPrint job(context, options, timers, pty.slavePath());
    job.setProgress([&] {
        if (job.printed() == 2)
            pty.closeMaster();
    });
    ASSERT_TRUE(job.print());
    runDialog(job);
    job.end();
    EXPECT_TRUE(job.failed());
    EXPECT_EQ(job.printed(), 2);
    EXPECT_EQ(prompter.messages().back(), "Communication error. Can not transimitted.");
    NvPrint toFile(context, options, timers, "FILE");
    EXPECT_FALSE(toFile.printEnabled());
    // A port that does not open is named, with the system's reason.
    NvPrint unopened(context, options, timers, "LPT:" + dir.file("gone"));
    EXPECT_FALSE(unopened.print());
    EXPECT_EQ(prompter.messages().back(),
              "ERROR : Port open.\nDevice " + dir.file("gone") + ": No such file or directory.");
}

} // namespace
