#include "logo/DotPicture.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <png.h>
#include <sys/stat.h>

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
    // Opened here rather than by libpng, so a file that cannot be opened is left alone and only
    // a regular file we began to write is removed after a failure: a device such as /dev/full
    // or a pipe named as the picture must never be unlinked.
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!f) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    const bool regular = ::fstat(::fileno(f.get()), &st) == 0 && S_ISREG(st.st_mode);
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(m_width);
    image.height = static_cast<png_uint_32>(m_height);
    image.format = PNG_FORMAT_GRAY;
    bool ok = png_image_write_to_stdio(&image, f.get(), 0, m_pixels.data(), m_width, nullptr) != 0;
    if (!ok)
        error = "cannot write " + path + ": " + image.message;
    png_image_free(&image);
    const bool flushed = std::fflush(f.get()) == 0;
    if (std::fclose(f.release()) != 0 || !flushed) {
        if (ok)
            error = "cannot write " + path + ": " + std::strerror(errno);
        ok = false;
    }
    if (!ok && regular)
        std::remove(path.c_str());
    return ok;
}

} // namespace korva
