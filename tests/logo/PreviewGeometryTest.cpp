#include "logo/PreviewGeometry.h"

#include <gtest/gtest.h>

using namespace korva;

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
