#include "logo/BmpDecoder.h"
#include "logo/BmpWriter.h"
#include "logo/CBitmapRaster.h"
#include "support/TempDir.h"

#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

const std::vector<BmpColour> kSixteen = {
    {0, 0, 0, 0},       {255, 255, 255, 0}, {0, 0, 255, 0},    {0, 255, 0, 0},
    {255, 0, 0, 0},     {128, 128, 128, 0}, {40, 80, 120, 0},  {200, 100, 50, 0},
    {10, 220, 30, 0},   {90, 90, 200, 0},   {250, 10, 130, 0}, {60, 60, 60, 0},
    {180, 200, 220, 0}, {33, 66, 99, 0},    {120, 0, 240, 0},  {7, 140, 77, 0},
};

// Long runs, lone pixels and mixed stretches, so RLE files use every kind of run.
int pattern(int x, int y) {
    if (y % 5 == 0)
        return 3;
    if (x < 9)
        return (x * 7 + y * 3) % 16;
    return x % 11 < 6 ? 5 : (x + y) % 16;
}

Picture sixteenColours() {
    return makePicture(37, 21, kSixteen, pattern);
}

// Decoded pixel colours, compared through the gray value the converter sees.
void expectSamePixels(const CBitmapRaster& a, const CBitmapRaster& b) {
    ASSERT_EQ(a.description().width, b.description().width);
    ASSERT_EQ(a.description().height, b.description().height);
    for (int y = 0; y < a.description().height; ++y)
        for (int x = 0; x < a.description().width; ++x)
            ASSERT_EQ(a.grayAt(x, y), b.grayAt(x, y)) << "pixel " << x << "," << y;
}

struct LayoutCase {
    const char* name;
    BmpWriteOptions options;
    int bitsPerPixel; // as the DIB holds it
};

class SameDots : public ::testing::TestWithParam<LayoutCase> {};

// Every storage of the same 16-colour picture gives the same pixels and the same dots as the
// 24-bit bottom-up file.
TEST_P(SameDots, AsTheReference) {
    const Picture picture = sixteenColours();
    LogoOptions options;
    CBitmapRaster reference(options), other(options);
    ASSERT_TRUE(reference.LoadBytes(writeBmp(picture, BmpLayout::Rgb24)));
    ASSERT_TRUE(other.LoadBytes(writeBmp(picture, GetParam().options)))
        << other.lastResult().reason;
    EXPECT_EQ(other.description().bitsPerPixel, GetParam().bitsPerPixel);
    EXPECT_EQ(other.description().stride % 4, 0);
    expectSamePixels(reference, other);

    ASSERT_TRUE(reference.ConvertMonochrome(0));
    ASSERT_TRUE(other.ConvertMonochrome(0));
    ASSERT_EQ(reference.outputLength(), other.outputLength());
    EXPECT_EQ(0, std::memcmp(reference.output(), other.output(), other.outputLength()));

    ASSERT_TRUE(reference.ConvertGray());
    ASSERT_TRUE(other.ConvertGray());
    ASSERT_EQ(reference.outputLength(), other.outputLength());
    EXPECT_EQ(0, std::memcmp(reference.output(), other.output(), other.outputLength()));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SameDots,
    ::testing::Values(LayoutCase{"Bits4", {BmpLayout::Bits4}, 4},
                      LayoutCase{"Bits8", {BmpLayout::Bits8}, 8},
                      LayoutCase{"Rle8", {BmpLayout::Rle8}, 8},
                      LayoutCase{"Rle4", {BmpLayout::Rle4}, 4},
                      LayoutCase{"Rgb32", {BmpLayout::Rgb32}, 32},
                      LayoutCase{"Bitfields32", {BmpLayout::Bitfields32}, 32},
                      LayoutCase{"Rgb24TopDown", {BmpLayout::Rgb24, true}, 24},
                      LayoutCase{"Bits8TopDown", {BmpLayout::Bits8, true}, 8},
                      LayoutCase{"Bits4TopDown", {BmpLayout::Bits4, true}, 4},
                      LayoutCase{"Rgb32TopDown", {BmpLayout::Rgb32, true}, 32},
                      LayoutCase{"Bits8V2", {BmpLayout::Bits8, false, 52}, 8},
                      LayoutCase{"Rle4V3", {BmpLayout::Rle4, false, 56}, 4},
                      LayoutCase{"Bitfields32V3", {BmpLayout::Bitfields32, false, 56}, 32},
                      LayoutCase{"Bits8V4", {BmpLayout::Bits8, false, 108}, 8},
                      LayoutCase{"Bits4V5", {BmpLayout::Bits4, false, 124}, 4},
                      LayoutCase{"Rle8V5", {BmpLayout::Rle8, false, 124}, 8},
                      LayoutCase{"Bitfields32V5", {BmpLayout::Bitfields32, false, 124}, 32},
                      LayoutCase{"Bits8Core", {BmpLayout::Bits8, false, 12}, 8},
                      LayoutCase{"Bits4Core", {BmpLayout::Bits4, false, 12}, 4},
                      LayoutCase{"Rgb24Core", {BmpLayout::Rgb24, false, 12}, 24}),
    [](const ::testing::TestParamInfo<LayoutCase>& param) {
        return std::string(param.param.name);
    });

// Two- and one-bit files with few colours agree with 8-bit files of the same picture.
TEST(BmpDecoder, FewColourDepthsMatchEightBits) {
    const std::vector<BmpColour> four = {
        {0, 0, 0, 0}, {255, 255, 255, 0}, {90, 90, 200, 0}, {20, 200, 20, 0}};
    for (auto [layout, colours] :
         {std::pair{BmpLayout::Bits2, 4}, std::pair{BmpLayout::Bits1, 2}}) {
        Picture p = makePicture(29, 13, {four.begin(), four.begin() + colours},
                                [](int x, int y) { return x * 3 + y; });
        LogoOptions options;
        CBitmapRaster eight(options), small(options);
        ASSERT_TRUE(eight.LoadBytes(writeBmp(p, BmpLayout::Bits8)));
        ASSERT_TRUE(small.LoadBytes(writeBmp(p, layout)));
        expectSamePixels(eight, small);
        ASSERT_TRUE(eight.ConvertGray());
        ASSERT_TRUE(small.ConvertGray());
        ASSERT_EQ(eight.outputLength(), small.outputLength());
        EXPECT_EQ(0, std::memcmp(eight.output(), small.output(), small.outputLength()));
    }
}

// Colours with no low bits survive 5-5-5 and 5-6-5 alike; 5-6-5 green is read through its mask
// (its top five bits), not as if the word were 5-5-5.
TEST(BmpDecoder, SixteenBitLayoutsAgree) {
    const std::vector<BmpColour> coarse = {{0, 0, 0, 0},    {248, 248, 248, 0}, {0, 248, 0, 0},
                                           {128, 64, 8, 0}, {16, 200, 96, 0},   {248, 0, 120, 0}};
    Picture p = makePicture(19, 11, coarse, [](int x, int y) { return x + 2 * y; });
    LogoOptions options;
    CBitmapRaster rgb(options), fields(options);
    ASSERT_TRUE(rgb.LoadBytes(writeBmp(p, BmpLayout::Rgb16)));
    ASSERT_TRUE(fields.LoadBytes(writeBmp(p, BmpLayout::Bitfields565)));
    EXPECT_EQ(fields.description().bitsPerPixel, 16);
    expectSamePixels(rgb, fields);

    // Pure green in 5-6-5 is 0x07E0: green5 = 31 gives trunc(4.72f * 31) = 146; reading the
    // word as 5-5-5 would have given red5 = 1 as well (148).
    Picture green = makePicture(8, 8, {{0, 255, 0, 0}}, [](int, int) { return 0; });
    ASSERT_TRUE(fields.LoadBytes(writeBmp(green, BmpLayout::Bitfields565)));
    EXPECT_EQ(fields.grayAt(3, 3), 146);
    // White 5-5-5: (2.4f + 4.72f + 0.88f) * 31 is just below 248.
    Picture white = makePicture(8, 8, {{255, 255, 255, 0}}, [](int, int) { return 0; });
    ASSERT_TRUE(rgb.LoadBytes(writeBmp(white, BmpLayout::Rgb16)));
    EXPECT_EQ(rgb.grayAt(0, 0), 247);
}

// Pixel values as the weights give them: single-precision weights, summed and truncated.
TEST(BmpDecoder, GrayValuesOfPrimaries) {
    Picture p = makePicture(
        5, 1,
        {{255, 255, 255, 0}, {255, 0, 0, 0}, {0, 255, 0, 0}, {0, 0, 255, 0}, {101, 101, 101, 0}},
        [](int x, int) { return x; });
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(p, BmpLayout::Rgb24)));
    EXPECT_EQ(raster.grayAt(0, 0), 254); // white: the weights sum to just below 1
    EXPECT_EQ(raster.grayAt(1, 0), 28);  // blue 255 * 0.11f = 28.05
    EXPECT_EQ(raster.grayAt(2, 0), 150); // green 255 * 0.59f = 150.45
    EXPECT_EQ(raster.grayAt(3, 0), 76);  // red 255 * 0.3f = 76.5
    EXPECT_EQ(raster.grayAt(4, 0), 100); // 101 * 0.99999998
    EXPECT_EQ(raster.grayAt(5, 0), 255); // outside the bitmap
    EXPECT_EQ(raster.grayAt(0, 1), 255);
}

// The colour table is found behind the real header, and an index the table does not define
// is black rather than a read past the table.
TEST(BmpDecoder, ColourTablePlacesAndMissingEntries) {
    Picture p =
        makePicture(8, 2, {{0, 0, 0, 0}, {255, 255, 255, 0}}, [](int x, int) { return x % 2; });
    for (int headerSize : {12, 40, 108, 124}) {
        std::vector<std::uint8_t> file = writeBmp(p, {BmpLayout::Bits8, false, headerSize});
        BmpImage image;
        BmpDecodeResult r = BmpDecoder::decode(file, image);
        ASSERT_TRUE(r.ok()) << headerSize << ": " << r.reason;
        ASSERT_EQ(image.colourTable().size(), 256u);
        EXPECT_EQ(image.colourTable()[1].red, 255) << headerSize;
        EXPECT_EQ(image.colourTable()[0].red, 0) << headerSize;
        EXPECT_EQ(image.colourTable()[2].red, 0) << headerSize;
    }
    // Pixel index 200 in a two-entry table.
    std::vector<std::uint8_t> file = writeBmp(p, BmpLayout::Bits8);
    const std::size_t offBits = get32(file, 10);
    file[offBits + 3] = 200;
    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(file));
    EXPECT_EQ(raster.grayAt(3, 1), 0);   // bottom row in the file is y = 1
    EXPECT_EQ(raster.grayAt(1, 1), 254); // index 1 stays white
}

// A colour count of 0 means a full table; the entries the file holds before the pixel data
// are used (here 16 of 256 and all 16 of 16), the rest are black.
TEST(BmpDecoder, ZeroColourCountReadsTheTableThere) {
    const Picture picture = sixteenColours();
    LogoOptions options;
    CBitmapRaster reference(options), other(options);
    ASSERT_TRUE(reference.LoadBytes(writeBmp(picture, BmpLayout::Rgb24)));
    for (BmpLayout layout : {BmpLayout::Bits8, BmpLayout::Bits4, BmpLayout::Rle8}) {
        std::vector<std::uint8_t> file = writeBmp(picture, layout);
        ASSERT_EQ(get32(file, 46), 16u);
        put32(file, 46, 0);
        ASSERT_TRUE(other.LoadBytes(file)) << other.lastResult().reason;
        expectSamePixels(reference, other);
    }
}

// RLE runs that overrun the row and deltas that leave the picture are clipped; a delta moves
// the position without painting.
TEST(BmpDecoder, RleClipsRunsAndFollowsDeltas) {
    Picture p = makePicture(4, 3, {{0, 0, 0, 0}, {255, 255, 255, 0}}, [](int, int) { return 1; });
    std::vector<std::uint8_t> file = writeBmp(p, BmpLayout::Rle8);
    const std::size_t offBits = get32(file, 10);
    file.resize(offBits);
    // Row 0 (bottom): 10 pixels of index 1 into a 4-pixel row, end of line. Row 1: delta
    // (2, 0), one pixel of index 1 (x = 2), end of line. Row 2: absolute run 1 0 1, then a
    // delta far outside, then the end of the bitmap.
    const std::uint8_t rle[] = {10, 1, 0, 0, 0, 2, 2, 0, 1,   1,   0, 0,
                                0,  3, 1, 0, 1, 0, 0, 2, 200, 200, 0, 1};
    file.insert(file.end(), std::begin(rle), std::end(rle));
    put32(file, 2, static_cast<std::uint32_t>(file.size()));
    put32(file, 34, sizeof rle);
    BmpImage image;
    BmpDecodeResult r = BmpDecoder::decode(file, image);
    ASSERT_TRUE(r.ok()) << r.reason;
    const std::uint8_t* row0 = image.row(0);
    const std::uint8_t* row1 = image.row(1);
    const std::uint8_t* row2 = image.row(2);
    EXPECT_EQ((std::vector<int>{row0[0], row0[1], row0[2], row0[3]}),
              (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ((std::vector<int>{row1[0], row1[1], row1[2], row1[3]}),
              (std::vector<int>{0, 0, 1, 0}));
    EXPECT_EQ((std::vector<int>{row2[0], row2[1], row2[2], row2[3]}),
              (std::vector<int>{1, 0, 1, 0}));
}

// Encoded runs of two different nibbles alternate them; an uncompressed file whose last row
// lacks only its padding still decodes, one whose data really is short is refused.
TEST(BmpDecoder, Rle4AlternatesTheRunsNibblesAndShortRowsAreWeighed) {
    Picture p = makePicture(4, 1, {{0, 0, 0, 0}, {255, 255, 255, 0}, {9, 9, 9, 0}},
                            [](int, int) { return 0; });
    std::vector<std::uint8_t> file = writeBmp(p, BmpLayout::Rle4);
    file.resize(get32(file, 10));
    const std::uint8_t rle[] = {4, 0x12, 0, 0, 0, 1};
    file.insert(file.end(), std::begin(rle), std::end(rle));
    put32(file, 2, static_cast<std::uint32_t>(file.size()));
    put32(file, 34, sizeof rle);
    BmpImage image;
    ASSERT_TRUE(BmpDecoder::decode(file, image).ok());
    const std::uint8_t* px = image.row(0); // rows keep the file's 4-bit packing
    EXPECT_EQ((std::vector<int>{px[0], px[1]}), (std::vector<int>{0x12, 0x12}));

    // 8 bits, 3 pixels wide: 4 bytes a row, the last row's padding byte left out.
    Picture q = makePicture(3, 2, {{0, 0, 0, 0}, {255, 255, 255, 0}},
                            [](int x, int y) { return (x + y) % 2; });
    std::vector<std::uint8_t> whole = writeBmp(q, BmpLayout::Bits8);
    struct Row {
        std::size_t cut;
        bool ok;
    } rows[] = {{0, true}, {1, true}, {2, false}, {5, false}};
    for (const Row& row : rows) {
        std::vector<std::uint8_t> cut(whole.begin(), whole.end() - static_cast<long>(row.cut));
        put32(cut, 2, static_cast<std::uint32_t>(cut.size()));
        BmpImage decoded;
        EXPECT_EQ(BmpDecoder::decode(cut, decoded).ok(), row.ok) << row.cut;
    }
}

struct Corruption {
    const char* name;
    void (*apply)(std::vector<std::uint8_t>&);
    BmpStatus expected;
};

class RefusedFiles : public ::testing::TestWithParam<Corruption> {};

// A file that lies about itself is refused with a reason, never read outside its bytes (the
// AddressSanitizer run of this suite checks the "never").
TEST_P(RefusedFiles, WithAReason) {
    Picture p = makePicture(13, 9, kSixteen, pattern);
    std::vector<std::uint8_t> file = writeBmp(p, BmpLayout::Bits8);
    GetParam().apply(file);
    BmpImage image;
    BmpDecodeResult r = BmpDecoder::decode(file, image);
    EXPECT_EQ(r.status, GetParam().expected) << r.reason;
    EXPECT_FALSE(r.reason.empty());
    EXPECT_TRUE(image.empty());

    LogoOptions options;
    CBitmapRaster raster(options);
    ASSERT_TRUE(raster.LoadBytes(writeBmp(p, BmpLayout::Rgb24)));
    ASSERT_TRUE(raster.ConvertMonochrome(0));
    // The failed load must not leave the previous image's size for the record.
    EXPECT_FALSE(raster.LoadBytes(file));
    EXPECT_EQ(raster.W8(), 0);
    EXPECT_EQ(raster.H8(), 0);
    EXPECT_EQ(raster.outputLength(), 0u);
    EXPECT_FALSE(raster.ConvertMonochrome(1));
    EXPECT_FALSE(raster.ConvertGray());
}

void setU16(std::vector<std::uint8_t>& b, std::size_t at, unsigned v) {
    b.at(at) = static_cast<std::uint8_t>(v);
    b.at(at + 1) = static_cast<std::uint8_t>(v >> 8);
}

INSTANTIATE_TEST_SUITE_P(Lies, RefusedFiles,
                         ::
                             testing::Values(Corruption{"Empty",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            b.clear();
                                                        },
                                                        BmpStatus::NotBmp},
                                             Corruption{
                                                 "NoMark",
                                                 [](std::vector<std::uint8_t>& b) { b[1] = 'A'; },
                                                 BmpStatus::NotBmp},
                                             Corruption{
                                                 "CutInFileHeader",
                                                 [](std::vector<std::uint8_t>& b) { b.resize(10); },
                                                 BmpStatus::Truncated},
                                             Corruption{
                                                 "CutInInfoHeader",
                                                 [](std::vector<std::uint8_t>& b) { b.resize(30); },
                                                 BmpStatus::Truncated},
                                             Corruption{"UnknownHeaderSize",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 14, 64);
                                                        },
                                                        BmpStatus::UnsupportedFormat},
                                             Corruption{"ZeroWidth",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 18, 0);
                                                        },
                                                        BmpStatus::BadDimensions},
                                             Corruption{"NegativeWidth",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 18, 0xFFFFFFF3u);
                                                        },
                                                        BmpStatus::BadDimensions},
                                             Corruption{"ZeroHeight",
                                                        [](std::vector<
                                                            std::uint8_t>& b) { put32(b, 22, 0); },
                                                        BmpStatus::BadDimensions},
                                             Corruption{"TwoPlanes",
                                                        [](std::vector<
                                                            std::uint8_t>& b) { setU16(b, 26, 2); },
                                                        BmpStatus::BadHeader},
                                             Corruption{"ThreeBits",
                                                        [](std::vector<
                                                            std::uint8_t>& b) { setU16(b, 28, 3); },
                                                        BmpStatus::UnsupportedFormat},
                                             Corruption{"Jpeg",
                                                        [](std::vector<
                                                            std::uint8_t>& b) { put32(b, 30, 4); },
                                                        BmpStatus::UnsupportedFormat},
                                             Corruption{
                                                 "Rle4AtEightBits",
                                                 [](std::
                                                        vector<
                                                            std::uint8_t>& b) { put32(b, 30, 2); },
                                                 BmpStatus::UnsupportedFormat},
                                             Corruption{"BitfieldsAtEightBits",
                                                        [](std::vector<
                                                            std::uint8_t>& b) { put32(b, 30, 3); },
                                                        BmpStatus::UnsupportedFormat},
                                             Corruption{"RleTopDown",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 30, 1);
                                                            put32(b, 22, 0xFFFFFFF7u);
                                                        },
                                                        BmpStatus::UnsupportedFormat},
                                             Corruption{"BfSizeBeyondFile",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 2, get32(b, 2) + 1);
                                                        },
                                                        BmpStatus::Truncated},
                                             Corruption{"BfSizeZero",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 2, 0);
                                                        },
                                                        BmpStatus::BadHeader},
                                             Corruption{"OffsetPastEnd",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 10, 0x7FFFFFFF);
                                                        },
                                                        BmpStatus::BadHeader},
                                             Corruption{"OffsetInsideHeader",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 10, 20);
                                                        },
                                                        BmpStatus::BadHeader},
                                             Corruption{"PixelsCut",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            b.resize(b.size() - 20);
                                                            put32(b, 2,
                                                                  static_cast<std::uint32_t>(
                                                                      b.size()));
                                                        },
                                                        BmpStatus::Truncated},
                                             Corruption{"RaggedRaster", // 1024 x 1025 rounds to
                                                                        // 1024 x 1032 dots
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 18, 1024);
                                                            put32(b, 22, 1025);
                                                        },
                                                        BmpStatus::TooLarge},
                                             Corruption{"HugeWidth",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 18, 0x7FFFFFFF);
                                                            put32(b, 22, 0x7FFFFFFF);
                                                        },
                                                        BmpStatus::TooLarge},
                                             Corruption{"MostNegativeHeight",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            put32(b, 22, 0x80000000u);
                                                        },
                                                        BmpStatus::TooLarge},
                                             Corruption{"RleWithoutEnd",
                                                        [](std::vector<std::uint8_t>& b) {
                                                            // An 8-bit file re-declared as RLE8:
                                                            // its pixel bytes run out (or stop)
                                                            // before thirteen rows are complete.
                                                            put32(b, 30, 1);
                                                            const std::size_t off = get32(b, 10);
                                                            b.resize(off + 4);
                                                            b[off] = 2;
                                                            b[off + 1] = 7;
                                                            b[off + 2] = 0;
                                                            b[off + 3] = 0;
                                                            put32(b, 2,
                                                                  static_cast<std::uint32_t>(
                                                                      b.size()));
                                                        },
                                                        BmpStatus::Truncated}),
                         [](const ::testing::TestParamInfo<Corruption>& param) {
                             return std::string(param.param.name);
                         });

// The description is there even when the image is refused, so the list can measure it.
TEST(BmpDecoder, RefusedImageStillDescribed) {
    Picture p = makePicture(8, 8, {{0, 0, 0, 0}, {255, 255, 255, 0}}, [](int, int) { return 0; });
    std::vector<std::uint8_t> file = writeBmp(p, BmpLayout::Bits1);
    put32(file, 18, 1024);
    put32(file, 22, 1200);
    BmpImage image;
    BmpDecodeResult r = BmpDecoder::decode(file, image);
    EXPECT_EQ(r.status, BmpStatus::TooLarge);
    EXPECT_EQ(r.description.width, 1024);
    EXPECT_EQ(r.description.height, 1200);
    EXPECT_EQ(r.description.bitsPerPixel, 1);
}

// The largest picture the work raster holds is decoded.
TEST(BmpDecoder, FullRasterAccepted) {
    Picture p = makePicture(1024, 1024, {{0, 0, 0, 0}, {255, 255, 255, 0}},
                            [](int x, int y) { return (x ^ y) & 1; });
    BmpImage image;
    BmpDecodeResult r = BmpDecoder::decode(writeBmp(p, BmpLayout::Bits1), image);
    ASSERT_TRUE(r.ok()) << r.reason;
    EXPECT_EQ(image.stride(), 128);
}

TEST(BmpDecoder, Files) {
    TempDir dir;
    Picture p = makePicture(9, 9, kSixteen, pattern);
    dir.write("a.bmp", asString(writeBmp(p, BmpLayout::Rgb24)));
    BmpImage image;
    EXPECT_TRUE(BmpDecoder::decodeFile(dir.file("a.bmp"), image).ok());
    EXPECT_EQ(image.width(), 9);
    BmpDecodeResult missing = BmpDecoder::decodeFile(dir.file("none.bmp"), image);
    EXPECT_EQ(missing.status, BmpStatus::CannotOpen);
    EXPECT_NE(missing.reason.find("none.bmp"), std::string::npos);
    EXPECT_EQ(BmpDecoder::decodeFile(dir.path(), image).status, BmpStatus::CannotOpen);
    EXPECT_TRUE(image.empty());

    // A file read from disk keeps plain bottom-up rows where they lie and copies the others;
    // either way its dots are those of the same bytes decoded from memory.
    struct Stored {
        BmpWriteOptions options;
        std::size_t cut; // bytes taken off the end: the last row's padding
    } stored[] = {
        {{BmpLayout::Rgb24}, 0},           {{BmpLayout::Rgb24}, 1}, {{BmpLayout::Bits4}, 0},
        {{BmpLayout::Rgb24, true}, 0},     {{BmpLayout::Rle8}, 0},  {{BmpLayout::Bitfields32}, 0},
        {{BmpLayout::Rgb24, false, 12}, 0}};
    LogoOptions options;
    for (const Stored& s : stored) {
        std::vector<std::uint8_t> bytes = writeBmp(p, s.options);
        bytes.resize(bytes.size() - s.cut);
        put32(bytes, 2, static_cast<std::uint32_t>(bytes.size()));
        dir.write("b.bmp", asString(bytes));
        CBitmapRaster fromFile(options), fromBytes(options);
        ASSERT_TRUE(fromFile.Load(dir.file("b.bmp"))) << fromFile.lastResult().reason;
        ASSERT_TRUE(fromBytes.LoadBytes(bytes));
        expectSamePixels(fromBytes, fromFile);
        ASSERT_TRUE(fromFile.ConvertMonochrome(0) && fromBytes.ConvertMonochrome(0));
        ASSERT_EQ(fromFile.outputLength(), fromBytes.outputLength());
        EXPECT_EQ(0, std::memcmp(fromFile.output(), fromBytes.output(), fromFile.outputLength()));
    }
}

// A pipe named like a bitmap is refused at once instead of waiting for a writer forever.
TEST(BmpDecoder, PipeIsRefusedWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir.file("logo.bmp");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::promise<BmpStatus> done;
    std::future<BmpStatus> status = done.get_future();
    std::thread reader([&] {
        BmpImage image;
        done.set_value(BmpDecoder::decodeFile(fifo, image).status);
    });
    const bool prompt = status.wait_for(std::chrono::seconds(2)) == std::future_status::ready;
    if (!prompt) {
        // Release the blocked open so the thread can finish.
        const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
    }
    reader.join();
    EXPECT_TRUE(prompt) << "decodeFile waited for a writer";
    EXPECT_EQ(status.get(), BmpStatus::CannotOpen);
}

} // namespace
