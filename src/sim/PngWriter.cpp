#include "sim/PngWriter.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <png.h>

namespace korva {

namespace {

struct FileCloser {
    std::FILE* f;
    ~FileCloser() {
        if (f)
            std::fclose(f);
    }
};

// libpng reports errors by longjmp; nothing with a destructor may live between setjmp and the
// calls that can jump, so the whole write happens in this plain function.
bool writeRows(std::FILE* file, int width, int height, const std::uint8_t* pixels,
               std::string& error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        error = "png_create_write_struct failed";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        error = "png_create_info_struct failed";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "libpng could not write the image";
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(width));
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool PngWriter::writeGray(const std::string& path, int width, int height,
                          const std::vector<std::uint8_t>& pixels, std::string& error) {
    if (width <= 0 || height <= 0 ||
        pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        error = "empty or inconsistent raster";
        return false;
    }
    FileCloser file{std::fopen(path.c_str(), "wb")};
    if (!file.f) {
        error = path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = writeRows(file.f, width, height, pixels.data(), error);
    if (std::fclose(file.f) != 0 && ok) {
        ok = false;
        error = path + ": " + std::strerror(errno);
    }
    file.f = nullptr;
    if (!ok)
        std::remove(path.c_str());
    return ok;
}

} // namespace korva
