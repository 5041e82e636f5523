// The area table, the frame's bytes and the image checks, against hand-computed vectors.
#include "firmware/AreaFrame.h"
#include "app/ModelRules.h"
#include "firmware/AreaTransfer.h"
#include "firmware/FirmwareImage.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <numeric>
#include <sys/stat.h>

using namespace korva;
using korva::test::TempDir;

namespace {

// Every byte carries its own offset's low bits, so a misplaced copy shows.
std::vector<std::uint8_t> patternImage() {
    std::vector<std::uint8_t> image(kFirmwareFileSize);
    for (std::uint32_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i ^ (i >> 8) ^ (i >> 16));
    std::copy_n("QOLT", 4, image.begin() + kSignatureOffset);
    return image;
}

void writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

} // namespace

TEST(AreaFrame, HeaderAndDataOfEveryArea) {
    const auto image = patternImage();
    struct Row {
        int kind, area;
        std::vector<std::uint8_t> header; // bytes 0..7
        std::uint32_t offset;
    } rows[] = {
        {ModelKindKorva30, AreaProgram, {0x01, 0x11, 0x52, 0x30, 0x00, 0x80, 0x09, 0x00}, 0x300000},
        {ModelKindKorva40, AreaProgram, {0x01, 0x11, 0x51, 0x30, 0x00, 0x00, 0x0D, 0x00}, 0x400000},
        {ModelKindOther, AreaProgram, {0x01, 0x11, 0x51, 0x30, 0x00, 0x00, 0x0D, 0x00}, 0x500000},
        {ModelKindKorva30, AreaExtFont, {0x01, 0x11, 0x46, 0x30, 0x00, 0x00, 0x10, 0x00}, 0x600000},
        {ModelKindKorva40, AreaLcdFont, {0x01, 0x11, 0xBB, 0x30, 0x00, 0x00, 0x20, 0x00}, 0},
        {ModelKindKorva30,
         AreaDownload,
         {0x01, 0x11, 0x44, 0x30, 0x00, 0x80, 0x01, 0x00},
         0x3D0000},
        {ModelKindKorva40,
         AreaDownload,
         {0x01, 0x11, 0x44, 0x30, 0x00, 0x80, 0x01, 0x00},
         0x4D0000},
        {ModelKindNrw4600,
         AreaDownload,
         {0x01, 0x11, 0x44, 0x30, 0x00, 0x80, 0x01, 0x00},
         0x5D0000},
        {ModelKindKorva40, AreaBoot, {0x01, 0x11, 0x42, 0x30, 0x00, 0x50, 0x01, 0x00}, 0x2E0000},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << "kind " << r.kind << " area " << r.area);
        FirmwareArea area = firmwareArea(r.area, r.kind);
        AreaFrame frame(image, area);
        auto bytes = frame.bytes();
        std::uint32_t length = r.header[4] | r.header[5] << 8 | r.header[6] << 16;
        ASSERT_EQ(bytes.size(), length);
        EXPECT_TRUE(std::equal(r.header.begin(), r.header.end(), bytes.begin()));
        std::uint32_t dataEnd = r.area == AreaBoot ? length - 4 : length;
        EXPECT_TRUE(
            std::equal(bytes.begin() + 10, bytes.begin() + dataEnd, image.begin() + r.offset))
            << "the file bytes from the area offset";
        unsigned sum = std::accumulate(bytes.begin() + 10, bytes.end(), 0u);
        EXPECT_EQ(bytes[8] | bytes[9] << 8, sum & 0xFFFF);
        EXPECT_EQ(frame.checksum(), sum & 0xFFFF);
    }
}

TEST(AreaFrame, AllFfAreasAndTheBootTrailer) {
    const std::vector<std::uint8_t> image(kFirmwareFileSize, 0xFF);
    for (int a = 0; a < kFirmwareAreaCount; ++a) {
        FirmwareArea area = firmwareArea(a, ModelKindKorva40);
        AreaFrame frame(image, area);
        unsigned expected = (area.length - 10) * 255u;
        if (a == AreaBoot) {
            // 00 80 FE FF replace four 0xFF bytes: 255 * 4 - (0 + 0x80 + 0xFE + 0xFF).
            expected = expected - 4 * 255 + 0x80 + 0xFE + 0xFF;
            auto b = frame.bytes();
            EXPECT_EQ(b[0x14FFC], 0x00);
            EXPECT_EQ(b[0x14FFD], 0x80);
            EXPECT_EQ(b[0x14FFE], 0xFE);
            EXPECT_EQ(b[0x14FFF], 0xFF);
        }
        EXPECT_EQ(frame.checksum(), expected % 65536) << areaName(a);
    }
}

TEST(AreaFrame, ChecksumTextIsUpperHexWithoutLeadingZeros) {
    // A program area of zeros but one 0x0A5F sum: ten 0xFF bytes plus 0x0A5F - 0x9F6 = 0x69.
    std::vector<std::uint8_t> image(kFirmwareFileSize, 0);
    std::fill_n(image.begin() + 0x400000, 10, 0xFF);
    image[0x400000 + 10] = 0x69;
    AreaFrame frame(image, firmwareArea(AreaProgram, ModelKindKorva40));
    EXPECT_EQ(frame.checksumText(), "A5F");
}

TEST(FirmwareImage, LoadOutcomesAndTrailer) {
    TempDir dir;
    auto good = patternImage();
    good[kBootEnableOffset] = 10;
    writeFile(dir.file("good.SHC"), good);
    auto unsigned_ = good;
    unsigned_[kSignatureOffset + 3] = 'X';
    writeFile(dir.file("nosig.SHC"), unsigned_);
    writeFile(dir.file("short.SHC"), {good.begin(), good.end() - 1});

    FirmwareImage image;
    EXPECT_EQ(image.load(dir.file("good.SHC")), FirmwareImage::Load::Ok);
    EXPECT_EQ(image.bootEnable(), 10);
    EXPECT_EQ(image.load(dir.file("nosig.SHC")), FirmwareImage::Load::WrongSignature);
    EXPECT_TRUE(image.bytes().empty()) << "a rejected image is released";
    EXPECT_EQ(image.load(dir.file("short.SHC")), FirmwareImage::Load::WrongSize);
    EXPECT_EQ(image.fileSize(), 8388607u);
    // Nothing to read, or nothing that is a file: refused at once, never waited on.
    ASSERT_EQ(::mkfifo(dir.file("fifo.SHC").c_str(), 0600), 0);
    for (const char* name : {"none.SHC", "fifo.SHC", "."}) {
        EXPECT_EQ(image.load(dir.file(name)), FirmwareImage::Load::OpenFailed) << name;
        EXPECT_FALSE(readFirmwareTrailer(dir.file(name))) << name;
    }

    auto t = readFirmwareTrailer(dir.file("good.SHC"));
    ASSERT_TRUE(t);
    EXPECT_TRUE(t->signatureOk);
    EXPECT_TRUE(bootAllowed(t->bootEnable));
    EXPECT_FALSE(readFirmwareTrailer(dir.file("nosig.SHC"))->signatureOk);
    for (int b : {0, 11, 255})
        EXPECT_FALSE(bootAllowed(static_cast<std::uint8_t>(b)));
    EXPECT_TRUE(bootAllowed(1));
}

TEST(AreaTransfer, TitlePercentIsOfLengthPlusSlack) {
    const std::uint32_t l = 851968;
    EXPECT_EQ(titlePercent(l / 2, l), 48u);
    EXPECT_EQ(titlePercent(l, l), 97u) << "never 100 before the settling wait";
    EXPECT_EQ(titlePercent(l + 1 + 1280 * 15, l), 99u);
    EXPECT_EQ(titlePercent(0, l), 0u);
}
