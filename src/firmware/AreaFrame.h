#pragma once
// The frame that carries one flash area to the printer: 01 11 code 30, L (32-bit little-endian),
// CS (16-bit little-endian, the sum of bytes 10..L-1 modulo 65536), then the first L-10 bytes of
// the area. The Boot Area's last four frame bytes are the fixed 00 80 FE FF, inside the sum.
// The buffer holds L+10 bytes pre-filled with 0xFF; only the first L are sent.
#include "firmware/FirmwareImage.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace korva {

class AreaFrame {
public:
    // image must be the whole 8 MiB file.
    AreaFrame(std::span<const std::uint8_t> image, const FirmwareArea& area);

    std::span<const std::uint8_t> bytes() const { return {m_buffer.data(), m_length}; }
    std::uint32_t length() const { return m_length; }
    std::uint16_t checksum() const { return m_checksum; }
    // The checksum as the CHECKSUM field shows it: upper-case hexadecimal, no leading zeros.
    std::string checksumText() const;

private:
    std::vector<std::uint8_t> m_buffer;
    std::uint32_t m_length;
    std::uint16_t m_checksum = 0;
};

} // namespace korva
