#pragma once
// Our own reader for Windows bitmap files (".bmp"), producing what a DIB section holds.
//
// Understood: the 14-byte file header; OS/2 12-byte core headers and 40-byte or longer info
// headers (52, 56, 108 = V4, 124 = V5); BI_RGB at 1, 2, 4, 8, 16 (5-5-5), 24 and 32 bits;
// BI_RLE8 and BI_RLE4 (bottom-up only, decoded to 8 and 4 bits); BI_BITFIELDS at 16 and 32 bits
// with the masks from the header or behind a 40-byte header, normalised to 5-5-5 and to
// blue, green, red bytes; bottom-up and top-down (negative height) rows. The colour table is
// read where it really is: behind the header's own size (and the three masks of a 40-byte
// bit-field header), 3-byte entries for core headers, 4-byte entries otherwise.
//
// Refused, with a status and an English reason and without touching memory outside the input:
// a missing "BM" mark, headers or colour tables cut short, a bfSize larger than the file or too
// small to cover the headers, a pixel offset inside the headers or past the end, zero or
// negative widths, zero heights, unknown depths or compressions, images whose rounded area
// W8 x H8 exceeds the converter's work raster (kMaxRasterDots), and pixel data cut short. RLE
// runs and deltas that leave the picture are clipped; palette indices beyond the file's table
// select black. The description is filled in as soon as the headers have been read, so a
// refused image can still be measured (TooLarge, for example).
//
// Pure functions: any thread may call them; nothing is logged.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "logo/BmpImage.h"

namespace korva {

enum class BmpStatus {
    Ok,
    CannotOpen,        // the file could not be opened or read
    NotBmp,            // no "BM" mark
    Truncated,         // headers, colour table or pixel data end before they should
    BadHeader,         // inconsistent sizes or offsets, planes other than 1
    UnsupportedFormat, // header size, depth or compression we do not read
    BadDimensions,     // width <= 0 or height == 0
    TooLarge,          // W8 x H8 exceeds kMaxRasterDots (or the file exceeds kMaxFileBytes)
};

struct BmpDecodeResult {
    BmpStatus status = BmpStatus::Ok;
    std::string reason; // empty on success
    BitmapDescription description;
    bool ok() const { return status == BmpStatus::Ok; }
};

class BmpDecoder {
public:
    // The work raster of the converter: one byte per dot, W8 x H8 dots at most.
    static constexpr std::int64_t kMaxRasterDots = 1048576;
    // No bitmap that fits the raster needs a file this big (32 bits x 1 Mi dots is 4 MiB).
    static constexpr std::int64_t kMaxFileBytes = 64 * 1024 * 1024;

    // Decodes the whole file image. On failure `out` is left empty.
    static BmpDecodeResult decode(std::span<const std::uint8_t> file, BmpImage& out);
    // Reads the file (EINTR retried) and decodes it.
    static BmpDecodeResult decodeFile(const std::string& path, BmpImage& out);

private:
    static BmpDecodeResult decodeImage(std::span<const std::uint8_t> file,
                                       std::unique_ptr<std::uint8_t[]>* owned, BmpImage& out);
};

} // namespace korva
