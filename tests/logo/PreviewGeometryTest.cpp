#include "BmpWriter.h"
#include "logo/PreviewGeometry.h"
#include "logo/PreviewPicture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace korva;
using namespace korva::test;

namespace {

struct FitCase {
    int rectW, rectH, bmpW, bmpH, w, h;
};

class Fit : public ::testing::TestWithParam<FitCase> {};

TEST_P(Fit, HalfTheRectangle) {
    const FitCase& c = GetParam();
    PreviewSize s = previewBaseSize(c.rectW, c.rectH, c.bmpW, c.bmpH);
    EXPECT_EQ(s.width, c.w);
    EXPECT_EQ(s.height, c.h);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Fit,
    ::testing::Values(FitCase{400, 300, 50, 50, 150, 150}, // square: H/2
                      FitCase{400, 300, 200, 100, 200, 100},
                      // wide but too tall for half the height
                      FitCase{400, 100, 200, 150, 66, 50},
                      FitCase{400, 300, 100, 300, 50, 150}, // tall
                      FitCase{400, 300, 0, 10, 0, 0}, FitCase{0, 300, 10, 10, 0, 0},
                      // no overflow in width x height
                      FitCase{2000000000, 2000000000, 1000000, 999999, 1000000000, 999999000}));

TEST(PreviewGeometry, Quality) {
    const PreviewSize base{30, 20};
    auto s = previewDrawSize(base, PreviewQuality::Normal);
    EXPECT_EQ(s.width * 1000 + s.height, 30020);
    s = previewDrawSize(base, PreviewQuality::Quadraple);
    EXPECT_EQ(s.width * 1000 + s.height, 60040);
    s = previewDrawSize(base, PreviewQuality::DoubleHeight);
    EXPECT_EQ(s.width * 1000 + s.height, 30040);
    s = previewDrawSize(base, PreviewQuality::DoubleWidth);
    EXPECT_EQ(s.width * 1000 + s.height, 60020);
}

} // namespace

// The preview shows the file's own colours, whatever the depth, top row first.
TEST(PreviewPicture, TheBitmapsOwnColours) {
    const std::vector<BmpColour> colours = {
        {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}, {255, 255, 255, 0}};
    const std::uint32_t rgb[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF};
    auto index = [](int x, int y) { return x + 2 * y; };
    TempDir dir;
    for (BmpLayout layout : {BmpLayout::Bits4, BmpLayout::Bits8, BmpLayout::Rgb16,
                             BmpLayout::Rgb24, BmpLayout::Rgb32}) {
        SCOPED_TRACE(static_cast<int>(layout));
        const std::vector<std::uint8_t> bmp = writeBmp(makePicture(5, 3, colours, index), layout);
        dir.write("p.bmp", std::string(bmp.begin(), bmp.end()));
        const PreviewPicture p = previewPictureOf(dir.file("p.bmp"));
        ASSERT_EQ(p.width, 5) << p.reason;
        ASSERT_EQ(p.height, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(p.at(x, y), rgb[index(x, y) % 4]) << x << "," << y;
    }
}
