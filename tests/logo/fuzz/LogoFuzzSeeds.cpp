// Writes the fuzzers' seed corpora:
//   logo_fuzz_seeds CORPUS_DIR                       one small bitmap of every layout
//   logo_fuzz_seeds --selection CORPUS_DIR           print-page selection texts
//   logo_fuzz_seeds --list CORPUS_DIR BITMAP_DIR     profiles whose "LOGO" section names
//                                                    bitmaps written to BITMAP_DIR
#include "logo/BmpWriter.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool writeFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "cannot create %s\n", path.c_str());
        return false;
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

int selectionSeeds(const std::string& corpus) {
    const char* texts[] = {"1,3-5,9", ",4,", "-3",  "250-",  "5-3", "255", "1-255", "1,,2",
                           "1--3",    "0",   "256", "3-300", "1 2", ",",   "12,-,7"};
    for (std::size_t i = 0; i < sizeof texts / sizeof *texts; ++i)
        if (!writeFile(corpus + "/sel" + std::to_string(i), texts[i]))
            return 1;
    return 0;
}

int listSeeds(const std::string& corpus, const std::string& bitmaps) {
    using namespace korva::test;
    const Picture p = makePicture(40, 16, {{0, 0, 0, 0}, {255, 255, 255, 0}},
                                  [](int x, int y) { return (x / 4 + y / 4) & 1; });
    const std::string a = bitmaps + "/a.bmp", b = bitmaps + "/b.bmp", bad = bitmaps + "/bad.bmp";
    if (!writeFile(a, asString(writeBmp(p, BmpLayout::Bits1))) ||
        !writeFile(b, asString(writeBmp(p, BmpLayout::Rgb24))) || !writeFile(bad, "BM broken"))
        return 1;
    const std::vector<std::string> profiles = {
        "[LOGO]\nLogofile1=" + a + "\nLogofile2=" + b + "\n",
        "[LOGO]\nLogofile1=" + a + "\nLogofile2=" + bad + "\nLogofile3=" + b + "\n",
        "[LOGO]\r\nLogofile1=" + bad + "\r\nLogofile2=\"" + a + "\"\r\nLogofile4=" + b + "\r\n",
        "[Other]\nx=1\n[logo]\nLOGOFILE1 = " + b + "\nLogofile2=" + bitmaps + "/gone.bmp\n",
        "[LOGO]\nLogofile1=" + a + "\n[LOGO]\nLogofile1=" + b + "\nLogofile2=" + a + "\n",
    };
    for (std::size_t i = 0; i < profiles.size(); ++i)
        if (!writeFile(corpus + "/profile" + std::to_string(i) + ".ini", profiles[i]))
            return 1;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    using namespace korva::test;
    if (argc == 3 && std::strcmp(argv[1], "--selection") == 0)
        return selectionSeeds(argv[2]);
    if (argc == 4 && std::strcmp(argv[1], "--list") == 0)
        return listSeeds(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: %s CORPUS_DIR | --selection CORPUS_DIR | --list CORPUS_DIR "
                     "BITMAP_DIR\n",
                     argv[0]);
        return 2;
    }
    const Picture p =
        makePicture(13, 7, {{0, 0, 0, 0}, {255, 255, 255, 0}, {10, 120, 230, 0}, {99, 99, 99, 0}},
                    [](int x, int y) { return x % 5 == 0 ? 3 : (x + y) / 2; });
    const Picture two = makePicture(13, 7, {{255, 255, 255, 0}, {0, 0, 0, 0}},
                                    [](int x, int y) { return (x ^ y) & 1; });
    struct Seed {
        const char* name;
        const Picture* picture;
        BmpWriteOptions options;
    } seeds[] = {
        {"bits1", &two, {BmpLayout::Bits1}},
        {"bits2", &p, {BmpLayout::Bits2}},
        {"bits4", &p, {BmpLayout::Bits4}},
        {"bits8", &p, {BmpLayout::Bits8}},
        {"rle4", &p, {BmpLayout::Rle4}},
        {"rle8", &p, {BmpLayout::Rle8}},
        {"rgb16", &p, {BmpLayout::Rgb16}},
        {"fields565", &p, {BmpLayout::Bitfields565}},
        {"rgb24", &p, {BmpLayout::Rgb24}},
        {"rgb24topdown", &p, {BmpLayout::Rgb24, true}},
        {"rgb32", &p, {BmpLayout::Rgb32}},
        {"fields32v5", &p, {BmpLayout::Bitfields32, false, 124}},
        {"bits8v4", &p, {BmpLayout::Bits8, false, 108}},
        {"bits8core", &p, {BmpLayout::Bits8, false, 12}},
    };
    for (const Seed& s : seeds) {
        const std::string path = std::string(argv[1]) + "/" + s.name + ".bmp";
        if (!writeFile(path, asString(writeBmp(*s.picture, s.options))))
            return 1;
    }
    return 0;
}
