#include "logo/BmpImage.h"

#include <utility>

namespace korva {

BmpImage::BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
                   std::vector<BmpColour> colours)
    : m_colours(std::move(colours)) {
    m_description.width = width;
    m_description.height = height;
    m_description.bitsPerPixel = bitsPerPixel;
    m_description.stride = static_cast<std::int32_t>(strideFor(width, bitsPerPixel));
    m_pixels.assign(static_cast<std::size_t>(m_description.stride) * height, 0);
    if (bitsPerPixel <= 8)
        m_colours.resize(std::size_t{1} << bitsPerPixel);
}

} // namespace korva
