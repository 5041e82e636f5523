#include "firmware/AreaFrame.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace korva {

AreaFrame::AreaFrame(std::span<const std::uint8_t> image, const FirmwareArea& area)
    : m_buffer(std::size_t{area.length} + 10, 0xFF), m_length(area.length) {
    std::uint8_t* f = m_buffer.data();
    for (int i = 0; i < 4; ++i)
        f[4 + i] = static_cast<std::uint8_t>(m_length >> (8 * i));
    std::size_t dataLength = m_length - 10;
    std::size_t available =
        area.offset < image.size() ? std::min(dataLength, image.size() - area.offset) : 0;
    std::copy_n(image.begin() + static_cast<std::ptrdiff_t>(area.offset), available, f + 10);
    f[0] = 0x01;
    f[1] = 0x11;
    f[2] = area.code;
    f[3] = 0x30;
    if (area.index == AreaBoot) {
        const std::uint8_t fixed[4] = {0x00, 0x80, 0xFE, 0xFF};
        std::copy_n(fixed, 4, f + m_length - 4);
    }
    unsigned sum = std::accumulate(f + 10, f + m_length, 0u);
    m_checksum = static_cast<std::uint16_t>(sum);
    f[8] = static_cast<std::uint8_t>(m_checksum);
    f[9] = static_cast<std::uint8_t>(m_checksum >> 8);
}

std::string AreaFrame::checksumText() const {
    char text[8];
    std::snprintf(text, sizeof text, "%X", m_checksum);
    return text;
}

} // namespace korva
