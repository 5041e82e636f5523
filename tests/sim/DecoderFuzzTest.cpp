// Random streams into the decoder: it must never crash, read out of bounds (run it under
// AddressSanitizer) or lose a byte.
#include <gtest/gtest.h>

#include <random>

#include "sim/PrinterCore.h"
#include "sim/SimTestSupport.h"
#include "sim/StreamDecoder.h"
#include "support/Bytes.h"

namespace korva {
namespace {

// Pieces of real commands, so the random streams reach deep into every decoder state.
const std::vector<test::Bytes>& fragments() {
    static const std::vector<test::Bytes> f = {
        test::bytes("1D 28 45 03 00 01 49 4E"),
        test::bytes("1D 28 45 0A 00 05 FA 00 02"),
        test::bytes("1D 28 45 02 00 06"),
        test::bytes("1D 28 45 04 00 02 4F 55 54"),
        test::bytes("1C 71 02 01 00 01 00"),
        test::bytes("1B 1C 71 01 0D A0"),
        test::bytes("1C 70 01 00"),
        test::bytes("40 F2 20 22 00 00 00 00 00 00"),
        test::bytes("40 F0 02 00 00 1D 00 00"),
        test::bytes("40 F1 00 10 00 1D 00 00"),
        test::bytes("01 11 44 30 20 00 00 00"),
        test::bytes("01 11 42 30 FF FF FF 7F 00 00"),
        test::bytes("1D 49 01"),
        test::bytes("1D 28 4E 02 00 30"),
        test::bytes("1B 40"),
        test::bytes("0A 00"),
        test::bytes("1D 56 41"),
        test::bytes("FF 00 00 00 00 04"),
    };
    return f;
}

TEST(DecoderFuzz, RandomStreamsAreFullyAccountedFor) {
    std::mt19937 random(20261208);
    SimOptions options;
    options.nakEveryK = 3;
    for (int round = 0; round < 300; ++round) {
        test::Bytes stream;
        std::size_t target = 1 + random() % 3000;
        while (stream.size() < target) {
            if (random() % 3 == 0) {
                const test::Bytes& f = fragments()[random() % fragments().size()];
                stream.insert(stream.end(), f.begin(), f.end());
            } else {
                std::size_t run = 1 + random() % 40;
                for (std::size_t i = 0; i < run; ++i)
                    stream.push_back(static_cast<std::uint8_t>(random()));
            }
        }
        PrinterCore core(options, 6001);
        std::size_t replyBytes = 0;
        StreamDecoder decoder(
            core, "file", [&](test::Bytes reply, int) { replyBytes += reply.size(); },
            round % 2 == 0);
        // Cut at random places, as a link would.
        std::size_t at = 0;
        std::int64_t now = 0;
        while (at < stream.size()) {
            std::size_t piece = std::min<std::size_t>(stream.size() - at, 1 + random() % 700);
            decoder.feed({stream.data() + at, piece}, now);
            now += static_cast<std::int64_t>(random() % 2000);
            at += piece;
        }
        decoder.finish();
        auto report = core.report(nlohmann::json::object());
        ASSERT_EQ(test::accountingGaps(report, "file"), "")
            << "round " << round << ": " << test::hex(stream);
        ASSERT_EQ(report["received"]["file"], stream.size());
        // The report must serialise, whatever bytes came in.
        ASSERT_FALSE(report.dump(-1, ' ', false, nlohmann::json::error_handler_t::strict).empty());
    }
}

} // namespace
} // namespace korva
