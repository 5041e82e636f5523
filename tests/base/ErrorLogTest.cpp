#include "base/ErrorLog.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <regex>
#include <string>
#include <thread>
#include <vector>

using korva::ErrorLog;
using korva::test::TempDir;

namespace {

std::vector<std::string> entries(const std::string& content) {
    std::vector<std::string> lines;
    std::size_t pos = 0, end;
    while ((end = content.find("\r\n", pos)) != std::string::npos) {
        lines.push_back(content.substr(pos, end - pos));
        pos = end + 2;
    }
    EXPECT_EQ(pos, content.size()) << "log ends in a partial entry";
    return lines;
}

const std::regex kStamp(R"(^\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\] )");

} // namespace

TEST(ErrorLog, EntriesCarryTimeStampTextAndCrLf) {
    TempDir dir;
    ErrorLog log;
    ASSERT_TRUE(log.Open(dir.file("error.log")));
    log.PrintHeader(1, 0, 0, 3);
    log.Print("CPorts::Open() CreateFile error\r\n");
    log.Print("WriteFile get error result [%d]", 5);
    auto lines = entries(dir.read("error.log"));
    ASSERT_EQ(lines.size(), 4u);
    for (std::size_t i : {0u, 1u, 3u})
        EXPECT_TRUE(std::regex_search(lines[i], kStamp)) << lines[i];
    EXPECT_EQ(lines[0].substr(22), "ERROR LOG : Tool - Ver 1.0.0.3");
    EXPECT_EQ(lines[1].substr(22), "CPorts::Open() CreateFile error");
    EXPECT_EQ(lines[2], "") << "a text ending in CR LF leaves an empty line behind it";
    EXPECT_EQ(lines[3].substr(22), "WriteFile get error result [5]");
}

TEST(ErrorLog, LongTextIsCutTo255Characters) {
    TempDir dir;
    ErrorLog log;
    ASSERT_TRUE(log.Open(dir.file("error.log")));
    log.Print("%s", std::string(300, 'x').c_str());
    auto lines = entries(dir.read("error.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(22), std::string(255, 'x'));
}

TEST(ErrorLog, SecondRunTruncatesAndClosedLogWritesNothing) {
    TempDir dir;
    {
        ErrorLog first;
        ASSERT_TRUE(first.Open(dir.file("error.log")));
        first.Print("first run");
    }
    ErrorLog second;
    ASSERT_TRUE(second.Open(dir.file("error.log")));
    second.Print("second run");
    second.Close();
    second.Print("after close");
    auto lines = entries(dir.read("error.log"));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(22), "second run");

    ErrorLog broken;
    EXPECT_FALSE(broken.Open(dir.file("no/such/folder/error.log")));
    broken.Print("goes nowhere"); // must not crash
    EXPECT_FALSE(broken.isOpen());
}

TEST(ErrorLog, ThreadsNeverInterleaveEntries) {
    TempDir dir;
    ErrorLog log;
    ASSERT_TRUE(log.Open(dir.file("error.log")));
    constexpr int kThreads = 4, kEntries = 300;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&log, t] {
            std::string text(200, static_cast<char>('a' + t));
            for (int i = 0; i < kEntries; ++i)
                log.Print("%s", text.c_str());
        });
    for (auto& th : threads)
        th.join();
    auto lines = entries(dir.read("error.log"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kEntries));
    for (const std::string& line : lines) {
        ASSERT_TRUE(std::regex_search(line, kStamp)) << line;
        std::string text = line.substr(22);
        ASSERT_EQ(text, std::string(200, text[0]));
    }
}
