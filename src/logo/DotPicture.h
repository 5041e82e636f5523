#pragma once
// A picture of NV image dots as the printer would print them, for looking before uploading:
// one 8-bit gray pixel per dot, W8 x H8 pixels. Monochrome dots are black (0) or white (255);
// gray dots 0..5 become 255, 204, 153, 102, 51, 0.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korva {

class DotPicture {
public:
    // From the monochrome column layout (w8 x h8 / 8 bytes) or the gray row layout
    // (w8 x h8 / 2 bytes). False, leaving the picture empty, when the data length does not
    // match the size or the size is not a positive multiple of 8.
    bool fromMonochrome(std::span<const std::uint8_t> data, int w8, int h8);
    bool fromGray(std::span<const std::uint8_t> data, int w8, int h8);

    int width() const { return m_width; }
    int height() const { return m_height; }
    // Pixel (x, y), y = 0 the top row.
    std::uint8_t at(int x, int y) const {
        return m_pixels[static_cast<std::size_t>(y) * m_width + x];
    }

    // Writes an 8-bit grayscale PNG (libpng). False with `error` set on failure; a partly
    // written regular file is removed, a device or pipe never is.
    bool writePng(const std::string& path, std::string& error) const;

private:
    bool reset(std::size_t length, std::size_t expected, int w8, int h8);

    int m_width = 0;
    int m_height = 0;
    std::vector<std::uint8_t> m_pixels;
};

} // namespace korva
