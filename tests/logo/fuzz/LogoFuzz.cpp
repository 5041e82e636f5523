// libFuzzer target: any bytes as a bitmap file, through the decoder, both conversions, the
// record builder and the dot picture. The last byte also picks the options, so thresholds and
// printable widths vary too.
#include "logo/CBitmapRaster.h"
#include "logo/DotPicture.h"
#include "logo/NvImageRecord.h"
#include "logo/NvSize.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korva;
    static LogoOptions options;
    static CBitmapRaster raster(options); // the buffers are reused, as in an upload
    const std::uint8_t knob = size > 0 ? data[size - 1] : 0;
    options.threshold = knob;
    options.maxPrintableWidth = (knob & 1) ? 512 : 8 * (knob % 64) - 1;

    if (!raster.LoadBytes(std::span<const std::uint8_t>(data, size))) {
        (void)MeasureNvSize(raster.lastResult().description, knob & 2);
        return 0;
    }
    (void)MeasureNvSize(raster.description(), knob & 2);
    // Both conversions take time by the dot: a bitmap over 128 x 128 dots (which a few bytes of
    // run-length data can declare) goes through them for one input in 16, chosen by the input's
    // hash so that a run replays alike, leaving the decoder's rate to the rest.
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    if (static_cast<std::int64_t>(raster.W8()) * raster.H8() > 128 * 128 &&
        std::hash<std::string_view>{}(input) % 16 != 0)
        return 0;
    std::vector<std::uint8_t> record;
    DotPicture picture;
    const std::span<const std::uint8_t> out(raster.output(), CBitmapRaster::kBufferBytes);
    if (raster.ConvertMonochrome(knob & 4 ? 1 : 0) && NvImageRecord::build(raster, false, record))
        (void)picture.fromMonochrome(out.first(raster.outputLength()), raster.W8(), raster.H8());
    if (raster.ConvertGray() && NvImageRecord::build(raster, true, record))
        (void)picture.fromGray(out.first(raster.outputLength()), raster.W8(), raster.H8());
    return 0;
}
