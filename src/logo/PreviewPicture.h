#pragma once
// What the logo tool's "Preview Bitmap" page shows for a list entry: the bitmap file itself, its
// own pixels in their own colours (palette entries or RGB values), row by row from the top.
// The page stretches it to the chosen quality's size.
#include <cstdint>
#include <string>
#include <vector>

namespace korva {

class LogoList;

struct PreviewPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb; // 0xRRGGBB, width x height, top row first
    std::string reason;             // why there is no picture (the decoder's words), "" otherwise
    bool empty() const { return width <= 0 || height <= 0; }
    std::uint32_t at(int x, int y) const {
        return rgb[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                   static_cast<std::size_t>(x)];
    }
};

// The picture of the entry whose number list position `position` carries: the first position
// with that number, as the page finds its entry. An empty picture (with a reason) when the
// position is out of range or the file cannot be read any more.
PreviewPicture previewPicture(const LogoList& list, int position);

// The picture of one bitmap file.
PreviewPicture previewPictureOf(const std::string& path);

} // namespace korva
