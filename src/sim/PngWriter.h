#pragma once
// Writes an 8-bit grayscale raster as a PNG file (libpng). Returns false with the reason in
// error when the file cannot be written; a half-written file is removed.
#include <cstdint>
#include <string>
#include <vector>

namespace korva {

class PngWriter {
public:
    // pixels: height rows of width bytes, 0 = black, 255 = white.
    static bool writeGray(const std::string& path, int width, int height,
                          const std::vector<std::uint8_t>& pixels, std::string& error);
};

} // namespace korva
