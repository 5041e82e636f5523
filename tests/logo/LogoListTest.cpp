#include "logo/LogoList.h"
#include "LogoFixture.h"
#include "logo/LogoOptions.h"
#include "logo/LogoSheet.h"

using namespace korva;
using namespace korva::test;

namespace {

class LogoListTest : public LogoFixture {
protected:
    LogoOptions options;
    LogoList list{options, catalogue, prompter};

    std::vector<int> numbers() const {
        std::vector<int> out;
        for (const LogoEntry& e : list.entries())
            out.push_back(e.number);
        return out;
    }
};

TEST_F(LogoListTest, RemovedNumbersAreGivenOutSmallestFirstAndTheUploadOrdersByNumber) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp"})
        ASSERT_TRUE(list.AddEntry(0, bitmap(name, 104, 32)));
    EXPECT_EQ(list.countText(), "  4 / 255");
    EXPECT_EQ(list.memoryText(), "  2 / 384 KByte"); // 4 x 416 bytes, rounded up
    EXPECT_EQ(list.sizeText(0), "            416");
    EXPECT_EQ(list.entry(1).name, "b.bmp");
    ASSERT_TRUE(list.RemoveEntry(3));
    ASSERT_TRUE(list.RemoveEntry(2));
    ASSERT_TRUE(list.AddEntry(0, bitmap("e.bmp", 8, 8)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("f.bmp", 8, 8)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("g.bmp", 8, 8)));
    EXPECT_EQ(numbers(), (std::vector<int>{1, 4, 2, 3, 5}));
    std::vector<int> order = list.uploadOrder();
    std::vector<int> sent;
    for (int i : order)
        sent.push_back(list.entry(i).number);
    EXPECT_EQ(sent, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.totalBytes(), 2 * 416 + 3 * 8);
}

TEST_F(LogoListTest, RefusalsShowTheirMessageAndLeaveTheListAsItWas) {
    const std::string small = bitmap("s.bmp", 8, 8);
    for (int i = 0; i < 255; ++i)
        ASSERT_TRUE(list.AddEntry(0, small)) << i;
    prompter.clear();
    EXPECT_FALSE(list.AddEntry(0, small));
    EXPECT_EQ(prompter.messages(), std::vector<std::string>{"Can't Read files any more!"});
    EXPECT_EQ(list.entryCount(), 255);

    list.ResetList();
    prompter.clear();
    // 2000 x 2000 needs 500,000 bytes: more than the 384 KB memory.
    std::string big = bitmap("big.bmp", 2000, 2000, BmpLayout::Rgb24);
    EXPECT_FALSE(list.AddEntry(0, big));
    // 1100 x 900 fits the memory (123,200 bytes) but not the converter's 1 Mi-dot raster.
    EXPECT_FALSE(list.AddEntry(0, bitmap("wide.bmp", 1100, 960)));
    dir.write("broken.bmp", "BM not really");
    EXPECT_FALSE(list.AddEntry(0, dir.file("broken.bmp")));
    EXPECT_FALSE(list.AddEntry(0, dir.file("missing.bmp")));
    EXPECT_EQ(
        prompter.messages(),
        (std::vector<std::string>{"NV-bitimage area too small", "It is not support bitmap format!",
                                  "Bitmap files that was defined with Log file is incorrect."}));
    EXPECT_EQ(list.entryCount(), 0);
    EXPECT_EQ(list.totalBytes(), 0);
    // Files the user picked have no number of their own to hand on.
    EXPECT_TRUE(list.failedNumbers().empty());
}

TEST_F(LogoListTest, ProfileRestoreStopsAtTheFirstGapAndFailedNumbersComeBackOnOpenFile) {
    profile.WriteString("LOGO", "Logofile1", bitmap("one.bmp", 16, 8));
    profile.WriteString("LOGO", "Logofile2", dir.file("gone.bmp"));
    profile.WriteString("LOGO", "Logofile3", bitmap("three.bmp", 16, 8));
    profile.WriteString("LOGO", "Logofile5", bitmap("five.bmp", 16, 8));
    EXPECT_EQ(list.LoadFromProfile(profile), 3);
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3}));
    EXPECT_EQ(list.failedNumbers(), std::vector<int>{2});
    EXPECT_EQ(
        prompter.messages(),
        std::vector<std::string>{"Bitmap files that was defined with Log file is incorrect."});
    list.takeFailedAsPending();
    ASSERT_TRUE(list.AddEntry(0, bitmap("new.bmp", 8, 8)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("new2.bmp", 8, 8)));
    EXPECT_EQ(numbers(), (std::vector<int>{1, 3, 2, 4}));
}

// Restore with a broken file, remove a row, then "&Open File..." with two files: the removed
// number and the failed one are both given out, never a number a row already has. A section
// longer than 255 keys gives no file a number above 255.
TEST_F(LogoListTest, RestoredNumbersStayDistinctAndWithinTheImageNumbers) {
    const std::string small = bitmap("s.bmp", 8, 8);
    profile.WriteString("LOGO", "Logofile1", small);
    profile.WriteString("LOGO", "Logofile2", dir.file("gone.bmp"));
    profile.WriteString("LOGO", "Logofile3", small);
    ASSERT_EQ(list.LoadFromProfile(profile), 3);
    ASSERT_TRUE(list.RemoveEntry(1));
    list.takeFailedAsPending();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(list.AddEntry(0, small));
    EXPECT_EQ(numbers(), (std::vector<int>{3, 1, 2, 4}));

    list.ResetList();
    prompter.clear();
    std::string section = "[LOGO]\n";
    for (int k = 1; k <= 258; ++k)
        section +=
            "Logofile" + std::to_string(k) + "=" + (k <= 3 ? dir.file("gone.bmp") : small) + "\n";
    dir.write("korvaset.INI", section);
    EXPECT_EQ(list.LoadFromProfile(profile), 258);
    EXPECT_EQ(list.entryCount(), 252); // keys 4..255
    EXPECT_EQ(list.entry(251).number, 255);
    EXPECT_EQ(prompter.messages(),
              (std::vector<std::string>{"Bitmap files that was defined with Log file is incorrect.",
                                        "Can't Read files any more!"}));
}

TEST_F(LogoListTest, GrayPrintingMultipliesTheSizesByFourAndBack) {
    ASSERT_TRUE(list.AddEntry(0, bitmap("a.bmp", 104, 32)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("b.bmp", 800, 400)));
    const std::int64_t mono = list.totalBytes();
    list.setGraySizes(true);
    EXPECT_TRUE(options.grayPrinting);
    EXPECT_EQ(list.entry(0).size, 1664);
    EXPECT_EQ(list.totalBytes(), 4 * mono);
    EXPECT_EQ(list.memoryText(), "157 / 384 KByte"); // 161,664 / 1024, rounded down
    list.setGraySizes(false);
    EXPECT_EQ(list.entry(0).size, 416);
    EXPECT_EQ(list.totalBytes(), mono);
}

TEST_F(LogoListTest, HeaderClicksSortDescendingFirstThenToggleAndKeepTheDirection) {
    ASSERT_TRUE(list.AddEntry(0, bitmap("b.bmp", 8, 8)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("C.bmp", 16, 8)));
    ASSERT_TRUE(list.AddEntry(0, bitmap("a.bmp", 24, 8)));
    ColumnSorter sorter;
    EXPECT_EQ(sorter.click(list, 1), (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(sorter.click(list, 1), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(sorter.click(list, 2), (std::vector<int>{2, 0, 1})); // case-insensitive
    EXPECT_EQ(sorter.click(list, 3), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(ColumnSorter::activation(list), (std::vector<int>{0, 1, 2}));
}

TEST_F(LogoListTest, SetupPageFollowsTheModelAndPrintToFileKeepsThePortName) {
    LogoContext korva10 = context;
    korva10.modelKind = ModelKindKorva10;
    LogoSheet sheet10(korva10, profile, "COM1", "summary");
    EXPECT_EQ(sheet10.setup().maxPrintableWidth, 384);
    EXPECT_FALSE(sheet10.setup().grayEnabled);
    sheet10.setGray(true);
    EXPECT_FALSE(sheet10.options().grayPrinting);
    EXPECT_EQ(sheet10.printerName(), "KORVA10");

    LogoSheet sheet(context, profile, "COM1", "summary");
    EXPECT_EQ(sheet.setup().maxPrintableWidth, 512);
    sheet.setPrintToFile(true);
    EXPECT_EQ(sheet.portName(), "FILE");
    EXPECT_EQ(sheet.setup().device, "FILE");
    EXPECT_EQ(sheet.printerName(), "To File");
    sheet.setPrintToFile(false);
    EXPECT_EQ(sheet.portName(), "COM1");
    EXPECT_EQ(sheet.setup().device, "summary");
    EXPECT_FALSE(sheet.setMaxPrintableWidth(513));
    EXPECT_FALSE(sheet.setThreshold(256));
}

} // namespace
