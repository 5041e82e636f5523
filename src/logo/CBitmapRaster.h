#pragma once
// The converter from a loaded bitmap to the dots the printer stores as one NV image.
//
// Calling order for one image: Load (or LoadBytes), then ConvertMonochrome or ConvertGray, then
// W8(), H8(), output() and outputLength(). One instance serves a whole upload: its three
// 1 MiB buffers (work raster, output, scratch) are allocated by the constructor and reused for
// every image; conversion allocates nothing else. The options are read at each conversion.
//
// Layouts written to the output buffer:
// - monochrome: W8 columns left to right, each H8/8 bytes top to bottom, the most significant
//   bit the topmost dot, 1 = printed dot; W8 x H8 / 8 bytes (plus the centring pad);
// - gray: H8 rows top to bottom, W8/2 bytes each, the left dot in the high nibble, dot values
//   0 (white) .. 5 (darkest); W8 x H8 / 2 bytes.
//
// Not thread-safe: one thread uses an instance at a time.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "logo/BmpDecoder.h"
#include "logo/BmpImage.h"
#include "logo/LogoOptions.h"

namespace korva {

class CBitmapRaster {
public:
    static constexpr std::size_t kBufferBytes = 1048576;

    explicit CBitmapRaster(const LogoOptions& options);
    CBitmapRaster(const CBitmapRaster&) = delete;
    CBitmapRaster& operator=(const CBitmapRaster&) = delete;

    // Loads one BMP file and sets W8 and H8. The output length becomes 0. On failure no bitmap
    // stays loaded (W8 = H8 = 0, so a record built now is an empty 0 x 0 image) and
    // lastResult() says why.
    bool Load(const std::string& path);
    // The same from a file image in memory.
    bool LoadBytes(std::span<const std::uint8_t> file);

    // Monochrome dots with error diffusion (1-bit bitmaps: straight from the bits), then, when
    // centreFlag is 1 and W8 < maxPrintableWidth, blank columns on the left so the image sits
    // in the middle of the printable width. False when no bitmap is loaded.
    bool ConvertMonochrome(int centreFlag);
    // Six-level gray dots with error diffusion; never centred. False when no bitmap is loaded.
    bool ConvertGray();

    bool loaded() const { return !m_image.empty(); }
    const BmpDecodeResult& lastResult() const { return m_lastResult; }
    const BitmapDescription& description() const { return m_image.description(); }
    // Width in dots, rounded up to 8, including the centring pad after ConvertMonochrome.
    int W8() const { return m_W8; }
    // Height in dots, rounded up to 8.
    int H8() const { return m_H8; }
    const std::uint8_t* output() const { return m_output.get(); }
    std::size_t outputLength() const { return m_outputLength; }
    // Bytes the last ConvertMonochrome added for centring (pad dots x H8/8); the upload adds
    // them to its running total.
    std::size_t centringPadBytes() const { return m_padBytes; }

    // The gray value 0..255 of pixel (x, y), y = 0 the top row: 255 outside the bitmap or
    // when nothing is loaded.
    int grayAt(int x, int y) const;

    // The tone adjustment of a gray value g (0..255) by the threshold t: above 128,
    // g * t / 128 - (2t - 256); otherwise g * ((128 - t) / 128 + 1); in floating point,
    // truncated toward zero and clamped to 0..255. t = 128 leaves g unchanged.
    static int AdjustTone(int g, int t);

private:
    bool afterLoad(BmpDecodeResult result, BmpImage image);
    void prefaultBuffers(int dotsPerOutputByte);
    void toneAdjust();
    void diffuse(int levels);
    void monochromeFromBits();
    void packMonochrome();
    void centre();
    void packGray();

    const LogoOptions& m_options;
    std::unique_ptr<std::uint8_t[]> m_work;
    std::unique_ptr<std::uint8_t[]> m_output;
    std::unique_ptr<std::uint8_t[]> m_scratch;
    BmpImage m_image;
    BmpDecodeResult m_lastResult;
    int m_W8 = 0;
    int m_H8 = 0;
    std::size_t m_outputLength = 0;
    std::size_t m_padBytes = 0;
};

} // namespace korva
