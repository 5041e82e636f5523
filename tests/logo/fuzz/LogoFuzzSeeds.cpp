// Writes the fuzzer's seed corpus: one small bitmap of every layout the decoder reads.
#include "logo/BmpWriter.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    using namespace korva::test;
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const Picture p = makePicture(
        13, 7, {{0, 0, 0, 0}, {255, 255, 255, 0}, {10, 120, 230, 0}, {99, 99, 99, 0}},
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
        const auto bytes = writeBmp(*s.picture, s.options);
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) {
            std::fprintf(stderr, "cannot create %s\n", path.c_str());
            return 1;
        }
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
