#include "sim/NvStore.h"

namespace korva {

const NvImage* NvStore::find(int number) const {
    for (const NvImage& image : m_images)
        if (image.number == number)
            return &image;
    return nullptr;
}

std::size_t NvStore::totalBytes() const {
    std::size_t total = 0;
    for (const NvImage& image : m_images)
        total += image.data.size();
    return total;
}

std::vector<std::uint8_t> NvStore::render(const NvImage& image, int scaleX, int scaleY) {
    const int w = image.widthDots;
    const int h = image.heightDots;
    const int outW = w * scaleX;
    std::vector<std::uint8_t> out(
        static_cast<std::size_t>(outW) * static_cast<std::size_t>(h * scaleY), 255);
    const std::size_t bands = static_cast<std::size_t>(h / 8);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            std::uint8_t level = 255;
            if (image.gray) {
                std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(w / 2) +
                                 static_cast<std::size_t>(x / 2);
                if (at < image.data.size()) {
                    int dot = (x % 2 == 0) ? image.data[at] >> 4 : image.data[at] & 0x0F;
                    if (dot > 5)
                        dot = 5;
                    level = static_cast<std::uint8_t>(255 - dot * 51);
                }
            } else {
                std::size_t at =
                    static_cast<std::size_t>(x) * bands + static_cast<std::size_t>(y / 8);
                if (at < image.data.size() && (image.data[at] >> (7 - y % 8) & 1))
                    level = 0;
            }
            for (int sy = 0; sy < scaleY; ++sy)
                for (int sx = 0; sx < scaleX; ++sx)
                    out[static_cast<std::size_t>(y * scaleY + sy) * static_cast<std::size_t>(outW) +
                        static_cast<std::size_t>(x * scaleX + sx)] = level;
        }
    }
    return out;
}

} // namespace korva
