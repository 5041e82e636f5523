#include "logo/DotPicture.h"

#include <cstdio>
#include <png.h>

namespace korva {

bool DotPicture::reset(std::size_t length, std::size_t expected, int w8, int h8) {
    m_width = m_height = 0;
    m_pixels.clear();
    if (w8 <= 0 || h8 <= 0 || w8 % 8 != 0 || h8 % 8 != 0 || length != expected)
        return false;
    m_width = w8;
    m_height = h8;
    m_pixels.assign(static_cast<std::size_t>(w8) * h8, 255);
    return true;
}

bool DotPicture::fromMonochrome(std::span<const std::uint8_t> data, int w8, int h8) {
    const std::size_t expected = w8 > 0 && h8 > 0 ? static_cast<std::size_t>(w8) * h8 / 8 : 0;
    if (!reset(data.size(), expected, w8, h8))
        return false;
    const int bands = h8 / 8;
    for (int x = 0; x < w8; ++x)
        for (int k = 0; k < bands; ++k) {
            const std::uint8_t byte = data[static_cast<std::size_t>(x) * bands + k];
            for (int i = 0; i < 8; ++i)
                if (byte & (0x80 >> i))
                    m_pixels[static_cast<std::size_t>(8 * k + i) * w8 + x] = 0;
        }
    return true;
}

bool DotPicture::fromGray(std::span<const std::uint8_t> data, int w8, int h8) {
    const std::size_t expected = w8 > 0 && h8 > 0 ? static_cast<std::size_t>(w8) * h8 / 2 : 0;
    if (!reset(data.size(), expected, w8, h8))
        return false;
    for (std::size_t i = 0; i < m_pixels.size(); ++i) {
        const std::uint8_t byte = data[i / 2];
        const int level = i % 2 == 0 ? byte >> 4 : byte & 0x0F;
        // Levels above 5 do not occur in converted data; print them as the darkest.
        m_pixels[i] = static_cast<std::uint8_t>(255 - 51 * (level > 5 ? 5 : level));
    }
    return true;
}

bool DotPicture::writePng(const std::string& path, std::string& error) const {
    if (m_pixels.empty()) {
        error = "no dots to draw";
        return false;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(m_width);
    image.height = static_cast<png_uint_32>(m_height);
    image.format = PNG_FORMAT_GRAY;
    if (!png_image_write_to_file(&image, path.c_str(), 0, m_pixels.data(), m_width, nullptr)) {
        error = "cannot write " + path + ": " + image.message;
        png_image_free(&image);
        std::remove(path.c_str());
        return false;
    }
    png_image_free(&image);
    return true;
}

} // namespace korva
