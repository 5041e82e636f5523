#include "logo/BmpWriter.h"
#include "logo/CBitmapRaster.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>

using namespace korva;
using namespace korva::test;

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs korvactl with the arguments (already shell-safe: temporary paths and plain words).
CliRun korvactl(const TempDir& dir, const std::string& args) {
    const std::string cmd = std::string(KORVACTL_PATH) + " " + args + " >" + dir.file("stdout") +
                            " 2>" + dir.file("stderr");
    CliRun r;
    const int raw = std::system(cmd.c_str());
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    r.out = dir.read("stdout");
    r.err = dir.read("stderr");
    return r;
}

std::uint32_t be32(const std::string& s, std::size_t at) {
    auto b = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(s.at(at + i)));
    };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// The same conversion in-process, as the upload would do it.
std::string expectedRecord(const std::vector<std::uint8_t>& bmp, LogoOptions options, int centre) {
    CBitmapRaster raster(options);
    EXPECT_TRUE(raster.LoadBytes(bmp));
    EXPECT_TRUE(options.grayPrinting ? raster.ConvertGray() : raster.ConvertMonochrome(centre));
    const int x = raster.W8() / 8, y = raster.H8() / 8;
    std::string r;
    r += static_cast<char>(x % 256);
    r += static_cast<char>(x / 256 | (options.grayPrinting ? 0xA0 : 0));
    r += static_cast<char>(y % 256);
    r += static_cast<char>(y / 256);
    r.append(reinterpret_cast<const char*>(raster.output()), raster.outputLength());
    return r;
}

Picture stripes(int w, int h) {
    return makePicture(w, h, {{0, 0, 0, 0}, {255, 255, 255, 0}, {90, 90, 90, 0}},
                       [](int x, int y) { return (x / 3 + y / 2) % 3; });
}

TEST(LogoConvertCli, MonochromeRecordAndPicture) {
    TempDir dir;
    const auto bmp = writeBmp(stripes(100, 30), BmpLayout::Rgb24);
    dir.write("in.bmp", asString(bmp));
    CliRun r = korvactl(dir, "logo convert " + dir.file("in.bmp") + " -o " + dir.file("out.bin") +
                                 " --png " + dir.file("out.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string record = dir.read("out.bin");
    ASSERT_EQ(record.size(), 4u + 416);
    EXPECT_EQ(record.substr(0, 4), std::string("\x0D\x00\x04\x00", 4));
    EXPECT_EQ(record, expectedRecord(bmp, LogoOptions{}, 0));

    const std::string png = dir.read("out.png");
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    EXPECT_EQ(be32(png, 16), 104u); // IHDR width
    EXPECT_EQ(be32(png, 20), 32u);  // IHDR height
    EXPECT_NE(r.out.find("104 x 32 dots, monochrome, 420 bytes"), std::string::npos) << r.out;
}

// KORVA10 models print 384 dots: a 200-dot image is centred with a pad of 96.
TEST(LogoConvertCli, CentringUsesTheModelWidth) {
    TempDir dir;
    const auto bmp = writeBmp(stripes(200, 16), BmpLayout::Bits8);
    dir.write("in.bmp", asString(bmp));
    CliRun r = korvactl(dir, "--model KORVA10S logo convert " + dir.file("in.bmp") + " -o " +
                                 dir.file("out.bin") + " --center --png " + dir.file("out.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    LogoOptions options = LogoOptions::defaultsFor(ModelKindKorva10);
    const std::string record = dir.read("out.bin");
    EXPECT_EQ(record, expectedRecord(bmp, options, 1));
    EXPECT_EQ(static_cast<unsigned char>(record[0]), 296 / 8);
    EXPECT_EQ(be32(dir.read("out.png"), 16), 296u);

    // --max-width overrides the model's width.
    r = korvactl(dir, "--model KORVA10S logo convert " + dir.file("in.bmp") + " -o " +
                          dir.file("out.bin") + " --center --max-width 512");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(static_cast<unsigned char>(dir.read("out.bin")[0]), 360 / 8);
}

TEST(LogoConvertCli, GrayWithThreshold) {
    TempDir dir;
    const auto bmp = writeBmp(stripes(100, 30), BmpLayout::Rle8);
    dir.write("in.bmp", asString(bmp));
    CliRun r = korvactl(dir, "logo convert " + dir.file("in.bmp") + " -o " + dir.file("out.bin") +
                                 " --gray --threshold 200 --center --png " + dir.file("out.png"));
    ASSERT_EQ(r.status, 0) << r.err;
    LogoOptions options;
    options.grayPrinting = true;
    options.threshold = 200;
    const std::string record = dir.read("out.bin");
    ASSERT_EQ(record.size(), 4u + 1664);
    EXPECT_EQ(record.substr(0, 4), std::string("\x0D\xA0\x04\x00", 4));
    EXPECT_EQ(record, expectedRecord(bmp, options, 0));
    EXPECT_EQ(be32(dir.read("out.png"), 16), 104u); // never centred in gray
}

TEST(LogoConvertCli, FailuresSayWhyAndExitNonZero) {
    TempDir dir;
    auto bmp = writeBmp(stripes(16, 8), BmpLayout::Rgb24);
    put32(bmp, 2, static_cast<std::uint32_t>(bmp.size() + 100)); // bfSize lies
    dir.write("bad.bmp", asString(bmp));
    CliRun r = korvactl(dir, "logo convert " + dir.file("bad.bmp") + " -o " + dir.file("out.bin"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("bfSize"), std::string::npos) << r.err;
    EXPECT_EQ(dir.read("out.bin"), ""); // nothing written

    dir.write("good.bmp", asString(writeBmp(stripes(16, 8), BmpLayout::Rgb24)));
    r = korvactl(dir, "logo convert " + dir.file("good.bmp") + " -o " + dir.file("out.bin") +
                          " --threshold 256");
    EXPECT_NE(r.status, 0);
    r = korvactl(dir, "logo convert " + dir.file("missing.bmp") + " -o " + dir.file("out.bin"));
    EXPECT_NE(r.status, 0);
    r = korvactl(dir, "logo convert " + dir.file("good.bmp") + " -o " + dir.file("no/out.bin"));
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("cannot create"), std::string::npos) << r.err;
}

// An output that cannot be written is reported, and a named device is left in place rather
// than unlinked like a partly written file (as root, "-o /dev/full" would delete the device).
TEST(LogoConvertCli, FailedWriteKeepsADevice) {
    TempDir dir;
    const std::string node = dir.file("full");
    if (::mknod(node.c_str(), S_IFCHR | 0600, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make a device node here (needs root)";
    dir.write("in.bmp", asString(writeBmp(stripes(16, 8), BmpLayout::Rgb24)));
    CliRun r = korvactl(dir, "logo convert " + dir.file("in.bmp") + " -o " + node);
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.err.find("cannot write"), std::string::npos) << r.err;
    struct stat st {};
    ASSERT_EQ(::lstat(node.c_str(), &st), 0) << "the device node was removed";
    EXPECT_TRUE(S_ISCHR(st.st_mode));
}

} // namespace
