#include "logo/CBitmapRaster.h"
#include "logo/BmpWriter.h"
#include "logo/NvImageRecord.h"
#include "logo/NvSize.h"
#include "support/TempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <set>
#include <utility>

using namespace korva;
using namespace korva::test;

namespace {

const BmpColour kBlack{0, 0, 0, 0};
const BmpColour kWhite{255, 255, 255, 0};

Picture uniform(int w, int h, BmpColour c) {
    return makePicture(w, h, {c}, [](int, int) { return 0; });
}

// The dot at (x, y) of the monochrome column layout.
int monoDot(const CBitmapRaster& r, int x, int y) {
    const std::uint8_t byte = r.output()[static_cast<std::size_t>(x) * (r.H8() / 8) + y / 8];
    return (byte >> (7 - y % 8)) & 1;
}

// The level at (x, y) of the gray row layout.
int grayDot(const CBitmapRaster& r, int x, int y) {
    const std::uint8_t byte = r.output()[(static_cast<std::size_t>(y) * r.W8() + x) / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

std::size_t countMonoDots(const CBitmapRaster& r) {
    std::size_t n = 0;
    for (int x = 0; x < r.W8(); ++x)
        for (int y = 0; y < r.H8(); ++y)
            n += monoDot(r, x, y);
    return n;
}

TEST(CBitmapRaster, AllWhitePrintsNothing) {
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(40, 17, kWhite), BmpLayout::Rgb24)));
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 40; ++x)
            ASSERT_EQ(raster.grayAt(x, y), 254);
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    EXPECT_EQ(countMonoDots(raster), 0u);
    // An error of -1 is truncated to nothing, so white stays white in gray mode too.
    ASSERT_TRUE(raster.ConvertGray());
    for (std::size_t i = 0; i < raster.outputLength(); ++i)
        ASSERT_EQ(raster.output()[i], 0) << i;
}

// Which pixels a 1-bit bitmap prints depends on entry 0's blue byte: with black first the
// index-0 pixels print, with white first the index-1 pixels.
TEST(CBitmapRaster, OneBitFollowsTheColourTable) {
    for (bool blackFirst : {true, false}) {
        Picture p = makePicture(11, 6, {blackFirst ? kBlack : kWhite, blackFirst ? kWhite : kBlack},
                                [](int x, int y) { return (x + y) % 3 == 0 ? 0 : 1; });
        LogoOptions options;
        options.threshold = 255; // no threshold applies to 1-bit bitmaps
        CBitmapRaster raster(options);
        ASSERT_TRUE(raster.LoadBytes(writeBmp(p, BmpLayout::Bits1)));
        ASSERT_TRUE(raster.ConvertMonochrome(0));
        ASSERT_EQ(raster.outputLength(), 16u * 8 / 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x) {
                int expected = 0;
                if (x < 11 && y < 6)
                    expected = (p.at(x, y) == 0) == blackFirst ? 1 : 0;
                ASSERT_EQ(monoDot(raster, x, y), expected) << blackFirst << " " << x << "," << y;
            }
    }
}

// 100 x 30 rounds to 104 x 32: 416 bytes monochrome, 1,664 gray, padding blank.
TEST(CBitmapRaster, RoundedSizesAndBlankPadding) {
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(100, 30, kBlack), BmpLayout::Rgb24)));
    EXPECT_EQ(raster.W8(), 104);
    EXPECT_EQ(raster.H8(), 32);
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    ASSERT_EQ(raster.outputLength(), 416u);
    for (int x = 0; x < 104; ++x) {
        const std::uint8_t* column = raster.output() + 4 * x;
        if (x < 100) {
            EXPECT_EQ(column[0], 0xFF);
            EXPECT_EQ(column[2], 0xFF);
            EXPECT_EQ(column[3], 0xFC) << x; // rows 24-29 printed, 30-31 blank
        } else {
            EXPECT_EQ(column[0] | column[1] | column[2] | column[3], 0) << x;
        }
    }
    std::vector<std::uint8_t> record;
    ASSERT_TRUE(NvImageRecord::build(raster, false, record));
    EXPECT_EQ(std::vector<std::uint8_t>(record.begin(), record.begin() + 4),
              (std::vector<std::uint8_t>{0x0D, 0x00, 0x04, 0x00}));
    EXPECT_EQ(record.size(), 4u + 416);

    ASSERT_TRUE(raster.ConvertGray());
    ASSERT_EQ(raster.outputLength(), 1664u);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 104; ++x)
            ASSERT_EQ(grayDot(raster, x, y), x < 100 && y < 30 ? 5 : 0) << x << "," << y;
    ASSERT_TRUE(NvImageRecord::build(raster, true, record));
    EXPECT_EQ(std::vector<std::uint8_t>(record.begin(), record.begin() + 4),
              (std::vector<std::uint8_t>{0x0D, 0xA0, 0x04, 0x00}));
    EXPECT_EQ(record.size(), 4u + 1664);
}

struct ToneCase {
    int g, t, expected;
};

class Tone : public ::testing::TestWithParam<ToneCase> {};

TEST_P(Tone, Adjusts) {
    EXPECT_EQ(CBitmapRaster::AdjustTone(GetParam().g, GetParam().t), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Tone,
                         ::testing::Values(
                             // 128 leaves the value alone.
                             ToneCase{0, 128, 0}, ToneCase{77, 128, 77}, ToneCase{254, 128, 254},
                             // 0 doubles, clamped at 255.
                             ToneCase{100, 0, 200}, ToneCase{127, 0, 254}, ToneCase{128, 0, 255},
                             ToneCase{254, 0, 255},
                             // 64 multiplies by 1.5 and truncates.
                             ToneCase{101, 64, 151},
                             // 255: everything below 128 goes to 0; g * 255 / 128 - 254.
                             ToneCase{127, 255, 0}, ToneCase{0, 255, 0}, ToneCase{128, 255, 1},
                             ToneCase{200, 255, 144}, ToneCase{254, 255, 252},
                             // 192: g * 1.5 - 128.
                             ToneCase{101, 192, 23}, ToneCase{50, 192, 0},
                             // Out-of-range thresholds cannot overflow.
                             ToneCase{254, 1000000, 0}, ToneCase{200, -1000000, 255}));

// A threshold of 255 turns mid-gray entirely black, one of 0 entirely white.
TEST(CBitmapRaster, ThresholdDrivesTheDots) {
    const Picture mid = uniform(16, 16, {127, 127, 127, 0}); // gray 126
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(mid, BmpLayout::Rgb24)));
    options.threshold = 255;
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    EXPECT_EQ(countMonoDots(raster), 256u);
    options.threshold = 0; // 252: white, and its small errors never add up to a dot
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    EXPECT_EQ(countMonoDots(raster), 0u);
    options.threshold = 128; // about half the dots
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    EXPECT_NEAR(static_cast<double>(countMonoDots(raster)), 128.0, 12.0);
}

// Row 0 of uniform gray 100 worked by hand: 100 prints and carries 43; 143 is white and
// carries -49; 51 prints (+22); 122 prints (+53); 153 white (-44); 56 prints (+24); 124
// prints (+54); 154 white.
TEST(CBitmapRaster, ErrorDiffusionFirstRow) {
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(8, 8, {101, 101, 101, 0}), BmpLayout::Rgb24)));
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    const int expected[8] = {1, 0, 1, 1, 0, 1, 1, 0};
    for (int x = 0; x < 8; ++x)
        EXPECT_EQ(monoDot(raster, x, 0), expected[x]) << x;
}

// Each share of an error lands on its own neighbour, is truncated, and stops at the edges. On a
// white background (gray 254: error -1, every share 0) a dark source of 112 hands 49, 21, 35
// and 7 to its right, lower-left, lower and lower-right neighbours; a target set one below
// 127 minus its share prints, one at exactly 127 minus its share does not. Rows 0-1 hold the
// printing targets, rows 8-9 the blank ones. A source at x = 0 gives nothing to the end of its
// own row (31, 4), which stays a dot at 126; one at x = 31 gives nothing to the start of the
// next row (0, 13), which stays a dot at 126.
TEST(CBitmapRaster, ErrorSharesReachTheirNeighboursOnly) {
    constexpr int kW = 32, kH = 16;
    int gray[kH][kW];
    for (auto& row : gray)
        for (int& g : row)
            g = 254;
    for (int y0 : {0, 8}) {
        const int below = y0 == 0 ? 1 : 0; // one below the level that turns the target white
        for (int x : {2, 10, 18, 26})
            gray[y0][x] = 112;
        gray[y0 + 1][1] = 127 - 21 - below;  // lower-left of (2, y0): 3/16
        gray[y0 + 1][10] = 127 - 35 - below; // below (10, y0): 5/16
        gray[y0 + 1][19] = 127 - 7 - below;  // lower-right of (18, y0): 1/16
        gray[y0][27] = 127 - 49 - below;     // right of (26, y0): 7/16
    }
    gray[4][0] = 112;
    gray[4][31] = 126;
    gray[12][31] = 112;
    gray[13][0] = 126;

    // Colour v weighs to gray v - 1, so each gray value g is stored as the colour g + 1.
    Picture p;
    p.width = kW;
    p.height = kH;
    for (int v = 0; v < 256; ++v) {
        const auto c = static_cast<std::uint8_t>(v);
        p.palette.push_back({c, c, c, 0});
    }
    for (const auto& row : gray)
        for (int g : row)
            p.index.push_back(static_cast<std::uint8_t>(g + 1));

    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(p, BmpLayout::Rgb24)));
    ASSERT_EQ(raster.grayAt(27, 0), 77);
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    const std::set<std::pair<int, int>> expected = {
        {2, 0}, {10, 0}, {18, 0},  {26, 0}, {2, 8}, {10, 8}, {18, 8}, {26, 8}, // sources
        {1, 1}, {10, 1}, {19, 1},  {27, 0},                                    // targets
        {0, 4}, {31, 4}, {31, 12}, {0, 13},                                    // edges
    };
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x)
            EXPECT_EQ(monoDot(raster, x, y), expected.count({x, y}) ? 1 : 0) << x << "," << y;
}

struct UniformCase {
    int gray;  // the picture's gray value (stored as the colour gray + 1, which weighs to gray)
    bool six;  // gray conversion, else monochrome
    int level; // the dot every position must get
};

class Uniform : public ::testing::TestWithParam<UniformCase> {};

// Uniform pictures whose small errors truncate to nothing stay uniform; rounding any share
// down instead would let them drift into stray dots. Gray 100: q = 121 div 42 = 2 (stored 3),
// error -2, every share 0.
TEST_P(Uniform, ErrorsTruncateTowardZero) {
    const auto v = static_cast<std::uint8_t>(GetParam().gray + 1);
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(24, 16, {v, v, v, 0}), BmpLayout::Rgb24)));
    ASSERT_EQ(raster.grayAt(5, 5), GetParam().gray);
    ASSERT_TRUE(GetParam().six ? raster.ConvertGray() : raster.ConvertMonochrome(0));
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x)
            ASSERT_EQ(GetParam().six ? grayDot(raster, x, y) : monoDot(raster, x, y),
                      GetParam().level)
                << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(Table, Uniform,
                         ::testing::Values(UniformCase{249, false, 0}, UniformCase{250, false, 0},
                                           UniformCase{48, true, 4}, UniformCase{99, true, 3},
                                           UniformCase{100, true, 3}, UniformCase{251, true, 0}));

// Gray levels follow the image: black 5, white 0, and a left-to-right ramp never gets lighter
// on average from one band of columns to the next darker one.
TEST(CBitmapRaster, GrayLevelsFollowTheRamp) {
    std::vector<BmpColour> ramp;
    for (int i = 0; i < 16; ++i) {
        auto v = static_cast<std::uint8_t>(255 - 17 * i);
        ramp.push_back({v, v, v, 0});
    }
    Picture p = makePicture(64, 32, ramp, [](int x, int) { return x / 4; });
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(p, BmpLayout::Bits4)));
    ASSERT_TRUE(raster.ConvertGray());
    double previous = -1;
    for (int band = 0; band < 16; band += 3) {
        double sum = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = band * 4; x < band * 4 + 4; ++x) {
                ASSERT_LE(grayDot(raster, x, y), 5);
                sum += grayDot(raster, x, y);
            }
        const double mean = sum / 128;
        EXPECT_GT(mean, previous) << band;
        previous = mean;
    }
    EXPECT_EQ(grayDot(raster, 0, 0), 0);
    EXPECT_EQ(grayDot(raster, 63, 31), 5);
}

// 200 dots centred in 512: pad ((312 / 2 + 7) div 8) x 8 = 160 blank columns on the left.
TEST(CBitmapRaster, CentringPadsTheLeft) {
    Picture p = makePicture(200, 24, {kBlack, kWhite}, [](int x, int y) { return (x * y) % 5; });
    LogoOptions options;
    CBitmapRaster plain(options), centred(options);
    ASSERT_TRUE(plain.LoadBytes(writeBmp(p, BmpLayout::Bits8)));
    ASSERT_TRUE(centred.LoadBytes(writeBmp(p, BmpLayout::Bits8)));
    ASSERT_TRUE(plain.ConvertMonochrome(0));
    ASSERT_TRUE(centred.ConvertMonochrome(1));
    EXPECT_EQ(centred.W8(), 360);
    EXPECT_EQ(centred.centringPadBytes(), 160u * 3);
    ASSERT_EQ(centred.outputLength(), plain.outputLength() + 160 * 3);
    for (std::size_t i = 0; i < 160 * 3; ++i)
        ASSERT_EQ(centred.output()[i], 0);
    EXPECT_EQ(0, std::memcmp(centred.output() + 480, plain.output(), plain.outputLength()));
    std::vector<std::uint8_t> record;
    ASSERT_TRUE(NvImageRecord::build(centred, false, record));
    EXPECT_EQ(record[0], 45);

    // Converting again without centring starts from the bitmap's own width.
    ASSERT_TRUE(centred.ConvertMonochrome(0));
    EXPECT_EQ(centred.W8(), 200);
    EXPECT_EQ(centred.centringPadBytes(), 0u);
}

struct CentreCase {
    int width, maxWidth, expectedW8;
};

class Centring : public ::testing::TestWithParam<CentreCase> {};

TEST_P(Centring, Width) {
    LogoOptions options;
    options.maxPrintableWidth = GetParam().maxWidth;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(GetParam().width, 8, kBlack), BmpLayout::Rgb24)));
    ASSERT_TRUE(raster.ConvertMonochrome(1));
    EXPECT_EQ(raster.W8(), GetParam().expectedW8);
    EXPECT_EQ(raster.outputLength(), static_cast<std::size_t>(GetParam().expectedW8));
}

INSTANTIATE_TEST_SUITE_P(
    Table, Centring,
    ::testing::Values(CentreCase{512, 512, 512}, // as wide as the limit
                      CentreCase{505, 512, 512}, // rounds up to the limit
                      CentreCase{600, 512, 600}, // wider
                      CentreCase{200, 384, 296}, // pad ((184 / 2 + 7) div 8) x 8 = 96
                      CentreCase{200, 383, 296}, // pad 96 as well: 91 + 7 rounds to 96
                      CentreCase{376, 383, 384}, // one column too far is possible
                      CentreCase{8, -1, 8},      // an absurd limit cannot overrun
                      CentreCase{8, 0, 8}));

TEST(CBitmapRaster, GrayIsNeverCentred) {
    LogoOptions options;
    options.centre[0] = 1;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(200, 8, kBlack), BmpLayout::Rgb24)));
    ASSERT_TRUE(raster.ConvertMonochrome(1));
    ASSERT_TRUE(raster.ConvertGray());
    EXPECT_EQ(raster.W8(), 200);
    EXPECT_EQ(raster.outputLength(), 200u * 8 / 2);
}

TEST(CBitmapRaster, NothingLoaded) {
    LogoOptions options;
    CBitmapRaster raster(options);
    EXPECT_FALSE(raster.ConvertMonochrome(0));
    EXPECT_FALSE(raster.ConvertGray());
    EXPECT_EQ(raster.grayAt(0, 0), 255);
    EXPECT_FALSE(raster.Load("/nonexistent/logo.bmp"));
    EXPECT_EQ(raster.lastResult().status, BmpStatus::CannotOpen);
}

TEST(CBitmapRaster, LoadsFromFileAndResetsOutput) {
    TempDir dir;
    dir.write("l.bmp", asString(writeBmp(uniform(16, 8, kBlack), BmpLayout::Rgb24)));
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.Load(dir.file("l.bmp")));
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    EXPECT_EQ(raster.outputLength(), 16u);
    ASSERT_TRUE(raster.Load(dir.file("l.bmp")));
    EXPECT_EQ(raster.outputLength(), 0u);
}

struct MeasureCase {
    int width, height, bpp;
    bool gray;
    NvSizeStatus status;
    std::int64_t bytes;
};

class Measure : public ::testing::TestWithParam<MeasureCase> {};

TEST_P(Measure, Size) {
    BitmapDescription d;
    d.width = GetParam().width;
    d.height = GetParam().height;
    d.bitsPerPixel = static_cast<std::uint16_t>(GetParam().bpp);
    NvSize s = MeasureNvSize(d, GetParam().gray);
    EXPECT_EQ(s.status, GetParam().status);
    EXPECT_EQ(s.bytes, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Measure,
    ::testing::Values(MeasureCase{100, 30, 24, false, NvSizeStatus::Ok, 416},
                      MeasureCase{100, 30, 24, true, NvSizeStatus::Ok, 1664}, // four times
                      MeasureCase{2000, 2000, 24, false, NvSizeStatus::TooLarge, 500000},
                      MeasureCase{1024, 1200, 1, false, NvSizeStatus::TooLarge, 153600},
                      MeasureCase{1024, 1024, 8, false, NvSizeStatus::Ok, 131072},
                      MeasureCase{1024, 1024, 8, true, NvSizeStatus::Ok, 524288},
                      MeasureCase{8, 8, 48, false, NvSizeStatus::UnsupportedDepth, 8},
                      MeasureCase{0, 8, 8, false, NvSizeStatus::BadDimensions, 0},
                      MeasureCase{8, -8, 8, false, NvSizeStatus::BadDimensions, 0}));

TEST(NvSize, Budget) {
    EXPECT_TRUE(FitsNvBudget(393000, 216, 384)); // exactly 393,216
    EXPECT_FALSE(FitsNvBudget(393000, 217, 384));
    EXPECT_FALSE(FitsNvBudget(0, 500000, 384));
}

TEST(NvImageRecord, Headers) {
    std::array<std::uint8_t, 4> h{};
    ASSERT_TRUE(NvImageRecord::header(8 * 300, 8 * 2, false, h));
    EXPECT_EQ(h, (std::array<std::uint8_t, 4>{0x2C, 0x01, 0x02, 0x00}));
    ASSERT_TRUE(NvImageRecord::header(8 * 300, 8 * 257, true, h));
    EXPECT_EQ(h, (std::array<std::uint8_t, 4>{0x2C, 0xA1, 0x01, 0x01}));
    // Wide enough to reach the gray mark's bits: refused rather than mis-marked.
    EXPECT_FALSE(NvImageRecord::header(8 * 8192, 8, true, h));
    EXPECT_TRUE(NvImageRecord::header(8 * 8192, 8, false, h));
    EXPECT_FALSE(NvImageRecord::header(-8, 8, false, h));
}

TEST(NvImageRecord, NeedsAConversion) {
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(uniform(16, 8, kBlack), BmpLayout::Rgb24)));
    std::vector<std::uint8_t> record;
    EXPECT_FALSE(NvImageRecord::build(raster, false, record));
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    EXPECT_FALSE(NvImageRecord::build(raster, true, record)); // mono output, gray record
    EXPECT_TRUE(record.empty());
}

} // namespace
