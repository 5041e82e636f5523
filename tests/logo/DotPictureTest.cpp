#include "logo/DotPicture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <png.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace korva;
using namespace korva::test;

namespace {

TEST(DotPicture, MonochromeColumnsBecomeBlackPixels) {
    // 16 x 16: column 0 fully printed, column 9 only its top dot, column 15 its bottom dot.
    std::vector<std::uint8_t> data(16 * 2, 0);
    data[0] = data[1] = 0xFF;
    data[9 * 2] = 0x80;
    data[15 * 2 + 1] = 0x01;
    DotPicture p;
    ASSERT_TRUE(p.fromMonochrome(data, 16, 16));
    for (int y = 0; y < 16; ++y) {
        EXPECT_EQ(p.at(0, y), 0);
        EXPECT_EQ(p.at(9, y), y == 0 ? 0 : 255);
        EXPECT_EQ(p.at(15, y), y == 15 ? 0 : 255);
        EXPECT_EQ(p.at(4, y), 255);
    }
}

TEST(DotPicture, GrayLevelsBecomeShades) {
    std::vector<std::uint8_t> data(8 * 8 / 2, 0);
    data[0] = 0x05;
    data[1] = 0x23;
    data[2] = 0x4F; // 15 is not a level; drawn as the darkest
    DotPicture p;
    ASSERT_TRUE(p.fromGray(data, 8, 8));
    const int expected[6] = {255, 0, 153, 102, 51, 0};
    for (int x = 0; x < 6; ++x)
        EXPECT_EQ(p.at(x, 0), expected[x]) << x;
    EXPECT_EQ(p.at(0, 1), 255);
}

TEST(DotPicture, RefusesMismatchedData) {
    DotPicture p;
    std::vector<std::uint8_t> data(8);
    EXPECT_FALSE(p.fromMonochrome(data, 8, 16)); // needs 16 bytes
    EXPECT_FALSE(p.fromGray(data, 8, 8));        // needs 32 bytes
    EXPECT_FALSE(p.fromMonochrome(data, 0, 0));
    EXPECT_FALSE(p.fromMonochrome(data, 12, 8));
    EXPECT_EQ(p.width(), 0);
    std::string error;
    EXPECT_FALSE(p.writePng("/tmp/never.png", error));
    EXPECT_FALSE(error.empty());
}

TEST(DotPicture, PngRoundTrip) {
    TempDir dir;
    std::vector<std::uint8_t> data(24 * 8 / 8, 0);
    data[3] = 0xAA;
    DotPicture p;
    ASSERT_TRUE(p.fromMonochrome(data, 24, 8));
    std::string error;
    ASSERT_TRUE(p.writePng(dir.file("d.png"), error)) << error;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, dir.file("d.png").c_str()));
    image.format = PNG_FORMAT_GRAY;
    std::vector<std::uint8_t> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr));
    ASSERT_EQ(image.width, 24u);
    ASSERT_EQ(image.height, 8u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(pixels[y * 24 + x], p.at(x, y)) << x << "," << y;
    EXPECT_EQ(p.at(3, 0), 0);
    EXPECT_EQ(p.at(3, 1), 255);

    EXPECT_FALSE(p.writePng(dir.file("missing/d.png"), error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}

// A failed write removes a partly written picture, but never what the name points at when it
// is not a plain file: as root, "--png /dev/full" must not delete the device.
TEST(DotPicture, FailedWriteKeepsADevice) {
    TempDir dir;
    const std::string node = dir.file("full");
    if (::mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here (needs root)";
    std::vector<std::uint8_t> data(8, 0);
    DotPicture p;
    ASSERT_TRUE(p.fromMonochrome(data, 8, 8));
    std::string error;
    EXPECT_FALSE(p.writePng(node, error));
    EXPECT_FALSE(error.empty());
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0) << "the device node was removed";
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

} // namespace
