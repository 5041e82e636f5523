#include "logo/CBitmapRaster.h"

#include "base/Prefault.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

namespace korva {

namespace {

// The luminance weights are single-precision constants; the sum is formed in double and
// truncated, so pure white comes out as 254.
constexpr double kBlue = 0.11f;
constexpr double kGreen = 0.59f;
constexpr double kRed = 0.3f;
// The same weights times 8, for 5-bit channels.
constexpr double kRed5 = 2.4f;
constexpr double kGreen5 = 4.72f;
constexpr double kBlue5 = 0.88f;

int weighted(int blue, int green, int red) {
    return static_cast<int>(kBlue * blue + kGreen * green + kRed * red);
}

int weighted(const BmpColour& c) {
    return weighted(c.blue, c.green, c.red);
}

// weighted() in integers. The three weights are single-precision values, so each is a whole
// multiple of 2^-27 (0.11f lies in [2^-4, 2^-3) and has 24 significant bits); a byte times a
// weight and the sum of three such products (below 256) need at most 35 significant bits, so
// weighted() forms every sum exactly. The same sum in units of 2^-27, shifted right by 27, is
// therefore the same truncated value, without floating point.
constexpr int kWeightShift = 27;
constexpr double kWeightUnit = 1 << kWeightShift;
constexpr std::uint64_t kBlueUnits = static_cast<std::uint64_t>(kBlue * kWeightUnit);
constexpr std::uint64_t kGreenUnits = static_cast<std::uint64_t>(kGreen * kWeightUnit);
constexpr std::uint64_t kRedUnits = static_cast<std::uint64_t>(kRed * kWeightUnit);
static_assert(kBlueUnits == kBlue * kWeightUnit && kGreenUnits == kGreen * kWeightUnit &&
              kRedUnits == kRed * kWeightUnit);
// The weights add up to just under 1, so no byte triple reaches 255.
static_assert((kBlueUnits + kGreenUnits + kRedUnits) * 255 >> kWeightShift == 254);

// bgr: blue, green, red bytes; the same value as weighted(bgr[0], bgr[1], bgr[2]).
int weightedExact(const std::uint8_t* bgr) {
    return static_cast<int>((kBlueUnits * bgr[0] + kGreenUnits * bgr[1] + kRedUnits * bgr[2]) >>
                            kWeightShift);
}

constexpr std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

} // namespace

CBitmapRaster::CBitmapRaster(const LogoOptions& options)
    // Not cleared: every conversion writes the cells it reads, and the pages of a small logo's
    // conversion are never touched at all.
    : m_options(options), m_work(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferBytes)),
      m_output(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferBytes)),
      m_scratch(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferBytes)) {}

bool CBitmapRaster::Load(const std::string& path) {
    BmpImage image;
    BmpDecodeResult result = BmpDecoder::decodeFile(path, image);
    return afterLoad(std::move(result), std::move(image));
}

bool CBitmapRaster::LoadBytes(std::span<const std::uint8_t> file) {
    BmpImage image;
    BmpDecodeResult result = BmpDecoder::decode(file, image);
    return afterLoad(std::move(result), std::move(image));
}

bool CBitmapRaster::afterLoad(BmpDecodeResult result, BmpImage image) {
    m_lastResult = std::move(result);
    m_outputLength = 0;
    m_padBytes = 0;
    if (!m_lastResult.ok()) {
        // A failed load must not leave the previous image's size behind: a record built from
        // it would announce data that never follows.
        m_image = BmpImage();
        m_W8 = m_H8 = 0;
        return false;
    }
    m_image = std::move(image);
    m_W8 = (m_image.width() + 7) / 8 * 8;
    m_H8 = (m_image.height() + 7) / 8 * 8;
    return true;
}

int CBitmapRaster::grayAt(int x, int y) const {
    if (m_image.empty() || x < 0 || y < 0 || x >= m_image.width() || y >= m_image.height())
        return 255;
    const std::uint8_t* row = m_image.row(m_image.height() - 1 - y);
    const std::vector<BmpColour>& table = m_image.colourTable();
    switch (m_image.bitsPerPixel()) {
    case 1:
        // The colour of the pixel's own index. (Taking the byte that holds eight pixels as one
        // gray value would print stripes that follow the bit pattern.)
        return weighted(table[(row[x / 8] >> (7 - x % 8)) & 1]);
    case 2:
        return weighted(table[(row[x / 4] >> (6 - 2 * (x % 4))) & 3]);
    case 4:
        return weighted(table[(row[x / 2] >> (4 - 4 * (x % 2))) & 15]);
    case 8:
        return weighted(table[row[x]]);
    case 16: {
        unsigned w = row[2 * x] | row[2 * x + 1] << 8;
        unsigned red5 = (w >> 10) & 31, green5 = (w >> 5) & 31, blue5 = w & 31;
        return static_cast<int>(kRed5 * red5 + kGreen5 * green5 + kBlue5 * blue5);
    }
    case 24:
        return weighted(row[3 * x], row[3 * x + 1], row[3 * x + 2]);
    case 32:
        return weighted(row[4 * x], row[4 * x + 1], row[4 * x + 2]);
    default:
        return 0;
    }
}

int CBitmapRaster::AdjustTone(int g, int t) {
    const double gd = g, td = t;
    const double a = t > 128 ? gd * td / 128 - (2 * td - 256) : gd * ((128 - td) / 128 + 1);
    // Clamped before the conversion, so no threshold can overflow the int.
    return static_cast<int>(std::clamp(a, 0.0, 255.0));
}

void CBitmapRaster::toneAdjust() {
    // Every gray value the bitmap can give (0..254 by the weights above) mapped through the
    // tone curve once, instead of the curve's floating point per dot; the row is walked once
    // per depth instead of being looked up per dot. The dots come out as grayAt and AdjustTone
    // give them, 255 outside the bitmap.
    const int t = m_options.threshold;
    std::array<std::uint8_t, 256> tone{};
    for (int g = 0; g < 256; ++g)
        tone[static_cast<std::size_t>(g)] = static_cast<std::uint8_t>(AdjustTone(g, t));
    auto toned = [&tone](int g) { return tone[static_cast<std::size_t>(std::clamp(g, 0, 255))]; };
    const std::vector<BmpColour>& table = m_image.colourTable();
    std::array<std::uint8_t, 256> indexed{};
    for (std::size_t k = 0; k < table.size() && k < indexed.size(); ++k)
        indexed[k] = toned(weighted(table[k]));
    const int width = m_image.width();
    const int height = m_image.height();
    const int bpp = m_image.bitsPerPixel();
    const std::uint8_t blank = toned(255);
    for (int y = 0; y < m_H8; ++y) {
        std::uint8_t* out = m_work.get() + static_cast<std::size_t>(y) * m_W8;
        if (y >= height) {
            std::memset(out, blank, static_cast<std::size_t>(m_W8));
            continue;
        }
        const std::uint8_t* row = m_image.row(height - 1 - y);
        switch (bpp) {
        case 1:
            for (int x = 0; x < width; ++x)
                out[x] = indexed[(row[x / 8] >> (7 - x % 8)) & 1];
            break;
        case 2:
            for (int x = 0; x < width; ++x)
                out[x] = indexed[(row[x / 4] >> (6 - 2 * (x % 4))) & 3];
            break;
        case 4:
            for (int x = 0; x < width; ++x)
                out[x] = indexed[(row[x / 2] >> (4 - 4 * (x % 2))) & 15];
            break;
        case 8:
            for (int x = 0; x < width; ++x)
                out[x] = indexed[row[x]];
            break;
        case 16:
            for (int x = 0; x < width; ++x) {
                unsigned w = row[2 * x] | row[2 * x + 1] << 8;
                unsigned red5 = (w >> 10) & 31, green5 = (w >> 5) & 31, blue5 = w & 31;
                out[x] = toned(static_cast<int>(kRed5 * red5 + kGreen5 * green5 + kBlue5 * blue5));
            }
            break;
        case 24: // weightedExact is 0..254: no clamp
            for (int x = 0; x < width; ++x)
                out[x] = tone[static_cast<std::size_t>(weightedExact(row + 3 * x))];
            break;
        case 32:
            for (int x = 0; x < width; ++x)
                out[x] = tone[static_cast<std::size_t>(weightedExact(row + 4 * x))];
            break;
        default:
            std::memset(out, toned(0), static_cast<std::size_t>(width));
            break;
        }
        std::memset(out + width, blank, static_cast<std::size_t>(m_W8 - width));
    }
}

namespace {

// One dot of the diffusion: quantises w[i] in place and returns its error.
template <int Levels> constexpr int quantise(std::uint8_t& dot) {
    const int c = dot;
    if constexpr (Levels == 1) {
        const int f = c >= 127 ? 1 : 0; // min(c / 127, 1) for a byte
        dot = static_cast<std::uint8_t>(1 - f);
        return c - 255 * f;
    } else {
        const int q = std::min((21 + c) / 42, 5);
        dot = static_cast<std::uint8_t>(5 - q);
        return c - q * 255 / 5;
    }
}

void add(std::uint8_t& dot, int d) {
    dot = clampByte(dot + d);
}

// What a cell's value makes of it under Levels, worked out once per value: its dot and its
// four shares. The tables also take the sums a share can push past either end (a byte plus or
// minus at most 7/16 of 255) and clamp them first, as the cell would have been clamped. The
// share to the right has a table of its own: the next dot waits on it, and a byte table is one
// load away from the value, with no address to form first.
struct Step {
    std::int8_t belowLeft, below, belowRight;
    std::uint8_t dot;
};
constexpr int kStepLow = -128, kStepHigh = 255 + 128;
constexpr std::size_t kStepCount = kStepHigh - kStepLow + 1;
struct StepTables {
    std::array<std::int8_t, kStepCount> right;
    std::array<Step, kStepCount> step;
};

template <int Levels> constexpr StepTables makeSteps() {
    StepTables t{};
    for (int v = kStepLow; v <= kStepHigh; ++v) {
        std::uint8_t dot = clampByte(v);
        const int e = quantise<Levels>(dot); // |e| <= 128, so every share fits a signed byte
        const auto i = static_cast<std::size_t>(v - kStepLow);
        t.right[i] = static_cast<std::int8_t>(e * 7 / 16);
        t.step[i] = {static_cast<std::int8_t>(e * 3 / 16), static_cast<std::int8_t>(e * 5 / 16),
                     static_cast<std::int8_t>(e * 1 / 16), dot};
    }
    return t;
}
template <int Levels> constexpr StepTables kSteps = makeSteps<Levels>();

// clampByte of a byte plus a share (-128..127), looked up instead of compared twice.
constexpr int kClampLow = -128;
constexpr std::array<std::uint8_t, 255 + 127 - kClampLow + 1> kClamped = [] {
    std::array<std::uint8_t, 255 + 127 - kClampLow + 1> t{};
    for (std::size_t i = 0; i < t.size(); ++i)
        t[i] = clampByte(static_cast<int>(i) + kClampLow);
    return t;
}();

// The first and last columns and the last row are taken apart from the rest, so the inner
// loop carries no edge tests, and the cells the next dots still change (the right neighbour,
// three cells below) are carried in registers rather than stored and loaded again. The dots
// are visited, and every cell's shares added and clamped, in the order of one plain loop.
// What one dot depends on is the step of the dot before it: one load from the value itself.
template <int Levels> void diffuseRaster(std::uint8_t* w, int width, int height) {
    // stepOf[v] and rightOf[v] for kStepLow <= v <= kStepHigh
    const Step* stepOf = kSteps<Levels>.step.data() - kStepLow;
    const std::int8_t* rightOf = kSteps<Levels>.right.data() - kStepLow;
    const std::uint8_t* clamped = kClamped.data() - kClampLow; // clamped[v] = clampByte(v)
    const std::size_t stride = static_cast<std::size_t>(width);
    for (int y = 0; y + 1 < height; ++y) {
        std::uint8_t* row = w + static_cast<std::size_t>(y) * stride;
        std::uint8_t* below = row + stride;
        if (width == 1) {
            const int e = quantise<Levels>(row[0]);
            add(below[0], e * 5 / 16);
            continue;
        }
        int e = quantise<Levels>(row[0]);
        // Indices, held at the pointer's width so no step waits on a widening. current is not
        // clamped yet: the step table does it.
        std::ptrdiff_t current = row[1] + e * 7 / 16;
        std::ptrdiff_t left = clampByte(below[0] + e * 5 / 16);   // below[x - 1]
        std::ptrdiff_t middle = clampByte(below[1] + e * 1 / 16); // below[x]
        for (std::size_t x = 1; x + 1 < stride; ++x) {
            const Step& step = stepOf[current];
            row[x] = step.dot;
            current = static_cast<std::ptrdiff_t>(row[x + 1]) + rightOf[current];
            below[x - 1] = clamped[left + step.belowLeft];
            left = clamped[middle + step.below];
            middle = clamped[static_cast<std::ptrdiff_t>(below[x + 1]) + step.belowRight];
        }
        const std::size_t x = stride - 1;
        std::uint8_t last = clampByte(static_cast<int>(current));
        e = quantise<Levels>(last);
        row[x] = last;
        below[x - 1] = clampByte(static_cast<int>(left) + e * 3 / 16);
        below[x] = clampByte(static_cast<int>(middle) + e * 5 / 16);
    }
    if (height > 0) {
        std::uint8_t* row = w + static_cast<std::size_t>(height - 1) * stride;
        for (int x = 0; x < width; ++x) {
            const int e = quantise<Levels>(row[x]);
            if (x + 1 < width)
                add(row[x + 1], e * 7 / 16);
        }
    }
}

} // namespace

// Floyd-Steinberg over the work raster. levels 1: one-bit dots (1 = black); levels 5: gray
// dots 0..5 (5 = darkest). Every share is truncated toward zero and every touched cell clamped
// to 0..255 at once.
void CBitmapRaster::diffuse(int levels) {
    if (levels == 1)
        diffuseRaster<1>(m_work.get(), m_W8, m_H8);
    else
        diffuseRaster<5>(m_work.get(), m_W8, m_H8);
}

// One-bit bitmaps: a dot is printed where the pixel's bit selects the "black" side of the
// table, judged by entry 0's blue byte alone; no threshold applies.
void CBitmapRaster::monochromeFromBits() {
    const bool entry0Dark = m_image.colourTable()[0].blue == 0;
    for (int y = 0; y < m_H8; ++y) {
        std::uint8_t* out = m_work.get() + static_cast<std::size_t>(y) * m_W8;
        const bool inRows = y < m_image.height();
        const std::uint8_t* row = inRows ? m_image.row(m_image.height() - 1 - y) : nullptr;
        for (int x = 0; x < m_W8; ++x) {
            if (!inRows || x >= m_image.width()) {
                out[x] = 0;
                continue;
            }
            const int b = (row[x / 8] >> (7 - x % 8)) & 1;
            out[x] = static_cast<std::uint8_t>((b == 0) == entry0Dark);
        }
    }
}

void CBitmapRaster::packMonochrome() {
    const std::uint8_t* w = m_work.get();
    std::uint8_t* out = m_output.get();
    const int bands = m_H8 / 8;
    // Column by column in the record, but band by band over the work raster, so its eight
    // rows are read once, in order. Eight columns at a time (W8 is a multiple of 8): each row's
    // eight dots are loaded as one word and shifted to their bit, so byte j of the word ends up
    // as column x + j's byte.
    const std::size_t stride = static_cast<std::size_t>(m_W8);
    constexpr std::uint64_t kLowBits = 0x0101010101010101;
    for (int k = 0; k < bands; ++k) {
        const std::uint8_t* rows = w + static_cast<std::size_t>(8 * k) * stride;
        for (std::size_t x = 0; x < stride; x += 8) {
            std::uint64_t bits = 0;
            for (int i = 0; i < 8; ++i) {
                std::uint64_t eight;
                std::memcpy(&eight, rows + static_cast<std::size_t>(i) * stride + x, sizeof eight);
                bits |= (eight & kLowBits) << (7 - i);
            }
            for (int j = 0; j < 8; ++j) {
                const int shift = std::endian::native == std::endian::little ? 8 * j : 56 - 8 * j;
                out[(x + static_cast<std::size_t>(j)) * static_cast<std::size_t>(bands) +
                    static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(bits >> shift);
            }
        }
    }
    m_outputLength = static_cast<std::size_t>(m_W8) * bands;
}

void CBitmapRaster::centre() {
    // The comparison is unsigned, as the printable width is a count of dots.
    const std::uint64_t limit = static_cast<std::uint32_t>(m_options.maxPrintableWidth);
    const std::uint64_t w8 = static_cast<std::uint64_t>(m_W8);
    if (w8 >= limit)
        return;
    const std::uint64_t pad = ((limit - w8) / 2 + 7) / 8 * 8;
    const std::uint64_t padBytes = pad * static_cast<std::uint64_t>(m_H8 / 8);
    // An absurd printable width must not push the image past the output buffer.
    if (padBytes + m_outputLength > kBufferBytes)
        return;
    std::memcpy(m_scratch.get(), m_output.get(), m_outputLength);
    std::memset(m_output.get(), 0, padBytes);
    std::memcpy(m_output.get() + padBytes, m_scratch.get(), m_outputLength);
    m_outputLength += padBytes;
    m_padBytes = padBytes;
    m_W8 += static_cast<int>(pad);
}

// The work raster and the output are written whole; the first conversion into these buffers
// maps their pages at once (later ones find them mapped).
void CBitmapRaster::prefaultBuffers(int dotsPerOutputByte) {
    const std::size_t dots = static_cast<std::size_t>(m_W8) * static_cast<std::size_t>(m_H8);
    prefaultForWrite(m_work.get(), dots);
    prefaultForWrite(m_output.get(), dots / static_cast<std::size_t>(dotsPerOutputByte));
}

bool CBitmapRaster::ConvertMonochrome(int centreFlag) {
    m_outputLength = 0;
    m_padBytes = 0;
    if (m_image.empty())
        return false;
    // A second conversion of the same load starts from the bitmap's own width again.
    m_W8 = (m_image.width() + 7) / 8 * 8;
    prefaultBuffers(8);
    if (m_image.bitsPerPixel() == 1) {
        monochromeFromBits();
    } else {
        toneAdjust();
        diffuse(1);
    }
    packMonochrome();
    if (centreFlag == 1)
        centre();
    return true;
}

void CBitmapRaster::packGray() {
    const std::uint8_t* w = m_work.get();
    std::uint8_t* out = m_output.get();
    const std::size_t dots = static_cast<std::size_t>(m_W8) * m_H8;
    for (std::size_t i = 0; i < dots; i += 2)
        out[i / 2] = static_cast<std::uint8_t>(w[i] << 4 | w[i + 1]);
    m_outputLength = dots / 2;
}

bool CBitmapRaster::ConvertGray() {
    m_outputLength = 0;
    m_padBytes = 0;
    if (m_image.empty())
        return false;
    m_W8 = (m_image.width() + 7) / 8 * 8;
    prefaultBuffers(2);
    toneAdjust();
    diffuse(5);
    packGray();
    return true;
}

} // namespace korva
