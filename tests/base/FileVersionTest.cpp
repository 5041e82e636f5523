#include "base/FileVersion.h"
#include "base/VersionBlock.h"
#include "support/TempDir.h"

#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <vector>

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

// A copy of ourselves with one field of the version block changed: a wrong signature or a block
// without its translation reads as 0.0.0.0; the unchanged copy reads as the build's version.
TEST(FileVersion, ABlockWithABadSignatureOrNoTranslationGivesZeros) {
    std::ifstream self("/proc/self/exe", std::ios::binary);
    const std::string image((std::istreambuf_iterator<char>(self)), {});
    // The whole block as embedded: US English, Unicode.
    const korva::VersionBlock block{korva::kVersionSignature, 1u << 16, 3, 0x040904B0u};
    const std::string whole(reinterpret_cast<const char*>(&block), sizeof block);
    // Every place the bytes occur is changed (the test's own constant may hold them too).
    std::vector<std::size_t> places;
    for (std::size_t at = image.find(whole); at != std::string::npos;
         at = image.find(whole, at + 1))
        places.push_back(at);
    ASSERT_FALSE(places.empty()) << "the block is in the file";
    struct Row {
        std::size_t offset; // of the 32-bit field to overwrite
        std::uint32_t value;
        FileVersion expected;
    } rows[] = {
        {0, 0xFEEF04BC, FileVersion{}},
        {12, 0, FileVersion{}},
        {8, 3, FileVersion{1, 0, 0, 3}}, // unchanged
    };
    korva::test::TempDir dir;
    for (const Row& row : rows) {
        std::string copy = image;
        for (std::size_t at : places)
            copy.replace(at + row.offset, 4, reinterpret_cast<const char*>(&row.value), 4);
        dir.write("copy", copy);
        EXPECT_EQ(korva::readFileVersion(dir.file("copy")), row.expected) << row.offset;
    }
}
