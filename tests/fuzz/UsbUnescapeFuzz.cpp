// libFuzzer target: any bytes as USB reads, through the reply unescaping. The first byte says
// where the reads are cut; however they are cut the output is the same, and the printer's
// escaping of any output reads back as that output.
#include "FuzzCheck.h"
#include "comm/UsbReplyUnescaper.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> unescape(const std::uint8_t* in, std::size_t size, std::size_t piece) {
    korva::UsbReplyUnescaper u;
    std::vector<std::uint8_t> out(size);
    std::size_t produced = 0;
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t n = std::min(piece, size - at);
        produced += u.feed(in + at, n, out.data() + produced);
        KORVA_FUZZ_CHECK(produced <= at + n);
    }
    out.resize(produced);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::size_t piece = 1 + data[0] % 37;
    ++data;
    --size;
    const std::vector<std::uint8_t> whole = unescape(data, size, size + 1);
    KORVA_FUZZ_CHECK(unescape(data, size, piece) == whole);

    std::vector<std::uint8_t> escaped;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0x00 || data[i] == korva::UsbReplyUnescaper::kEscape)
            escaped.push_back(korva::UsbReplyUnescaper::kEscape);
        escaped.push_back(data[i] == 0x00 ? 0x30 : data[i]);
    }
    KORVA_FUZZ_CHECK(unescape(escaped.data(), escaped.size(), piece) ==
                     std::vector<std::uint8_t>(data, data + size));
    return 0;
}
