#pragma once
// What the logo tool's "Preview Bitmap" page shows for a list entry: its bitmap converted as the
// upload would convert it with the options in force (six gray levels or error-diffused black
// and white, at the chosen threshold), without the centring pad, so the picture is what the
// printer prints for that image.
#include "logo/DotPicture.h"

#include <string>

namespace korva {

class LogoList;
struct LogoOptions;

struct PreviewPicture {
    DotPicture dots;    // W8 x H8 dots
    int width = 0;      // the bitmap's own width and height in pixels: the part of the dots
    int height = 0;     // that is picture rather than rounding
    std::string reason; // why there is no picture (the decoder's words), "" otherwise
    bool empty() const { return width <= 0 || height <= 0; }
};

// The picture of the entry whose number list position `position` carries: the first position
// with that number, as the page finds its entry. An empty picture (with a reason) when the position
// is out of range or the file cannot be converted any more.
PreviewPicture previewPicture(const LogoList& list, int position, const LogoOptions& options);

// The picture of one bitmap file.
PreviewPicture previewPictureOf(const std::string& path, const LogoOptions& options);

} // namespace korva
