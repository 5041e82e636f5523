#include "base/Profile.h"
#include "base/ErrorLog.h"
#include "support/TempDir.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

using korva::Profile;
using korva::test::TempDir;

TEST(Profile, MissingEntriesGiveTheDefault) {
    TempDir dir;
    Profile profile(dir.file("korvaset.INI"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1", "none"), "none");
    EXPECT_EQ(profile.GetInt("USER", "R_BUF_SZ0", 42), 42);
    EXPECT_TRUE(profile.Entries("LOGO").empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("korvaset.INI"))) << "reading creates nothing";
}

TEST(Profile, WriteReadDeleteWithCaseInsensitiveNames) {
    TempDir dir;
    Profile profile(dir.file("korvaset.INI"));
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/tmp/a.bmp"));
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile2", "/tmp/b.bmp"));
    ASSERT_TRUE(profile.WriteString("FWDN20", "FOLDER", "/fw/x.SHC"));
    EXPECT_EQ(profile.GetString("logo", "LOGOFILE1"), "/tmp/a.bmp");
    EXPECT_EQ(profile.GetString("Fwdn20", "folder"), "/fw/x.SHC");

    ASSERT_TRUE(profile.WriteString("logo", "logofile1", "/tmp/c.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "/tmp/c.bmp");
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile2", std::nullopt));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2", "gone"), "gone");

    auto entries = profile.Entries("LOGO");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].second, "/tmp/c.bmp");
    EXPECT_TRUE(profile.WriteString("LOGO", "never-there", std::nullopt));
}

TEST(Profile, OtherSectionsCommentsAndValueFormsAreKept) {
    TempDir dir;
    const std::string original = "; KORVASet settings\r\n"
                                 "[DEVICELIST]\r\n"
                                 "=KORVA40S\r\n"
                                 "\r\n"
                                 "[USER]\r\n"
                                 "  R_BUF_SZ0 =  64  \r\n"
                                 "Quoted=\"  spaced  \"\r\n"
                                 "; trailing comment\r\n";
    dir.write("korvaset.INI", original);
    Profile profile(dir.file("korvaset.INI"));
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ0"), "64");
    EXPECT_EQ(profile.GetString("USER", "Quoted"), "  spaced  ");
    EXPECT_EQ(profile.GetInt("USER", "R_BUF_SZ0", -1), 64);
    EXPECT_EQ(profile.Entries("DEVICELIST").at(0).second, "KORVA40S");

    ASSERT_TRUE(profile.WriteString("USER", "R_BUF_SZ1", "32"));
    EXPECT_EQ(dir.read("korvaset.INI"), "; KORVASet settings\r\n"
                                        "[DEVICELIST]\r\n"
                                        "=KORVA40S\r\n"
                                        "\r\n"
                                        "[USER]\r\n"
                                        "  R_BUF_SZ0 =  64  \r\n"
                                        "Quoted=\"  spaced  \"\r\n"
                                        "R_BUF_SZ1=32\r\n"
                                        "; trailing comment\r\n");
    ASSERT_TRUE(profile.DeleteSection("devicelist"));
    EXPECT_TRUE(profile.Entries("DEVICELIST").empty());
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ1"), "32");
}

TEST(Profile, NewSectionGoesAtTheEndAndKeyAfterTheSectionsLastEntry) {
    TempDir dir;
    dir.write("p.INI", "[A]\nx=1\n\n[B]\ny=2\n");
    Profile profile(dir.file("p.INI"));
    ASSERT_TRUE(profile.WriteString("A", "z", "3"));
    ASSERT_TRUE(profile.WriteString("C", "w", "4"));
    EXPECT_EQ(dir.read("p.INI"), "[A]\nx=1\nz=3\n\n[B]\ny=2\n[C]\nw=4\n");
}

TEST(Profile, WriteReplacesAtomicallyAndFailureKeepsTheOldFile) {
    TempDir dir;
    Profile profile(dir.file("korvaset.INI"));
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/a.bmp"));
    auto inode = std::filesystem::status(dir.file("korvaset.INI"));
    (void)inode;
    struct stat before {};
    ASSERT_EQ(::stat(dir.file("korvaset.INI").c_str(), &before), 0);
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile2", "/b.bmp"));
    struct stat after {};
    ASSERT_EQ(::stat(dir.file("korvaset.INI").c_str(), &after), 0);
    EXPECT_NE(before.st_ino, after.st_ino) << "a write must replace the file, not rewrite it";

    // A folder that refuses new files: the write fails, the profile stays as it was.
    if (::geteuid() != 0) {
        ASSERT_EQ(::chmod(dir.path().c_str(), 0555), 0);
        EXPECT_FALSE(profile.WriteString("LOGO", "Logofile3", "/c.bmp"));
        ::chmod(dir.path().c_str(), 0755);
    }
    Profile missingFolder(dir.file("gone/korvaset.INI"));
    EXPECT_FALSE(missingFolder.WriteString("LOGO", "Logofile1", "/x.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2"), "/b.bmp");
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "korvaset.INI") << "no temporary file left behind";
}

TEST(Profile, CorruptFileIsReadAsFarAsItMakesSenseAndKeptOnWrite) {
    TempDir dir;
    std::string binary("[LOGO]\nLogofile1=/a.bmp\n\x01\x02\xff\x00garbage=1\n", 38);
    binary += std::string("\x00\x00\x7f", 3) + "\n[USER]\nR_BUF_SZ0=64\n";
    dir.write("korvaset.INI", binary);
    korva::ErrorLog log;
    ASSERT_TRUE(log.Open(dir.file("error.log")));
    Profile profile(dir.file("korvaset.INI"), &log);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "/a.bmp");
    EXPECT_EQ(profile.GetString("LOGO", "garbage", "skipped"), "skipped");
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ0"), "64");
    EXPECT_NE(dir.read("error.log").find("not text"), std::string::npos);

    ASSERT_TRUE(profile.WriteString("USER", "R_BUF_SZ1", "32"));
    std::string after = dir.read("korvaset.INI");
    EXPECT_NE(after.find(std::string("\x01\x02\xff\x00garbage=1", 13)), std::string::npos)
        << "unreadable lines are kept byte for byte";
    EXPECT_EQ(profile.GetString("USER", "R_BUF_SZ1"), "32");

    // A last line ending in carriage returns without a line feed reads the same after a write.
    for (const char* last : {"x=e\r\r", "x=e\r"}) {
        SCOPED_TRACE(last);
        dir.write("korvaset.INI", std::string("[LOGO]\n[A]\nk=\n") + last);
        const auto entries = profile.Entries("A");
        ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/b.bmp"));
        EXPECT_EQ(profile.Entries("A"), entries);
    }
}

TEST(Profile, PathIsTheWorkingDirectoryAndTheProgramName) {
    TempDir dir;
    korva::test::ScopedCwd cwd(dir.path());
    EXPECT_EQ(Profile::pathFor("korvaset"),
              std::filesystem::current_path().string() + "/korvaset.INI");

    // A working directory removed under the program has no name: never the root folder's file.
    TempDir gone;
    std::filesystem::create_directory(gone.file("removed"));
    korva::test::ScopedCwd inside(gone.file("removed"));
    ASSERT_EQ(::rmdir(gone.file("removed").c_str()), 0);
    EXPECT_EQ(Profile::pathFor("korvaset"), "korvaset.INI");
}

TEST(Profile, TextsThatCannotStayOnOneLineAreRefused) {
    TempDir dir;
    korva::ErrorLog log;
    ASSERT_TRUE(log.Open(dir.file("error.log")));
    Profile profile(dir.file("korvaset.INI"), &log);
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/tmp/a.bmp"));
    const std::string before = dir.read("korvaset.INI");
    struct Bad {
        std::string section, key, value;
    } bad[] = {
        {"LOGO", "Logofile2", "/tmp/new\nline.bmp"},
        {"LOGO", "Logofile2", "/tmp/x.bmp\r\n[USER]\r\nCodePage255=1"},
        {"LOGO", "Logofile2", std::string("/tmp/x\0y.bmp", 12)},
        {"LOGO", "Logo\nfile2", "/tmp/x.bmp"},
        {"LOGO", "Logofile1=/tmp/b.bmp\nx", "y"},
        {"LOGO]\n[USER", "Logofile2", "/tmp/x.bmp"},
        // Lines the reader would skip or read as something else: the write could never be read.
        {"NE\x17", "key", "value"},
        {"LOGO",
         "Logo\x1B"
         "file2",
         "/tmp/x.bmp"},
        {"LOGO", "Logofile2", "/tmp/\x7F\x01.bmp"},
        {" LOGO", "Logofile2", "/tmp/x.bmp"},
        {"LOGO", "Logofile2\t", "/tmp/x.bmp"},
        {"LOGO", "[USER]", "/tmp/x.bmp"},
        {"LOGO", ";Logofile2", "/tmp/x.bmp"},
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.value);
        EXPECT_FALSE(profile.WriteString(b.section, b.key, std::string_view(b.value)));
    }
    EXPECT_EQ(dir.read("korvaset.INI"), before) << "nothing of a refused write reaches the file";
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "/tmp/a.bmp");
    EXPECT_TRUE(profile.Entries("USER").empty());
    EXPECT_NE(dir.read("error.log").find("korvaset.INI"), std::string::npos);
}

TEST(Profile, AnOversizedFileIsNeverCutShortByAWrite) {
    TempDir dir;
    std::string big = "[LOGO]\nLogofile1=/a.bmp\n";
    while (big.size() <= (4u << 20))
        big += "; " + std::string(1000, 'c') + "\n";
    big += "[USER]\nR_BUF_SZ0=64\n";
    dir.write("korvaset.INI", big);
    korva::ErrorLog log;
    ASSERT_TRUE(log.Open(dir.file("error.log")));
    Profile profile(dir.file("korvaset.INI"), &log);
    EXPECT_EQ(profile.GetString("LOGO", "Logofile1"), "/a.bmp");
    EXPECT_FALSE(profile.WriteString("LOGO", "Logofile2", "/b.bmp"));
    EXPECT_FALSE(profile.DeleteSection("LOGO"));
    EXPECT_EQ(dir.read("korvaset.INI"), big);
}

// A temporary file that cannot be written whole (here the file size limit; a full disk alike):
// the write fails, the old file is kept byte for byte, and no temporary file is left.
TEST(Profile, AWriteCutShortKeepsTheOldFile) {
    TempDir dir;
    Profile profile(dir.file("korvaset.INI"));
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/a.bmp"));
    const std::string old = dir.read("korvaset.INI");
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = old.size() + 10;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    bool written = profile.WriteString("LOGO", "Logofile2", std::string(200, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(written);
    EXPECT_EQ(dir.read("korvaset.INI"), old);
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), "korvaset.INI") << "no temporary file left behind";
}

// A writer killed before its rename leaves its temporary file: the next write removes it, but
// never the temporary file of a writer that still runs, nor a file that only looks alike.
TEST(Profile, AWriteRemovesTheTemporaryFilesOfWritersThatAreGone) {
    TempDir dir;
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    const std::string dead = "korvaset.INI.tmp" + std::to_string(gone) + ".Ab12Cd";
    const std::string running = "korvaset.INI.tmp" + std::to_string(::getppid()) + ".Ab12Cd";
    const char* alike[] = {"korvaset.INI.tmp.Ab12Cd", "korvaset.INI.tmpx1.Ab12Cd",
                           "korvaset.INI.bak", "other.INI.tmp1.Ab12Cd"};
    for (const std::string& name : {dead, running})
        dir.write(name, "[LOGO]\nLogofile1=/half");
    for (const char* name : alike)
        dir.write(name, "kept");
    Profile profile(dir.file("korvaset.INI"));
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile1", "/a.bmp"));
    EXPECT_FALSE(std::filesystem::exists(dir.file(dead)));
    EXPECT_TRUE(std::filesystem::exists(dir.file(running)));
    for (const char* name : alike)
        EXPECT_EQ(dir.read(name), "kept") << name;
}

// A key is looked up only in its own section. Names compare without regard to ASCII case over
// the whole alphabet; a value loses its blanks and one pair of enclosing quotes, double or single.
TEST(Profile, LookUpsFindTheirOwnSectionIgnoreCaseAndLoseOnePairOfQuotes) {
    TempDir dir;
    dir.write("korvaset.INI", "[LOGO]\nLogofile1=a.bmp\n[USER]\nR_BUF_SZ0=64\n[FWDN20]\n"
                              "[Zebra]\nAzZ=\"double\"\nq1='single'\nq2=\"'both'\"\nq3=\"open\n"
                              "q4= \t padded \t\nq5='mixed\"\n");
    Profile profile(dir.file("korvaset.INI"));
    struct Row {
        const char* section;
        const char* key;
        const char* expected;
    } rows[] = {
        {"LOGO", "Logofile1", "a.bmp"}, {"LOGO", "R_BUF_SZ0", "-"},   {"USER", "Logofile1", "-"},
        {"USER", "R_BUF_SZ0", "64"},    {"FWDN20", "R_BUF_SZ0", "-"}, {"FWDN20", "Logofile1", "-"},
        {"ZEBRA", "azz", "double"},     {"zebra", "AZZ", "double"},   {"ZeBrA", "aZz", "double"},
        {"Zebra", "Q1", "single"},      {"Zebra", "q2", "'both'"},    {"Zebra", "q3", "\"open"},
        {"Zebra", "q4", "padded"},      {"Zebra", "q5", "'mixed\""},  {"Zebr", "AzZ", "-"},
        {"Zebra", "AzZ ", "-"},         {"USER", "AzZ", "-"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(profile.GetString(row.section, row.key, "-"), row.expected)
            << row.section << " " << row.key;
}

// A hand-edited file with a section (or a key) twice: what a read finds is what a write
// changes, and a deleted key does not come back from the second copy.
TEST(Profile, AKeyInASectionGivenTwiceIsChangedAndDeletedWhereReadsFindIt) {
    TempDir dir;
    dir.write("korvaset.INI", "[LOGO]\nLogofile1=a.bmp\n[USER]\nR_BUF_SZ0=64\n[logo]\n"
                              "Logofile2=b.bmp\nLogofile2=c.bmp\n");
    Profile profile(dir.file("korvaset.INI"));
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile2", "d.bmp"));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2"), "d.bmp");
    ASSERT_TRUE(profile.WriteString("LOGO", "Logofile2", std::nullopt));
    EXPECT_EQ(profile.GetString("LOGO", "Logofile2", "gone"), "gone");
    EXPECT_EQ(dir.read("korvaset.INI"), "[LOGO]\nLogofile1=a.bmp\n[USER]\nR_BUF_SZ0=64\n[logo]\n");
}

// Several keys in one write leave the file as the same writes one by one would, in one
// replacement; a key that cannot be written is left out and reported, the others go in.
TEST(Profile, SeveralKeysInOneWriteMatchTheWritesOneByOne) {
    using Entry = std::pair<std::string_view, std::optional<std::string_view>>;
    struct Case {
        std::string original;
        std::vector<Entry> entries;
        bool result;
    };
    const std::vector<Case> cases = {
        {"", {{"Logofile1", "/a.bmp"}, {"Logofile2", "/b.bmp"}}, true},
        {"[USER]\r\nX=1\r\n[LOGO]\r\nLogofile1=/old.bmp\r\nLogofile2=/old2.bmp\r\n"
         "Logofile3=/old3.bmp\r\n[END]\r\n",
         {{"logofile1", "/new.bmp"}, {"Logofile3", std::nullopt}, {"Logofile2", std::nullopt}},
         true},
        {"; note\n[LOGO]\nLogofile1=/x.bmp\n",
         {{"Logofile9", std::nullopt}, {"Logofile2", "/y.bmp"}, {"Logofile1", "/z.bmp"}},
         true},
        {"[LOGO]\nLogofile1=/x.bmp\n", {{"Logofile9", std::nullopt}}, true},
        {"[LOGO]\nLogofile1=/x.bmp\n", {{"Bad=Key", "/y.bmp"}, {"Logofile2", "/z.bmp"}}, false},
        {"[LOGO]\nLogofile1=/x.bmp\n", {{"Logofile2", "two\nlines"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.original);
        TempDir dir;
        if (!c.original.empty()) {
            dir.write("one.INI", c.original);
            dir.write("many.INI", c.original);
        }
        Profile one(dir.file("one.INI")), many(dir.file("many.INI"));
        bool each = true;
        for (const Entry& e : c.entries)
            each = one.WriteString("LOGO", e.first, e.second) && each;
        EXPECT_EQ(each, c.result);
        EXPECT_EQ(many.WriteStrings("LOGO", c.entries), c.result);
        EXPECT_EQ(dir.read("many.INI"), dir.read("one.INI"));
    }
}
