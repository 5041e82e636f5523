// libFuzzer target: any bytes as what a link brings the virtual printer, through its stream
// decoder. Built once per decoder: the input follows that decoder's fixed leading bytes, so
// every run reaches it. The first byte picks the model and how the stream is cut into reads.
// However it is cut, the report and the replies are the same, and every received byte is in
// exactly one report entry; with busy times honoured the bytes are still all accounted for.
#include "FuzzCheck.h"
#include "sim/PrinterCore.h"
#include "sim/SimTestSupport.h"
#include "sim/StreamDecoder.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#ifndef KORVA_SIM_FUZZ_KIND
#error "KORVA_SIM_FUZZ_KIND selects the decoder"
#endif

namespace {

using namespace korva;
using Bytes = std::vector<std::uint8_t>;

// Setting brackets, NV definitions, print commands, area frames, KORVA10 packets.
const Bytes kLead[] = {{0x1D, 0x28, 0x45}, {0x1C, 0x71}, {}, {0x01, 0x11}, {0x40}};
const char* const kModels[] = {"KORVA40S", "KORVA30S", "KORVA10S", "KORVA20S"};

SimOptions optionsFor(const char* model) {
    SimOptions options;
    options.model = model;
    options.leaveBusyMs = 40;
    options.nvEraseMs = 40;
    return options;
}

// Feeds the stream to core in reads of piece bytes; returns the replies.
std::vector<Bytes> decode(PrinterCore& core, const Bytes& stream, std::size_t piece, bool busy) {
    std::vector<Bytes> replies;
    StreamDecoder decoder(
        core, "file",
        [&](Bytes reply, int delayMs) {
            // When it goes out counts too.
            reply.push_back(static_cast<std::uint8_t>(delayMs));
            reply.push_back(static_cast<std::uint8_t>(delayMs >> 8));
            replies.push_back(std::move(reply));
        },
        busy);
    std::int64_t now = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        decoder.feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at)), now);
        now += 10; // a read every 10 ms: busy times end part way
    }
    decoder.finish();
    return replies;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    const std::uint8_t knob = data[0];
    const char* model = kModels[knob % std::size(kModels)];
    const std::size_t piece = 1 + (knob >> 2) % 61;
    Bytes stream = kLead[KORVA_SIM_FUZZ_KIND];
    stream.insert(stream.end(), data + 1, data + size);

    // The reports are compared and checked without being built: building one costs many times
    // what decoding the stream does. The printers are not shared, so no lock is taken.
    const SimOptions options = optionsFor(model);
    PrinterCore whole(options, 6001);
    const std::vector<Bytes> wholeReplies = decode(whole, stream, stream.size() + 1, false);
    KORVA_FUZZ_CHECK(test::accountingGaps(whole, "file").empty());
    PrinterCore cut(options, 6001);
    KORVA_FUZZ_CHECK(decode(cut, stream, piece, false) == wholeReplies);
    KORVA_FUZZ_CHECK(cut.sameReport(whole));
    PrinterCore busy(options, 6001);
    decode(busy, stream, piece, true);
    KORVA_FUZZ_CHECK(test::accountingGaps(busy, "file").empty());
    return 0;
}
