// The benchmarks' photograph: a full-width (512 dots), 1024-line 24-bit BMP of soft gradients in
// 16 colours and grays, so the error diffusion has real work to do.
#pragma once

#include "logo/BmpWriter.h"

#include <cstdint>
#include <vector>

namespace korva::test {

inline std::vector<std::uint8_t> benchPhoto() {
    std::vector<BmpColour> palette;
    for (int i = 0; i < 16; ++i)
        palette.push_back({static_cast<std::uint8_t>(16 * i),
                           static_cast<std::uint8_t>(255 - 12 * i),
                           static_cast<std::uint8_t>(8 * i + 30), 0});
    Picture p = makePicture(512, 1024, palette,
                            [](int x, int y) { return (x / 32 + y / 64) ^ (x * y % 3); });
    return writeBmp(p, BmpLayout::Rgb24);
}

} // namespace korva::test
