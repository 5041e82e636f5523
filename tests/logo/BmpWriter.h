#pragma once
// Writes test bitmaps of every layout the decoder reads, from one picture given as palette
// indices, so the same picture can be stored many ways and compared after conversion.
#include <cstdint>
#include <string>
#include <vector>

#include "logo/BmpImage.h"

namespace korva::test {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> index; // row-major, top row first
    std::vector<BmpColour> palette;  // at most 16 entries fit every indexed layout

    std::uint8_t at(int x, int y) const { return index[static_cast<std::size_t>(y) * width + x]; }
    const BmpColour& colour(int x, int y) const { return palette[at(x, y)]; }
};

enum class BmpLayout {
    Bits1,
    Bits2,
    Bits4,
    Bits8,
    Rle4,
    Rle8,
    Rgb16,        // BI_RGB 5-5-5
    Bitfields565, // BI_BITFIELDS 5-6-5
    Rgb24,
    Rgb32,
    Bitfields32, // BI_BITFIELDS with red in the top byte, blue in the second lowest
};

struct BmpWriteOptions {
    BmpLayout layout = BmpLayout::Rgb24;
    bool topDown = false;
    int headerSize = 40; // 12 (OS/2 core), 40, 108 (V4) or 124 (V5)
};

std::vector<std::uint8_t> writeBmp(const Picture& picture, const BmpWriteOptions& options);
inline std::vector<std::uint8_t> writeBmp(const Picture& picture, BmpLayout layout) {
    return writeBmp(picture, BmpWriteOptions{layout});
}

// A picture of w x h pixels whose index at (x, y) is f(x, y) % palette.size().
Picture makePicture(int w, int h, std::vector<BmpColour> palette, int (*f)(int, int));

// Little-endian field access for tests that corrupt headers on purpose.
void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v);
std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at);

std::string asString(const std::vector<std::uint8_t>& bytes);

} // namespace korva::test
