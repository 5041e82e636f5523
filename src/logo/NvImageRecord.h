#pragma once
// One NV image record as the FS q definition command carries it: xL xH yL yH, then the image
// bytes. x = W8 / 8 and y = H8 / 8, little-endian; in gray mode xH is OR-ed with 0xA0, so a
// gray image must stay below 8192 units (65,536 dots) wide or the mark would be lost.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace korva {

class CBitmapRaster;

class NvImageRecord {
public:
    static constexpr std::uint8_t kGrayMark = 0xA0;

    // The 4 header bytes for an image of w8 x h8 dots (multiples of 8). False (header zeroed)
    // when the size cannot be written: negative, or too wide for the gray mark.
    static bool header(int w8, int h8, bool gray, std::array<std::uint8_t, 4>& out);

    // Header plus the converter's output after ConvertMonochrome (gray false) or ConvertGray
    // (gray true). False, with `out` empty, when the size cannot be written or the output
    // length does not match the size (no conversion ran since the last Load).
    static bool build(const CBitmapRaster& raster, bool gray, std::vector<std::uint8_t>& out);
    // The same record as its two parts, the header and the converter's own output (not copied;
    // valid until the raster converts again). False as for build, with both parts empty.
    static bool parts(const CBitmapRaster& raster, bool gray, std::array<std::uint8_t, 4>& head,
                      std::span<const std::uint8_t>& image);
};

} // namespace korva
