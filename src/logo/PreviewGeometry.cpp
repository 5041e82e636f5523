#include "logo/PreviewGeometry.h"

#include <cstdint>

namespace korva {

namespace {

// a * b / c without overflow for any int inputs (c > 0).
int scaled(int a, int b, int c) {
    return static_cast<int>(static_cast<std::int64_t>(a) * b / c);
}

} // namespace

PreviewSize previewBaseSize(int rectWidth, int rectHeight, int bitmapWidth, int bitmapHeight) {
    if (bitmapWidth <= 0 || bitmapHeight <= 0 || rectWidth <= 0 || rectHeight <= 0)
        return {};
    PreviewSize s;
    if (bitmapWidth == bitmapHeight) {
        s.width = s.height = rectHeight / 2;
    } else if (bitmapWidth > bitmapHeight) {
        s.width = rectWidth / 2;
        s.height = scaled(bitmapHeight, s.width, bitmapWidth);
        if (2 * s.height > rectHeight) {
            s.height = rectHeight / 2;
            s.width = scaled(bitmapWidth, s.height, bitmapHeight);
        }
    } else {
        s.height = rectHeight / 2;
        s.width = scaled(bitmapWidth, s.height, bitmapHeight);
    }
    return s;
}

PreviewSize previewDrawSize(PreviewSize base, PreviewQuality quality) {
    switch (quality) {
    case PreviewQuality::Quadraple:
        return {2 * base.width, 2 * base.height};
    case PreviewQuality::DoubleHeight:
        return {base.width, 2 * base.height};
    case PreviewQuality::DoubleWidth:
        return {2 * base.width, base.height};
    case PreviewQuality::Normal:
        break;
    }
    return base;
}

} // namespace korva
