#pragma once
// The size at which the logo preview draws a bitmap: a base size that fits half of the preview
// rectangle with the bitmap's proportions (integer arithmetic), then scaled by the quality
// choice. The drawing itself belongs to the screen; this is only the arithmetic.
namespace korva {

enum class PreviewQuality { Normal = 0, Quadraple = 1, DoubleHeight = 2, DoubleWidth = 3 };

struct PreviewSize {
    int width = 0;
    int height = 0;
};

// Base size for a bitmap of bitmapWidth x bitmapHeight in a rectangle rectWidth x rectHeight.
// A bitmap without area, or an empty rectangle, gives 0 x 0.
PreviewSize previewBaseSize(int rectWidth, int rectHeight, int bitmapWidth, int bitmapHeight);

// The drawn size: the base for Normal, doubled both ways for Quadraple, doubled in one
// direction for Double Height and Double Width.
PreviewSize previewDrawSize(PreviewSize base, PreviewQuality quality);

} // namespace korva
