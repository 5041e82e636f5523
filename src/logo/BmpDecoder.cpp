#include "logo/BmpDecoder.h"

#include "base/Prefault.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace korva {

namespace {

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiRle8 = 1;
constexpr std::uint32_t kBiRle4 = 2;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::int64_t kFileHeaderSize = 14;
constexpr std::int64_t kCoreHeaderSize = 12;
constexpr std::int64_t kInfoHeaderSize = 40;

std::uint16_t u16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t u32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

BmpDecodeResult fail(BmpDecodeResult r, BmpStatus status, std::string reason) {
    r.status = status;
    r.reason = std::move(reason);
    return r;
}

// Closes the descriptor when the read is over; close is never retried.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// One colour channel selected by a bit-field mask, scaled to `bits` bits.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    int width = 0;

    explicit Channel(std::uint32_t m) : mask(m) {
        if (m == 0)
            return;
        shift = std::countr_zero(m);
        width = std::bit_width(m >> shift);
    }

    std::uint32_t take(std::uint32_t pixel, int bits) const {
        if (width == 0)
            return 0;
        std::uint32_t v = (pixel & mask) >> shift;
        if (width >= bits)
            return v >> (width - bits); // 5-6-5 green: its top five bits
        std::uint32_t maxIn = (std::uint32_t{1} << width) - 1;
        std::uint32_t maxOut = (std::uint32_t{1} << bits) - 1;
        return v * maxOut / maxIn;
    }
};

struct Header {
    std::int64_t size = 0;
    std::int64_t width = 0;
    std::int64_t height = 0; // negative: top-down
    int planes = 1;
    int bitsPerPixel = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t sizeImage = 0;
    std::uint32_t coloursUsed = 0;
    std::uint32_t masks[3] = {0, 0, 0}; // red, green, blue
};

bool depthSupported(int bpp) {
    return bpp == 1 || bpp == 2 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// Writes one palette index into an 8- or 4-bit row.
void putIndex(std::uint8_t* row, std::int64_t x, int bpp, std::uint8_t index) {
    if (bpp == 8) {
        row[x] = index;
        return;
    }
    std::uint8_t& b = row[x / 2];
    if (x % 2 == 0)
        b = static_cast<std::uint8_t>((b & 0x0F) | (index & 0x0F) << 4);
    else
        b = static_cast<std::uint8_t>((b & 0xF0) | (index & 0x0F));
}

// Decodes RLE8 or RLE4 data into a zero-filled bottom-up image. Pixels that a run or delta puts
// outside the picture are dropped. Returns false when the data ends before the last row was
// reached and no end-of-bitmap mark was seen.
bool decodeRle(std::span<const std::uint8_t> data, int bpp, BmpImage& image) {
    const std::int64_t width = image.width();
    const std::int64_t height = image.height();
    std::int64_t x = 0, y = 0;
    std::size_t i = 0;
    auto put = [&](std::uint8_t index) {
        if (x < width && y < height)
            putIndex(image.row(static_cast<std::int32_t>(y)), x, bpp, index);
        ++x;
    };
    while (y < height) {
        if (i + 2 > data.size())
            return false;
        std::uint8_t count = data[i], value = data[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) {
                if (bpp == 8)
                    put(value);
                else
                    put(k % 2 == 0 ? value >> 4 : value & 0x0F);
            }
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return true;
        } else if (value == 2) { // delta: right dx, up dy
            if (i + 2 > data.size())
                return false;
            x += data[i];
            y += data[i + 1];
            i += 2;
        } else { // absolute run of `value` pixels, padded to a 16-bit boundary
            std::size_t bytes = bpp == 8 ? value : (value + 1u) / 2;
            std::size_t padded = (bytes + 1) & ~std::size_t{1};
            if (i + bytes > data.size())
                return false;
            for (int k = 0; k < value; ++k) {
                if (bpp == 8)
                    put(data[i + k]);
                else
                    put(k % 2 == 0 ? data[i + k / 2] >> 4 : data[i + k / 2] & 0x0F);
            }
            i += padded <= data.size() - i ? padded : bytes;
        }
    }
    return true;
}

} // namespace

BmpDecodeResult BmpDecoder::decode(std::span<const std::uint8_t> file, BmpImage& out) {
    return decodeImage(file, nullptr, out);
}

// `owned`, when given, holds the bytes `file` views; a plain bottom-up file then keeps its rows
// where they are instead of copying them.
BmpDecodeResult BmpDecoder::decodeImage(std::span<const std::uint8_t> file,
                                        std::unique_ptr<std::uint8_t[]>* owned, BmpImage& out) {
    out = BmpImage();
    BmpDecodeResult r;
    const std::int64_t fileSize = static_cast<std::int64_t>(file.size());
    const std::uint8_t* p = file.data();

    if (fileSize < 2 || p[0] != 'B' || p[1] != 'M')
        return fail(r, BmpStatus::NotBmp, "not a bitmap file (no \"BM\" mark)");
    if (fileSize < kFileHeaderSize + 4)
        return fail(r, BmpStatus::Truncated, "file ends inside its header");
    if (fileSize > kMaxFileBytes)
        return fail(r, BmpStatus::TooLarge, "file is too large for a logo bitmap");
    const std::int64_t bfSize = u32(p + 2);
    const std::int64_t offBits = u32(p + 10);

    Header h;
    h.size = u32(p + kFileHeaderSize);
    const bool core = h.size == kCoreHeaderSize;
    if (!core && h.size != 40 && h.size != 52 && h.size != 56 && h.size != 108 && h.size != 124)
        return fail(r, BmpStatus::UnsupportedFormat,
                    "unsupported info header size " + std::to_string(h.size));
    if (kFileHeaderSize + h.size > fileSize)
        return fail(r, BmpStatus::Truncated, "file ends inside its info header");
    const std::uint8_t* ih = p + kFileHeaderSize;
    if (core) {
        h.width = u16(ih + 4);
        h.height = u16(ih + 6);
        h.planes = u16(ih + 8);
        h.bitsPerPixel = u16(ih + 10);
    } else {
        h.width = static_cast<std::int32_t>(u32(ih + 4));
        h.height = static_cast<std::int32_t>(u32(ih + 8));
        h.planes = u16(ih + 12);
        h.bitsPerPixel = u16(ih + 14);
        h.compression = u32(ih + 16);
        h.sizeImage = u32(ih + 20);
        h.coloursUsed = u32(ih + 32);
    }
    const bool topDown = h.height < 0;
    const std::int64_t height = topDown ? -h.height : h.height;

    r.description.width = static_cast<std::int32_t>(h.width);
    r.description.height = static_cast<std::int32_t>(std::min<std::int64_t>(height, INT32_MAX));
    r.description.planes = static_cast<std::uint16_t>(h.planes);
    int outBpp = h.bitsPerPixel;
    r.description.bitsPerPixel = static_cast<std::uint16_t>(outBpp);
    if (h.width > 0)
        r.description.stride = static_cast<std::int32_t>(
            std::min<std::int64_t>(BmpImage::strideFor(h.width, outBpp), INT32_MAX));

    if (h.planes != 1)
        return fail(r, BmpStatus::BadHeader, "planes must be 1");
    if (h.width <= 0 || height == 0)
        return fail(r, BmpStatus::BadDimensions,
                    "bitmap size " + std::to_string(h.width) + " x " + std::to_string(h.height) +
                        " is not a picture");

    // Where the colour table starts, and where the masks of a 40-byte bit-field header are.
    std::int64_t tableStart = kFileHeaderSize + h.size;
    switch (h.compression) {
    case kBiRgb:
        if (!depthSupported(h.bitsPerPixel))
            return fail(r, BmpStatus::UnsupportedFormat,
                        "unsupported depth of " + std::to_string(h.bitsPerPixel) + " bits");
        break;
    case kBiRle8:
    case kBiRle4:
        if (h.bitsPerPixel != (h.compression == kBiRle8 ? 8 : 4))
            return fail(r, BmpStatus::UnsupportedFormat, "RLE compression with a wrong depth");
        if (topDown)
            return fail(r, BmpStatus::UnsupportedFormat, "RLE bitmaps cannot be top-down");
        break;
    case kBiBitfields: {
        if (h.bitsPerPixel != 16 && h.bitsPerPixel != 32)
            return fail(r, BmpStatus::UnsupportedFormat, "bit fields need 16 or 32 bits");
        const std::uint8_t* masks = ih + kInfoHeaderSize;
        if (h.size == kInfoHeaderSize) {
            if (tableStart + 12 > fileSize)
                return fail(r, BmpStatus::Truncated, "file ends inside its bit-field masks");
            tableStart += 12;
        }
        for (int c = 0; c < 3; ++c)
            h.masks[c] = u32(masks + 4 * c);
        break;
    }
    default:
        return fail(r, BmpStatus::UnsupportedFormat,
                    "unsupported compression " + std::to_string(h.compression));
    }

    const std::int64_t w8 = (h.width + 7) / 8 * 8;
    const std::int64_t h8 = (height + 7) / 8 * 8;
    if (w8 * h8 > kMaxRasterDots)
        return fail(r, BmpStatus::TooLarge,
                    "bitmap of " + std::to_string(h.width) + " x " + std::to_string(height) +
                        " exceeds the " + std::to_string(kMaxRasterDots) + "-dot work raster");

    // Colour table: as many entries as declared (at most 2^bpp), as far as the file holds them
    // before the pixel data; indices beyond them stay black.
    const std::int64_t entrySize = core ? 3 : 4;
    std::int64_t declared = 0;
    if (h.bitsPerPixel <= 8) {
        const std::int64_t full = std::int64_t{1} << h.bitsPerPixel;
        declared = h.coloursUsed == 0 || h.coloursUsed > full ? full : h.coloursUsed;
    }
    if (offBits < tableStart || offBits > fileSize)
        return fail(r, BmpStatus::BadHeader,
                    "pixel data offset " + std::to_string(offBits) + " lies outside the file");
    const std::int64_t present = std::min(declared, (offBits - tableStart) / entrySize);
    const std::int64_t tableEnd = tableStart + present * entrySize;
    if (bfSize > fileSize)
        return fail(r, BmpStatus::Truncated,
                    "file holds " + std::to_string(fileSize) + " bytes but says " +
                        std::to_string(bfSize) + " (bfSize)");
    if (bfSize < tableEnd)
        return fail(r, BmpStatus::BadHeader,
                    "bfSize " + std::to_string(bfSize) + " does not cover the headers");
    std::vector<BmpColour> colours(static_cast<std::size_t>(present));
    for (std::int64_t k = 0; k < present; ++k) {
        const std::uint8_t* e = p + tableStart + k * entrySize;
        colours[k] = BmpColour{e[0], e[1], e[2], core ? std::uint8_t{0} : e[3]};
    }

    const std::span<const std::uint8_t> data = file.subspan(static_cast<std::size_t>(offBits));
    // Uncompressed rows; the last one may omit its padding.
    const std::int64_t srcStride = BmpImage::strideFor(h.width, h.bitsPerPixel);
    const std::int64_t rowBytes = (h.width * h.bitsPerPixel + 7) / 8;
    const bool compressed = h.compression == kBiRle8 || h.compression == kBiRle4;
    if (!compressed && static_cast<std::int64_t>(data.size()) < srcStride * (height - 1) + rowBytes)
        return fail(r, BmpStatus::Truncated, "pixel data ends before the picture does");
    if (owned && h.compression == kBiRgb && !topDown &&
        static_cast<std::int64_t>(data.size()) >= srcStride * height) {
        out = BmpImage(static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(height),
                       static_cast<std::uint16_t>(outBpp), std::move(colours), std::move(*owned),
                       static_cast<std::size_t>(offBits));
        return r;
    }

    BmpImage image(static_cast<std::int32_t>(h.width), static_cast<std::int32_t>(height),
                   static_cast<std::uint16_t>(outBpp), std::move(colours));
    if (compressed) {
        std::span<const std::uint8_t> rle = data;
        if (h.sizeImage > 0 && h.sizeImage < rle.size())
            rle = rle.first(h.sizeImage);
        if (!decodeRle(rle, h.bitsPerPixel, image))
            return fail(r, BmpStatus::Truncated, "RLE pixel data ends before the picture does");
        out = std::move(image);
        return r;
    }

    const Channel red(h.masks[0]), green(h.masks[1]), blue(h.masks[2]);
    for (std::int64_t fileRow = 0; fileRow < height; ++fileRow) {
        const std::uint8_t* src = data.data() + fileRow * srcStride;
        std::uint8_t* dst =
            image.row(static_cast<std::int32_t>(topDown ? height - 1 - fileRow : fileRow));
        if (h.compression != kBiBitfields) {
            std::memcpy(dst, src, static_cast<std::size_t>(rowBytes));
        } else if (h.bitsPerPixel == 16) {
            for (std::int64_t x = 0; x < h.width; ++x) {
                std::uint32_t px = u16(src + 2 * x);
                std::uint32_t w = red.take(px, 5) << 10 | green.take(px, 5) << 5 | blue.take(px, 5);
                dst[2 * x] = static_cast<std::uint8_t>(w);
                dst[2 * x + 1] = static_cast<std::uint8_t>(w >> 8);
            }
        } else {
            for (std::int64_t x = 0; x < h.width; ++x) {
                std::uint32_t px = u32(src + 4 * x);
                dst[4 * x] = static_cast<std::uint8_t>(blue.take(px, 8));
                dst[4 * x + 1] = static_cast<std::uint8_t>(green.take(px, 8));
                dst[4 * x + 2] = static_cast<std::uint8_t>(red.take(px, 8));
                dst[4 * x + 3] = 0;
            }
        }
    }
    out = std::move(image);
    return r;
}

BmpDecodeResult BmpDecoder::decodeFile(const std::string& path, BmpImage& out) {
    out = BmpImage();
    BmpDecodeResult r;
    // Opened non-blocking, so a pipe or a terminal named like a bitmap is refused below instead
    // of waiting for a writer; a regular file is then read in blocking mode.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(r, BmpStatus::CannotOpen, "cannot open " + path + ": " + std::strerror(errno));
    FileDescriptor file(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return fail(r, BmpStatus::CannotOpen, path + " is not a regular file");
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0)
        return fail(r, BmpStatus::CannotOpen, "cannot read " + path + ": " + std::strerror(errno));
    if (st.st_size > kMaxFileBytes)
        return fail(r, BmpStatus::TooLarge, path + " is too large for a logo bitmap");
    // Not cleared first: only the bytes read are decoded.
    const std::size_t size = static_cast<std::size_t>(st.st_size);
    auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    prefaultForWrite(bytes.get(), size);
    std::size_t got = 0;
    while (got < size) {
        ssize_t n = ::read(fd, bytes.get() + got, size - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(r, BmpStatus::CannotOpen,
                        "cannot read " + path + ": " + std::strerror(errno));
        if (n == 0)
            break; // the file shrank while we read it: decode what is there
        got += static_cast<std::size_t>(n);
    }
    const std::span<const std::uint8_t> image(bytes.get(), got);
    return decodeImage(image, &bytes, out);
}

} // namespace korva
