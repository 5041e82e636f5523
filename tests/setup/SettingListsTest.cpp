#include "base/Language.h"
#include "base/Profile.h"
#include "setup/CodePageList.h"
#include "setup/ReceiveBufferList.h"
#include "setup/SettingCommands.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <iconv.h>
#include <set>

using namespace korva;
using korva::test::hex;
using korva::test::TempDir;

TEST(CodePageList, NumbersComeFromTheLabels) {
    const auto& list = CodePageList::entries();
    ASSERT_EQ(list.size(), 30u);
    std::set<int> numbers;
    for (const CodePageEntry& e : list) {
        int n = CodePageList::numberOf(e);
        numbers.insert(n);
        // The profile value carries the same number in front of its "|".
        EXPECT_EQ(std::atoi(e.profileValue), n) << e.label;
    }
    EXPECT_EQ(numbers.size(), 30u) << "numbers are unique";
    EXPECT_EQ(CodePageList::positionOf(0), 0);
    EXPECT_EQ(CodePageList::positionOf(16), 7);
    EXPECT_EQ(CodePageList::positionOf(254), 29);
    EXPECT_EQ(CodePageList::positionOf(255), -1);
    EXPECT_EQ(CodePageList::positionOf(6), -1);
    EXPECT_EQ(CodePageList::labelOf(16), "16| PC1252 (Windows CP)");
    EXPECT_EQ(CodePageList::labelOf(7), "");
}

TEST(CodePageList, ProfilePairsWith254UnderCodePage255) {
    TempDir dir;
    Profile profile(dir.file("korvaset.INI"));
    ASSERT_TRUE(CodePageList::writeProfile(profile));
    auto entries = profile.Entries("USER");
    EXPECT_EQ(entries.size(), 30u);
    EXPECT_EQ(profile.GetString("USER", "CodePage255"), "254|SPACE PAGE");
    EXPECT_EQ(profile.GetString("USER", "CodePage254"), "");
    EXPECT_EQ(profile.GetString("USER", "CodePage16"), "16|WPC1252 (Windows CP)");
    EXPECT_EQ(profile.GetString("USER", "CodePage45"), "45|WPC 1250");
    // Writing again replaces, never duplicates.
    ASSERT_TRUE(CodePageList::writeProfile(profile));
    EXPECT_EQ(profile.Entries("USER").size(), 30u);
}

TEST(ReceiveBufferList, DefaultListIsWrittenWhenTheProfileHasNone) {
    TempDir dir;
    Profile profile(dir.file("korvaset.INI"));
    EXPECT_EQ(ReceiveBufferList::load(profile), (std::vector<std::string>{"64", "32", "20", "4"}));
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ3"), "4");
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ4"), "");
}

TEST(ReceiveBufferList, ProfileListIsReadUntilTheFirstEmptyValue) {
    TempDir dir;
    dir.write("korvaset.INI", "[USER]\r\nR_BUF_SZ0=64\r\nR_BUF_SZ1=8\r\nR_BUF_SZ2=\r\n"
                              "R_BUF_SZ3=20\r\n");
    Profile profile(dir.file("korvaset.INI"));
    EXPECT_EQ(ReceiveBufferList::load(profile), (std::vector<std::string>{"64", "8"}));
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ3"), "20") << "an existing list is not rewritten";
    EXPECT_EQ(ReceiveBufferList::positionOfKb(4), 3);
    EXPECT_EQ(ReceiveBufferList::positionOfKb(8), -1);
    EXPECT_EQ(ReceiveBufferList::kbOfPosition(4), -1);
}

namespace {
std::vector<std::uint8_t> toCp949(const std::string& utf8) {
    iconv_t cd = iconv_open("CP949", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return {};
    std::vector<char> out(utf8.size() * 2);
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* o = out.data();
    size_t rc = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<size_t>(-1))
        return {};
    return std::vector<std::uint8_t>(out.data(), o);
}
} // namespace

TEST(TestPrint, SequenceAndTheKoreanLineOnlyOnKoreanSystems) {
    auto english = SettingCommands::testPrint(kLangEnglishUS);
    auto korean = SettingCommands::testPrint(kLangKorean);
    auto japanese = SettingCommands::testPrint(kLangJapanese);
    ASSERT_EQ(english.size(), 1u + 1 + 20 + 1 + 1 + 1 + 1 + 1 + 3 + 1);
    EXPECT_EQ(korean.size(), english.size() + 1);
    EXPECT_EQ(japanese, english);

    EXPECT_EQ(hex(english[0]), "1B 40");
    ASSERT_EQ(english[1].size(), 32u);
    EXPECT_EQ(std::string(english[1].begin(), english[1].end() - 1),
              "USER SETUP UTILITY TEST PRINT!\n");
    EXPECT_EQ(english[1].back(), 0);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(hex(english[2 + 2 * i]), i % 2 ? "1D 28 4E 02 00 30 31" : "1D 28 4E 02 00 30 32");
        EXPECT_EQ(hex(english[3 + 2 * i]), "30 31 32 33 34 35 36 37 38 39 00");
    }
    EXPECT_EQ(hex(english[22]), "0A 00");
    ASSERT_EQ(english[23].size(), 128u);
    for (int i = 0; i < 128; ++i)
        EXPECT_EQ(english[23][static_cast<std::size_t>(i)], 0x80 + i);
    EXPECT_EQ(hex(english[24]), "0A 00");
    EXPECT_EQ(hex(english[25]), "1B 40");
    EXPECT_EQ(hex(english[26]), "0A 00");
    for (int i = 27; i < 30; ++i)
        EXPECT_EQ(hex(english[static_cast<std::size_t>(i)]), "0A 00");
    EXPECT_EQ(hex(english.back()), "1B 69");

    const auto& line = korean[27];
    ASSERT_EQ(line.size(), 37u);
    EXPECT_EQ(line.back(), 0);
    std::vector<std::uint8_t> expected = toCp949("한글출력테스트 漢子 한글 0123456789\n");
    if (expected.empty())
        GTEST_SKIP() << "this system's iconv has no CP949 converter to compare with";
    EXPECT_EQ(std::vector<std::uint8_t>(line.begin(), line.end() - 1), expected);
}
