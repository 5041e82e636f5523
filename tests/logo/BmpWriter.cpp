#include "logo/BmpWriter.h"

#include <stdexcept>

namespace korva::test {

namespace {

void put16(std::vector<std::uint8_t>& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void put32(std::vector<std::uint8_t>& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

int depthOf(BmpLayout l) {
    switch (l) {
    case BmpLayout::Bits1:
        return 1;
    case BmpLayout::Bits2:
        return 2;
    case BmpLayout::Bits4:
    case BmpLayout::Rle4:
        return 4;
    case BmpLayout::Bits8:
    case BmpLayout::Rle8:
        return 8;
    case BmpLayout::Rgb16:
    case BmpLayout::Bitfields565:
        return 16;
    case BmpLayout::Rgb24:
        return 24;
    case BmpLayout::Rgb32:
    case BmpLayout::Bitfields32:
        return 32;
    }
    return 0;
}

// One row of uncompressed pixels, padded to 4 bytes.
std::vector<std::uint8_t> packRow(const Picture& p, int y, BmpLayout layout) {
    const int bpp = depthOf(layout);
    std::vector<std::uint8_t> row(static_cast<std::size_t>((p.width * bpp + 31) / 32 * 4), 0);
    for (int x = 0; x < p.width; ++x) {
        const std::uint8_t i = p.at(x, y);
        const BmpColour& c = p.colour(x, y);
        switch (layout) {
        case BmpLayout::Bits1:
        case BmpLayout::Bits2:
        case BmpLayout::Bits4:
        case BmpLayout::Bits8: {
            const int bit = x * bpp;
            row[bit / 8] |= static_cast<std::uint8_t>(i << (8 - bpp - bit % 8));
            break;
        }
        case BmpLayout::Rgb16: {
            unsigned w = (c.red >> 3) << 10 | (c.green >> 3) << 5 | c.blue >> 3;
            row[2 * x] = static_cast<std::uint8_t>(w);
            row[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
            break;
        }
        case BmpLayout::Bitfields565: {
            unsigned w = (c.red >> 3) << 11 | (c.green >> 2) << 5 | c.blue >> 3;
            row[2 * x] = static_cast<std::uint8_t>(w);
            row[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
            break;
        }
        case BmpLayout::Rgb24:
            row[3 * x] = c.blue;
            row[3 * x + 1] = c.green;
            row[3 * x + 2] = c.red;
            break;
        case BmpLayout::Rgb32:
            row[4 * x] = c.blue;
            row[4 * x + 1] = c.green;
            row[4 * x + 2] = c.red;
            row[4 * x + 3] = 0x5A; // "reserved" must be ignored
            break;
        case BmpLayout::Bitfields32:
            row[4 * x] = 0x77; // unused low byte
            row[4 * x + 1] = c.blue;
            row[4 * x + 2] = c.green;
            row[4 * x + 3] = c.red;
            break;
        default:
            break;
        }
    }
    return row;
}

// RLE8/RLE4 for one row: runs of equal pixels as encoded runs, other stretches of three or more
// as absolute runs, a lone pixel as an encoded run of one.
void encodeRleRow(const Picture& p, int y, bool four, std::vector<std::uint8_t>& out) {
    int x = 0;
    while (x < p.width) {
        int run = 1;
        while (x + run < p.width && run < 255 && p.at(x + run, y) == p.at(x, y))
            ++run;
        if (run >= 2 || x + 1 >= p.width) {
            out.push_back(static_cast<std::uint8_t>(run));
            const std::uint8_t v = p.at(x, y);
            out.push_back(four ? static_cast<std::uint8_t>(v << 4 | v) : v);
            x += run;
            continue;
        }
        // Absolute stretch: until the next pair of equal pixels.
        int n = 1;
        while (x + n < p.width && n < 255 &&
               !(x + n + 1 < p.width && p.at(x + n, y) == p.at(x + n + 1, y)))
            ++n;
        if (n < 3) {
            out.push_back(1);
            const std::uint8_t v = p.at(x, y);
            out.push_back(four ? static_cast<std::uint8_t>(v << 4) : v);
            x += 1;
            continue;
        }
        out.push_back(0);
        out.push_back(static_cast<std::uint8_t>(n));
        std::size_t start = out.size();
        for (int k = 0; k < n; ++k) {
            const std::uint8_t v = p.at(x + k, y);
            if (!four)
                out.push_back(v);
            else if (k % 2 == 0)
                out.push_back(static_cast<std::uint8_t>(v << 4));
            else
                out.back() |= v;
        }
        if ((out.size() - start) % 2)
            out.push_back(0);
        x += n;
    }
    out.push_back(0);
    out.push_back(0); // end of line
}

} // namespace

std::vector<std::uint8_t> writeBmp(const Picture& p, const BmpWriteOptions& o) {
    const int bpp = depthOf(o.layout);
    const bool core = o.headerSize == 12;
    const bool rle = o.layout == BmpLayout::Rle4 || o.layout == BmpLayout::Rle8;
    const bool fields = o.layout == BmpLayout::Bitfields565 || o.layout == BmpLayout::Bitfields32;
    if (p.palette.size() > (bpp <= 8 ? std::size_t{1} << bpp : 256))
        throw std::invalid_argument("palette too large for the layout");

    std::vector<std::uint8_t> pixels;
    if (rle) {
        for (int fileRow = 0; fileRow < p.height; ++fileRow)
            encodeRleRow(p, p.height - 1 - fileRow, o.layout == BmpLayout::Rle4, pixels);
        pixels.push_back(0);
        pixels.push_back(1); // end of bitmap
    } else {
        for (int fileRow = 0; fileRow < p.height; ++fileRow) {
            auto row = packRow(p, o.topDown ? fileRow : p.height - 1 - fileRow, o.layout);
            pixels.insert(pixels.end(), row.begin(), row.end());
        }
    }

    std::uint32_t masks[3] = {0, 0, 0};
    if (o.layout == BmpLayout::Bitfields565) {
        masks[0] = 0xF800;
        masks[1] = 0x07E0;
        masks[2] = 0x001F;
    } else if (o.layout == BmpLayout::Bitfields32) {
        masks[0] = 0xFF000000;
        masks[1] = 0x00FF0000;
        masks[2] = 0x0000FF00;
    }

    std::vector<std::uint8_t> info;
    put32(info, static_cast<std::uint32_t>(o.headerSize));
    if (core) {
        put16(info, static_cast<std::uint32_t>(p.width));
        put16(info, static_cast<std::uint32_t>(p.height));
        put16(info, 1);
        put16(info, static_cast<std::uint32_t>(bpp));
    } else {
        put32(info, static_cast<std::uint32_t>(p.width));
        put32(info, static_cast<std::uint32_t>(o.topDown ? -p.height : p.height));
        put16(info, 1);
        put16(info, static_cast<std::uint32_t>(bpp));
        std::uint32_t compression = rle ? (o.layout == BmpLayout::Rle8 ? 1 : 2) : fields ? 3 : 0;
        put32(info, compression);
        put32(info, static_cast<std::uint32_t>(pixels.size()));
        put32(info, 2835);
        put32(info, 2835);
        put32(info, bpp <= 8 ? static_cast<std::uint32_t>(p.palette.size()) : 0);
        put32(info, 0);
        // V4 and V5: masks, alpha mask, colour space and the rest stay zero except the masks.
        while (info.size() < static_cast<std::size_t>(o.headerSize)) {
            std::size_t at = info.size();
            if (at >= 40 && at < 52)
                put32(info, masks[(at - 40) / 4]);
            else
                info.push_back(0);
        }
        if (fields && o.headerSize == 40)
            for (std::uint32_t m : masks)
                put32(info, m);
    }

    std::vector<std::uint8_t> table;
    if (bpp <= 8)
        for (const BmpColour& c : p.palette) {
            table.push_back(c.blue);
            table.push_back(c.green);
            table.push_back(c.red);
            if (!core)
                table.push_back(0);
        }

    std::vector<std::uint8_t> file;
    const std::uint32_t offBits = static_cast<std::uint32_t>(14 + info.size() + table.size());
    file.push_back('B');
    file.push_back('M');
    put32(file, static_cast<std::uint32_t>(offBits + pixels.size()));
    put32(file, 0);
    put32(file, offBits);
    file.insert(file.end(), info.begin(), info.end());
    file.insert(file.end(), table.begin(), table.end());
    file.insert(file.end(), pixels.begin(), pixels.end());
    return file;
}

Picture makePicture(int w, int h, std::vector<BmpColour> palette, int (*f)(int, int)) {
    Picture p;
    p.width = w;
    p.height = h;
    p.palette = std::move(palette);
    p.index.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            p.index[static_cast<std::size_t>(y) * w + x] =
                static_cast<std::uint8_t>(f(x, y) % static_cast<int>(p.palette.size()));
    return p;
}

void put32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.at(at + i) = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 |
           static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

std::string asString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

} // namespace korva::test
