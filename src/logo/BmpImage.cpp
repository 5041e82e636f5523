#include "logo/BmpImage.h"

#include <utility>

namespace korva {

BmpImage::BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
                   std::vector<BmpColour> colours)
    : m_colours(std::move(colours)) {
    describe(width, height, bitsPerPixel);
    // Zero-filled: RLE data leaves skipped pixels at index 0, and rows keep zero padding.
    m_storage = std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(m_description.stride) *
                                                 static_cast<std::size_t>(height));
}

BmpImage::BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
                   std::vector<BmpColour> colours, std::unique_ptr<std::uint8_t[]> file,
                   std::size_t offset)
    : m_colours(std::move(colours)), m_storage(std::move(file)), m_offset(offset) {
    describe(width, height, bitsPerPixel);
}

void BmpImage::describe(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel) {
    m_description.width = width;
    m_description.height = height;
    m_description.bitsPerPixel = bitsPerPixel;
    m_description.stride = static_cast<std::int32_t>(strideFor(width, bitsPerPixel));
    if (bitsPerPixel <= 8)
        m_colours.resize(std::size_t{1} << bitsPerPixel);
}

} // namespace korva
