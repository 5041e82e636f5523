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

struct Outcome {
    nlohmann::json report;
    std::vector<Bytes> replies;
};

Outcome decode(const Bytes& stream, const char* model, std::size_t piece, bool busy) {
    SimOptions options;
    options.model = model;
    options.leaveBusyMs = 40;
    options.nvEraseMs = 40;
    PrinterCore core(options, 6001);
    Outcome out;
    StreamDecoder decoder(
        core, "file",
        [&](Bytes reply, int delayMs) {
            // When it goes out counts too.
            reply.push_back(static_cast<std::uint8_t>(delayMs));
            reply.push_back(static_cast<std::uint8_t>(delayMs >> 8));
            out.replies.push_back(std::move(reply));
        },
        busy);
    std::int64_t now = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        decoder.feed(std::span(stream).subspan(at, std::min(piece, stream.size() - at)), now);
        now += 10; // a read every 10 ms: busy times end part way
    }
    decoder.finish();
    out.report = core.report(nlohmann::json::object());
    return out;
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

    const Outcome whole = decode(stream, model, stream.size() + 1, false);
    KORVA_FUZZ_CHECK(test::accountingGaps(whole.report, "file").empty());
    const Outcome cut = decode(stream, model, piece, false);
    KORVA_FUZZ_CHECK(cut.report == whole.report);
    KORVA_FUZZ_CHECK(cut.replies == whole.replies);
    const Outcome busy = decode(stream, model, piece, true);
    KORVA_FUZZ_CHECK(test::accountingGaps(busy.report, "file").empty());
    return 0;
}
