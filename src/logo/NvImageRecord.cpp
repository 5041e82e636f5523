#include "logo/NvImageRecord.h"

#include "logo/CBitmapRaster.h"

namespace korva {

bool NvImageRecord::header(int w8, int h8, bool gray, std::array<std::uint8_t, 4>& out) {
    out = {0, 0, 0, 0};
    if (w8 < 0 || h8 < 0)
        return false;
    const int x = w8 / 8, y = h8 / 8;
    if (x > 0xFFFF || y > 0xFFFF || (gray && (x >> 8) >= 0x20))
        return false;
    out[0] = static_cast<std::uint8_t>(x % 256);
    out[1] = static_cast<std::uint8_t>(x / 256 | (gray ? kGrayMark : 0));
    out[2] = static_cast<std::uint8_t>(y % 256);
    out[3] = static_cast<std::uint8_t>(y / 256);
    return true;
}

bool NvImageRecord::parts(const CBitmapRaster& raster, bool gray, std::array<std::uint8_t, 4>& head,
                          std::span<const std::uint8_t>& image) {
    image = {};
    if (!header(raster.W8(), raster.H8(), gray, head))
        return false;
    const std::size_t expected =
        static_cast<std::size_t>(raster.W8()) * raster.H8() / (gray ? 2 : 8);
    if (raster.outputLength() != expected) {
        head = {0, 0, 0, 0};
        return false;
    }
    image = {raster.output(), expected};
    return true;
}

bool NvImageRecord::build(const CBitmapRaster& raster, bool gray, std::vector<std::uint8_t>& out) {
    out.clear();
    std::array<std::uint8_t, 4> head{};
    std::span<const std::uint8_t> image;
    if (!parts(raster, gray, head, image))
        return false;
    out.reserve(head.size() + image.size());
    out.insert(out.end(), head.begin(), head.end());
    out.insert(out.end(), image.begin(), image.end());
    return true;
}

} // namespace korva
