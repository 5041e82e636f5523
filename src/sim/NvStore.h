#pragma once
// The printer's NV graphics memory: the images of the last FS q definition, numbered from 1
// in record order, and how one of them looks on paper.
//
// Layouts (as the definition command carries them):
// - mono: widthDots columns, left to right; each column heightDots/8 bytes, top to bottom;
//   the most significant bit is the topmost dot; 1 = printed.
// - gray: heightDots rows, top to bottom; each row widthDots/2 bytes, two dots per byte with
//   the left dot in the high nibble; 0 = white .. 5 = darkest (higher values print as 5).
// Not thread-safe: the owner locks.
#include <cstdint>
#include <string>
#include <vector>

namespace korva {

struct NvImage {
    int number = 0;
    int widthDots = 0;  // a multiple of 8
    int heightDots = 0; // a multiple of 8
    bool gray = false;
    std::vector<std::uint8_t> data;
    std::string png; // file written for it, "" when none

    bool operator==(const NvImage&) const = default;
};

class NvStore {
public:
    void clear() { m_images.clear(); }
    void add(NvImage image) { m_images.push_back(std::move(image)); }
    const NvImage* find(int number) const;
    const std::vector<NvImage>& images() const { return m_images; }
    std::size_t totalBytes() const;

    // The image as printed with scaleX x scaleY enlargement: rows of 8-bit gray, 255 white.
    static std::vector<std::uint8_t> render(const NvImage& image, int scaleX, int scaleY);

private:
    std::vector<NvImage> m_images;
};

} // namespace korva
