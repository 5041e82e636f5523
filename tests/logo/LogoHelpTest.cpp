#include "logo/LogoHelp.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

using namespace korva;
using namespace korva::test;

namespace {

// The shipped book answers every page's topic with that page's section alone.
class ShippedBook : public ::testing::TestWithParam<int> {};

TEST_P(ShippedBook, PageTopicHasItsSection) {
    const std::string topic = LogoHelp::pageTopic(GetParam());
    HelpSection s = LogoHelp::readSection(KORVA_HELP_BOOK, topic);
    ASSERT_EQ(s.status, HelpSection::Found) << topic;
    EXPECT_EQ(s.text.rfind("## " + topic + "\n", 0), 0u) << s.text;
    EXPECT_EQ(s.text.find("\n## "), std::string::npos) << "runs into the next topic";
    EXPECT_GT(s.text.size(), 200u) << "a heading with no help under it";
}

INSTANTIATE_TEST_SUITE_P(Pages, ShippedBook, ::testing::Range(0, 5));

struct LookupCase {
    const char* name;
    const char* book; // nullptr: no file at all
    const char* topic;
    HelpSection::Status status;
    const char* text;
};

class Lookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(Lookup, Section) {
    const LookupCase& c = GetParam();
    TempDir dir;
    if (c.book)
        dir.write("logo-help.md", c.book);
    HelpSection s = LogoHelp::readSection(dir.file("logo-help.md"), c.topic);
    EXPECT_EQ(s.status, c.status);
    EXPECT_EQ(s.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Lookup,
    ::testing::Values(LookupCase{"Middle", "# Book\n## Preview\nA\n\n### Sub\nB\n\n## Setup\nC\n",
                                 "Preview", HelpSection::Found, "## Preview\nA\n\n### Sub\nB\n"},
                      LookupCase{"LastWithCrLf", "## Preview\r\nA\r\n## Setup  \r\nC\r\n\r\n",
                                 "Setup", HelpSection::Found, "## Setup\nC\n"},
                      LookupCase{"LongerHeadingIsOtherTopic", "## Preview Bitmap\nA\n", "Preview",
                                 HelpSection::NoTopic, ""},
                      LookupCase{"UnknownTopic", "## Preview\nA\n", "Logo Upload",
                                 HelpSection::NoTopic, ""},
                      LookupCase{"EmptyTopic", "## \nA\n", "", HelpSection::NoTopic, ""},
                      LookupCase{"EmptyBook", "", "Preview", HelpSection::NoTopic, ""},
                      LookupCase{"NoBook", nullptr, "Preview", HelpSection::NoBook, ""}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(LogoHelp, UnreadableBooksFail) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("folder"));
    EXPECT_EQ(LogoHelp::readSection(dir.file("folder"), "Setup").status, HelpSection::NoBook);
    dir.write("huge.md", "## Setup\n" + std::string(LogoHelp::kMaxBookBytes, 'x'));
    EXPECT_EQ(LogoHelp::readSection(dir.file("huge.md"), "Setup").status, HelpSection::NoBook);
    EXPECT_EQ(LogoHelp::readSection("/dev/null", "Setup").status, HelpSection::NoBook);
}

// Installed layout first, a copy beside the program next, else the installed place.
TEST(LogoHelp, Locate) {
    TempDir dir;
    std::filesystem::create_directories(dir.file("bin"));
    const std::string exe = dir.file("bin/korvaset");
    const std::string installed = dir.file("bin/") + LogoHelp::kInstalledDir + "/logo-help.md";
    EXPECT_EQ(LogoHelp::locate(exe), installed);
    dir.write("bin/logo-help.md", "x");
    EXPECT_EQ(LogoHelp::locate(exe), dir.file("bin/logo-help.md"));
    std::filesystem::create_directories(dir.file("bin/") + LogoHelp::kInstalledDir);
    dir.write(std::string("bin/") + LogoHelp::kInstalledDir + "/logo-help.md", "x");
    EXPECT_EQ(LogoHelp::locate(exe), installed);
}

TEST(LogoHelp, FailureMessagesNameTopicAndBook) {
    HelpSection noTopic{HelpSection::NoTopic, {}};
    HelpSection noBook{HelpSection::NoBook, {}};
    EXPECT_EQ(LogoHelp::failureMessage(noTopic, "/b.md", "Setup", false),
              "The help book has no page on \"Setup\".\n/b.md");
    EXPECT_EQ(LogoHelp::failureMessage(noBook, "/b.md", "Setup", false),
              "The help book cannot be read.\n/b.md");
    EXPECT_EQ(LogoHelp::failureMessage(noBook, "/b.md", "Setup", true),
              "도움말 파일을 읽을 수 없습니다.\n/b.md");
}

} // namespace
