#include "logo/NvSize.h"

#include "logo/BmpDecoder.h"

namespace korva {

NvSize MeasureNvSize(const BitmapDescription& d, bool grayPrinting) {
    NvSize r;
    if (d.width <= 0 || d.height <= 0) {
        r.status = NvSizeStatus::BadDimensions;
        return r;
    }
    const std::int64_t w8 = (static_cast<std::int64_t>(d.width) + 7) / 8 * 8;
    const std::int64_t h8 = (static_cast<std::int64_t>(d.height) + 7) / 8 * 8;
    r.bytes = w8 * (h8 / 8) * (grayPrinting ? 4 : 1);
    if (d.bitsPerPixel > 32)
        r.status = NvSizeStatus::UnsupportedDepth;
    else if (w8 * h8 > BmpDecoder::kMaxRasterDots)
        r.status = NvSizeStatus::TooLarge;
    return r;
}

bool FitsNvBudget(std::int64_t totalBytes, std::int64_t bytes, int nvGraphicsKB) {
    return totalBytes + bytes <= static_cast<std::int64_t>(nvGraphicsKB) * 1024;
}

} // namespace korva
