#include "logo/PreviewPicture.h"

#include "logo/BmpDecoder.h"
#include "logo/BmpImage.h"
#include "logo/LogoList.h"

namespace korva {

namespace {

std::uint32_t rgbOf(const BmpColour& c) {
    return static_cast<std::uint32_t>(c.red) << 16 | static_cast<std::uint32_t>(c.green) << 8 |
           c.blue;
}

// 5 bits of a 5-5-5 word widened to 8, so full intensity stays 255.
std::uint32_t widen5(unsigned v) {
    return (v << 3) | (v >> 2);
}

std::uint32_t rgbAt(const BmpImage& image, int x, int y) {
    const std::uint8_t* row = image.row(image.height() - 1 - y);
    const std::vector<BmpColour>& table = image.colourTable();
    switch (image.bitsPerPixel()) {
    case 1:
        return rgbOf(table[(row[x / 8] >> (7 - x % 8)) & 1]);
    case 2:
        return rgbOf(table[(row[x / 4] >> (6 - 2 * (x % 4))) & 3]);
    case 4:
        return rgbOf(table[(row[x / 2] >> (4 - 4 * (x % 2))) & 15]);
    case 8:
        return rgbOf(table[row[x]]);
    case 16: {
        const unsigned w = row[2 * x] | row[2 * x + 1] << 8;
        return widen5((w >> 10) & 31) << 16 | widen5((w >> 5) & 31) << 8 | widen5(w & 31);
    }
    case 24:
        return rgbOf({row[3 * x], row[3 * x + 1], row[3 * x + 2], 0});
    case 32:
        return rgbOf({row[4 * x], row[4 * x + 1], row[4 * x + 2], 0});
    default:
        return 0;
    }
}

} // namespace

PreviewPicture previewPicture(const LogoList& list, int position) {
    if (position < 0 || position >= list.entryCount())
        return {0, 0, {}, "no entry selected"};
    const int first = list.findNumber(list.entry(position).number);
    return previewPictureOf(list.entry(first < 0 ? position : first).path);
}

PreviewPicture previewPictureOf(const std::string& path) {
    PreviewPicture p;
    BmpImage image;
    const BmpDecodeResult result = BmpDecoder::decodeFile(path, image);
    if (!result.ok() || image.empty()) {
        p.reason = result.reason.empty() ? "the bitmap could not be read" : result.reason;
        return p;
    }
    p.width = image.width();
    p.height = image.height();
    p.rgb.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(p.width) +
                  static_cast<std::size_t>(x)] = rgbAt(image, x, y);
    return p;
}

} // namespace korva
