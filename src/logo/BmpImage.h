#pragma once
// A decoded bitmap as a DIB section holds it: pixel rows bottom-up (row 0 is the bottom line of
// the picture), each row `stride` bytes (a multiple of 4), at the depth the file declared. RLE
// files arrive decoded to 8 or 4 bits; bit-field files arrive as 5-5-5 words (16 bits) or
// blue, green, red, 0 bytes (32 bits). Indexed depths (1, 2, 4, 8) always carry a full colour
// table of 2^bitsPerPixel entries: the entries the file held, then black entries for indices
// the file did not define, so every index a pixel can hold has a colour.
//
// The rows either have storage of their own or are the pixel data inside the file image that
// was read, kept as it stands: a plain bottom-up file needs no second copy of its pixels.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace korva {

// The platform's BITMAP record, without the pixel pointer (use BmpImage::row()).
struct BitmapDescription {
    std::int32_t type = 0;
    std::int32_t width = 0;  // pixels, > 0 for a decoded image
    std::int32_t height = 0; // pixels, > 0 for a decoded image (top-down files are flipped)
    std::int32_t stride = 0; // bytes per pixel row, a multiple of 4
    std::uint16_t planes = 1;
    std::uint16_t bitsPerPixel = 0; // 1, 2, 4, 8, 16, 24 or 32
};

// One colour-table entry, in file order.
struct BmpColour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
    std::uint8_t reserved = 0;
};

class BmpImage {
public:
    BmpImage() = default;
    // A zero-filled image; width and height must be positive and bitsPerPixel one of the depths
    // above (the decoder checks that, and the size, before it gets here).
    BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
             std::vector<BmpColour> colours);
    // The rows as they lie in `file` from byte `offset` on: bottom-up, stride bytes each, the
    // last one complete with its padding (the decoder checks that the file holds them all).
    BmpImage(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel,
             std::vector<BmpColour> colours, std::unique_ptr<std::uint8_t[]> file,
             std::size_t offset);

    bool empty() const { return m_storage == nullptr; }
    const BitmapDescription& description() const { return m_description; }
    std::int32_t width() const { return m_description.width; }
    std::int32_t height() const { return m_description.height; }
    std::int32_t stride() const { return m_description.stride; }
    int bitsPerPixel() const { return m_description.bitsPerPixel; }
    const std::vector<BmpColour>& colourTable() const { return m_colours; }

    // Row dibRow counted from the bottom, 0 .. height-1; stride() bytes.
    std::uint8_t* row(std::int32_t dibRow) {
        return m_storage.get() + m_offset + static_cast<std::size_t>(dibRow) * stride();
    }
    const std::uint8_t* row(std::int32_t dibRow) const {
        return m_storage.get() + m_offset + static_cast<std::size_t>(dibRow) * stride();
    }

    // Bytes per row for a width and depth, rounded up to a multiple of 4.
    static std::int64_t strideFor(std::int64_t width, int bitsPerPixel) {
        return (width * bitsPerPixel + 31) / 32 * 4;
    }

private:
    void describe(std::int32_t width, std::int32_t height, std::uint16_t bitsPerPixel);

    BitmapDescription m_description;
    std::vector<BmpColour> m_colours;
    std::unique_ptr<std::uint8_t[]> m_storage; // null: no image
    std::size_t m_offset = 0;                  // where row 0 starts in m_storage
};

} // namespace korva
