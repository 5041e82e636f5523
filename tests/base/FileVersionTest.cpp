#include "base/FileVersion.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

using korva::FileVersion;

TEST(FileVersion, TheRunningExecutableCarriesTheBuildVersion) {
    EXPECT_EQ(korva::currentFileVersion(), (FileVersion{1, 0, 0, 3}));
}

TEST(FileVersion, UnreadableFilesGiveZeros) {
    korva::test::TempDir dir;
    EXPECT_EQ(korva::readFileVersion(dir.file("missing")), FileVersion{});
    dir.write("text", "not an executable at all");
    EXPECT_EQ(korva::readFileVersion(dir.file("text")), FileVersion{});

    // A truncated copy of ourselves: the ELF header promises sections that are not there.
    std::ifstream self("/proc/self/exe", std::ios::binary);
    std::string head(4096, '\0');
    self.read(head.data(), static_cast<std::streamsize>(head.size()));
    dir.write("truncated", head);
    EXPECT_EQ(korva::readFileVersion(dir.file("truncated")), FileVersion{});
    // A program without the block (the shell) reads as 0.0.0.0 too.
    EXPECT_EQ(korva::readFileVersion("/bin/sh"), FileVersion{});
}
