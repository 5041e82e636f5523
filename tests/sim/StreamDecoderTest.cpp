#include <gtest/gtest.h>

#include "sim/PrinterCore.h"
#include "sim/SimTestSupport.h"
#include "sim/StreamDecoder.h"
#include "sim/VirtualPrinter.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <filesystem>

namespace korva {
namespace {

using test::bytes;
using test::Bytes;
using test::concat;

nlohmann::json decode(const Bytes& stream, const std::string& model = "KORVA40S") {
    SimOptions o;
    o.model = model;
    return VirtualPrinter::decodeCapture(stream, o);
}

Bytes repeat(std::uint8_t value, std::size_t count) {
    return Bytes(count, value);
}

TEST(StreamDecoder, WriteSettingsExampleIsDecodedAndStored) {
    auto r = decode(bytes("1D 28 45 03 00 01 49 4E 1D 28 45 0A 00 05 FA 00 02 FF 00 00 00 00 04 "
                          "1D 28 45 04 00 02 4F 55 54"));
    EXPECT_EQ(test::commandNames(r, "file"),
              (std::vector<std::string>{"setup-enter", "setup-write", "setup-leave"}));
    const auto& write = r["commands"][1];
    EXPECT_EQ(write["offset"], 8);
    EXPECT_EQ(write["length"], 15);
    EXPECT_TRUE(write["inBracket"].get<bool>());
    ASSERT_EQ(write["records"].size(), 2u);
    EXPECT_EQ(write["records"][0]["number"], 250);
    EXPECT_EQ(write["records"][0]["value"], "512");
    EXPECT_EQ(r["settings"]["250"], "512");
    EXPECT_EQ(r["settingsByName"]["leftMargin"], "512");
    EXPECT_EQ(r["setup"]["leaves"], 1);
    EXPECT_EQ(test::accountingGaps(r, "file"), "");
}

TEST(StreamDecoder, NvDefinitionMonoAndGrayRecords) {
    Bytes mono(416);
    for (std::size_t i = 0; i < mono.size(); ++i)
        mono[i] = static_cast<std::uint8_t>(i);
    Bytes gray(1664, 0x35);
    auto r = decode(concat({bytes("1C 71 02 0D 00 04 00"), mono, bytes("0D A0 04 00"), gray,
                            bytes("1C 70 02 03 1C 70 01 31 1C 70 01 07")}));
    ASSERT_EQ(r["nvImages"].size(), 2u);
    const auto& first = r["nvImages"][0];
    EXPECT_EQ(first["number"], 1);
    EXPECT_EQ(first["widthDots"], 104);
    EXPECT_EQ(first["heightDots"], 32);
    EXPECT_EQ(first["mode"], "mono");
    EXPECT_EQ(first["size"], 416);
    EXPECT_EQ(first["data"].get<std::string>().substr(0, 8), "00010203");
    EXPECT_EQ(r["nvImages"][1]["mode"], "gray");
    EXPECT_EQ(r["nvImages"][1]["size"], 1664);
    const auto& define = r["commands"][0];
    EXPECT_EQ(define["cmd"], "nv-define");
    EXPECT_EQ(define["length"], 3 + 4 + 416 + 4 + 1664);
    EXPECT_EQ(define["status"], "ok");
    EXPECT_EQ(r["printed"][0]["image"], 2);
    EXPECT_EQ(r["printed"][0]["quality"], 3);
    EXPECT_TRUE(r["printed"][0]["found"].get<bool>());
    // The ASCII form of m is the same size; any other m prints nothing.
    ASSERT_EQ(r["printed"].size(), 2u);
    EXPECT_EQ(r["printed"][1]["quality"], 1);
    EXPECT_EQ(r["commands"][2]["quality"], 0x31);
    EXPECT_EQ(r["commands"][3]["ignored"], "bad quality");
    EXPECT_EQ(test::accountingGaps(r, "file"), "");
}

// The printer keeps no more than its NV graphics memory holds, as the model and the stored
// memory setting divide it: a definition that goes past it ends there.
TEST(StreamDecoder, NvDefinitionEndsAtTheNvGraphicsMemory) {
    const Bytes full128 = concat({bytes("40 00 00 01"), repeat(0x55, 128 * 1024)});
    const Bytes full64 = concat({bytes("40 00 80 00"), repeat(0x55, 64 * 1024)});
    const Bytes oneMore = bytes("01 00 01 00 FF FF FF FF FF FF FF FF");
    const Bytes setTo64KB = bytes("1D 28 45 03 00 01 49 4E 1D 28 45 04 00 05 02 02 00 "
                                  "1D 28 45 04 00 02 4F 55 54");
    struct Case {
        const char* model;
        Bytes stream;
        const char* status;
        std::size_t images;
    };
    const Case cases[] = {
        {"KORVA30", concat({bytes("1C 71 01"), full128}), "ok", 1},
        {"KORVA30", concat({bytes("1C 71 02"), full128, oneMore}), "too-large", 1},
        {"KORVA40S", concat({bytes("1C 71 02"), full128, oneMore}), "ok", 2},
        {"KORVA40S", concat({setTo64KB, bytes("1C 71 01"), full64}), "ok", 1},
        {"KORVA40S", concat({setTo64KB, bytes("1C 71 02"), full64, oneMore}), "too-large", 1},
    };
    for (const Case& c : cases) {
        auto r = decode(c.stream, c.model);
        nlohmann::json define;
        for (const auto& command : r["commands"])
            if (command["cmd"] == "nv-define")
                define = command;
        EXPECT_EQ(define["status"], c.status) << c.model << " " << c.stream.size();
        EXPECT_EQ(r["nvImages"].size(), c.images) << c.model << " " << c.stream.size();
    }
}

TEST(StreamDecoder, EraseAndStarFormsAndUnknownImage) {
    auto r = decode(bytes("1B 1C 71 01 0D 00 04 00")); // header only: cut short
    EXPECT_EQ(r["commands"][0]["status"], "truncated");
    EXPECT_EQ(test::accountingGaps(r, "file"), "");

    r = decode(concat({bytes("1C 71 01 01 00 01 00"), repeat(0xFF, 8),
                       bytes("1C 71 01 00 00 00 00 1B 1C 70 01 00 1C 70 09 00")}));
    EXPECT_EQ(r["nvDefinitions"], 2);
    EXPECT_TRUE(r["nvImages"].empty()); // the second definition erased the first
    EXPECT_TRUE(r["commands"][1]["erase"].get<bool>());
    ASSERT_EQ(r["printed"].size(), 2u);
    EXPECT_FALSE(r["printed"][0]["found"].get<bool>());
    EXPECT_TRUE(r["commands"][2]["star"].get<bool>());
    EXPECT_EQ(r["commands"][3]["image"], 9);
}

TEST(StreamDecoder, PrintedImagesBecomePngFiles) {
    test::TempDir out;
    SimOptions o;
    o.outDir = out.path();
    auto r = VirtualPrinter::decodeCapture(
        concat({bytes("1C 71 01 01 00 01 00"), repeat(0x81, 8), bytes("1C 70 01 03")}), o);
    std::string nv = r["nvImages"][0]["png"];
    std::string printed = r["printed"][0]["png"];
    ASSERT_FALSE(nv.empty());
    ASSERT_FALSE(printed.empty());
    // A PNG file begins with its 8-byte signature.
    EXPECT_EQ(out.read(std::filesystem::path(printed).filename()).substr(1, 3), "PNG");
    EXPECT_GT(std::filesystem::file_size(printed), std::filesystem::file_size(nv) / 2);
}

TEST(StreamDecoder, Korva10ErasePacketAndWritePackets) {
    // Program area: erase, then 256 write packets of 512 bytes of FF; the last one is 40 F1.
    Bytes stream = bytes("40 F2 20 22 00 00 00 00 00 00");
    std::uint32_t address = 0x1D0000;
    for (int i = 0; i < 256; ++i, address += 512) {
        Bytes header = {0x40,
                        static_cast<std::uint8_t>(i == 255 ? 0xF1 : 0xF0),
                        0x02,
                        0x00,
                        static_cast<std::uint8_t>(address >> 24),
                        static_cast<std::uint8_t>(address >> 16),
                        static_cast<std::uint8_t>(address >> 8),
                        static_cast<std::uint8_t>(address)};
        stream = concat({stream, header, repeat(0xFF, 512), bytes("FE 00")});
    }
    auto r = decode(stream, "KORVA10S");
    ASSERT_EQ(r["packets"].size(), 257u);
    EXPECT_EQ(r["packets"][0]["type"], "erase");
    EXPECT_EQ(r["packets"][0]["verdict"], "ok");
    EXPECT_EQ(r["packets"][1]["checksum"], 0xFE00);
    EXPECT_EQ(r["packets"][1]["verdict"], "ok");
    EXPECT_EQ(r["packets"][256]["type"], "last");
    EXPECT_EQ(r["packets"][256]["address"], 0x1EFE00);
    EXPECT_EQ(r["packets"][256]["verdict"], "ok");
    EXPECT_TRUE(r["flashAreas"][0]["complete"].get<bool>());
    EXPECT_EQ(test::accountingGaps(r, "file"), "");
}

TEST(StreamDecoder, BadPacketsAreRefused) {
    struct Case {
        const char* stream;
        const char* verdict; // of the last packet
    };
    const Case cases[] = {
        {"40 F0 00 04 00 1D 00 00 01 02 03 04 00 0A", "no-area"},
        {"40 F2 20 22 00 00 00 00 00 00 40 F0 00 04 00 1D 00 00 01 02 03 04 00 0B", "bad-checksum"},
        {"40 F2 20 22 00 00 00 00 00 00 40 F0 00 04 00 1D 00 10 01 02 03 04 00 0A", "bad-address"},
        {"40 F2 20 22 00 00 00 00 00 00 40 F1 00 04 00 1D 00 00 01 02 03 04 00 0A", "bad-header"},
        {"40 F2 20 22 00 00 00 00 00 00 40 F0 02 01 00 1D 00 00", "bad-length"},
        {"40 F2 20 22 00 00 00 00 00 01", "bad-checksum"},
        {"40 F2 10 11 00 00 00 00 00 00", "bad-area"},
    };
    for (const Case& c : cases) {
        auto r = decode(bytes(c.stream), "KORVA10S");
        ASSERT_FALSE(r["packets"].empty()) << c.stream;
        EXPECT_EQ(r["packets"].back()["verdict"], c.verdict) << c.stream;
        EXPECT_EQ(test::accountingGaps(r, "file"), "") << c.stream;
    }
    // 513 data bytes, all there and summed right, are still one more than a packet carries.
    Bytes tooLong = bytes("40 F2 20 22 00 00 00 00 00 00 40 F0 02 01 00 1D 00 00");
    tooLong.resize(tooLong.size() + 513 + 2, 0x00);
    auto r = decode(tooLong, "KORVA10S");
    ASSERT_EQ(r["packets"].size(), 2u);
    EXPECT_EQ(r["packets"][1]["verdict"], "bad-length");
    EXPECT_EQ(r["packets"][1]["reply"], "NAK");
}

Bytes areaFrame(std::uint8_t code, std::uint32_t length, bool breakChecksum) {
    Bytes frame(length, 0xFF);
    frame[0] = 0x01;
    frame[1] = 0x11;
    frame[2] = code;
    frame[3] = 0x30;
    for (int i = 0; i < 4; ++i)
        frame[4 + i] = static_cast<std::uint8_t>(length >> (8 * i));
    std::uint16_t cs = static_cast<std::uint16_t>((length - 10) * 255u);
    if (breakChecksum)
        ++cs;
    frame[8] = static_cast<std::uint8_t>(cs);
    frame[9] = static_cast<std::uint8_t>(cs >> 8);
    return frame;
}

TEST(StreamDecoder, AreaFramesAreVerified) {
    // A sound frame switches the printer off, so it comes last; what follows it is lost.
    auto r = decode(concat({areaFrame(0x44, 0x18000, true), areaFrame(0x42, 0x1000, false),
                            areaFrame(0x44, 0x18000, false), bytes("1B 40")}));
    ASSERT_EQ(r["firmwareFrames"].size(), 3u);
    EXPECT_EQ(r["firmwareFrames"][2]["verdict"], "ok");
    EXPECT_EQ(r["firmwareFrames"][2]["area"], "downloader");
    EXPECT_EQ(r["firmwareFrames"][2]["computedChecksum"], (0x18000 - 10) * 255 % 65536);
    EXPECT_EQ(r["firmwareFrames"][0]["verdict"], "bad-checksum");
    EXPECT_EQ(r["firmwareFrames"][1]["verdict"], "bad-length");
    ASSERT_EQ(r["ignored"].size(), 1u);
    EXPECT_EQ(r["ignored"][0]["reason"], "switched off");
    EXPECT_EQ(test::accountingGaps(r, "file"), "");

    // A KORVA30 takes its program area as 'R'; a 'Q' frame is the wrong area for it.
    r = decode(areaFrame(0x51, 0xD0000, false), "KORVA30S");
    EXPECT_EQ(r["firmwareFrames"][0]["verdict"], "wrong-area");
    r = decode(areaFrame(0x52, 0x98000, false), "KORVA30S");
    EXPECT_EQ(r["firmwareFrames"][0]["verdict"], "ok");
}

TEST(StreamDecoder, AreaFrameCutShortOrWithImpossibleLength) {
    Bytes frame = areaFrame(0x46, 0x100000, false);
    frame.resize(5000);
    auto r = decode(frame);
    EXPECT_EQ(r["firmwareFrames"][0]["verdict"], "truncated");
    EXPECT_EQ(r["firmwareFrames"][0]["received"], 5000);
    EXPECT_EQ(test::accountingGaps(r, "file"), "");

    r = decode(bytes("01 11 46 30 FF FF FF FF 00 00 1B 40"));
    EXPECT_EQ(r["firmwareFrames"][0]["verdict"], "bad-length");
    EXPECT_EQ(test::commandNames(r, "file"), (std::vector<std::string>{"area-frame", "init"}));
}

TEST(StreamDecoder, TestPageIsCollectedAsLines) {
    Bytes stream = concat({bytes("1B 40"), Bytes{'U', 'S', 'E', 'R', '\n'}, bytes("00")});
    for (int i = 0; i < 2; ++i)
        stream = concat({stream, bytes(i % 2 ? "1D 28 4E 02 00 30 31" : "1D 28 4E 02 00 30 32"),
                         Bytes{'0', '1', '2'}, bytes("00")});
    stream = concat({stream, bytes("0A 00")});
    Bytes high;
    for (int c = 0x80; c <= 0xFF; ++c)
        high.push_back(static_cast<std::uint8_t>(c));
    // "한글" in CP949, then the cut.
    stream = concat({stream, high, bytes("0A 00 C7 D1 B1 DB 0A 00 1B 69")});
    auto r = decode(stream);
    ASSERT_EQ(r["textLines"].size(), 4u);
    EXPECT_EQ(r["textLines"][0], "USER");
    EXPECT_EQ(r["textLines"][1], "012012");
    EXPECT_EQ(r["textLines"][2].get<std::string>().substr(0, 8), "\\x80\\x81");
    EXPECT_EQ(r["textLines"][3], "한글");
    EXPECT_EQ(r["cuts"], 1);
    EXPECT_EQ(test::accountingGaps(r, "file"), "");
}

TEST(StreamDecoder, MalformedInputIsReportedNotTrusted) {
    struct Case {
        const char* stream;
        const char* reason; // of the first undecodable run
    };
    const Case cases[] = {
        {"1D 28 45 02", "truncated command"},
        {"1D 28 45 FF FF 06 F6 1B 40", "setup length does not fit its function"},
        {"1D 28 45 00 00 1B 40", "setup command without function"},
        {"02 03 1B 40", "unknown byte"},
        {"1B 77 40", "unknown command"},
        {"1C 71 01 FF 5F FF FF 1B 40", ""}, // too large: the definition ends, ESC @ follows
    };
    for (const Case& c : cases) {
        auto r = decode(bytes(c.stream));
        EXPECT_EQ(test::accountingGaps(r, "file"), "") << c.stream;
        if (*c.reason) {
            ASSERT_FALSE(r["undecodable"].empty()) << c.stream;
            EXPECT_EQ(r["undecodable"][0]["reason"], c.reason) << c.stream;
        }
    }
    auto r = decode(bytes("1C 71 01 FF 5F FF FF 1B 40"));
    EXPECT_EQ(r["commands"][0]["status"], "too-large");
    EXPECT_EQ(r["commands"].back()["cmd"], "init");
    // The ESC @ after the lying setup command is still decoded.
    r = decode(bytes("1D 28 45 FF FF 06 F6 1B 40"));
    EXPECT_EQ(r["commands"].back()["cmd"], "init");
}

// A setup command whose length does not fit its function sets aside only its own six bytes:
// the bracket is not entered or left, and what follows is decoded as it stands.
TEST(StreamDecoder, LyingSetupLengthSetsAsideSixBytes) {
    const char* streams[] = {
        "1D 28 45 05 00 02 4F 55 54 1B 40", // leave, one byte too long
        "1D 28 45 03 00 02 4F 55 54 1B 40", // leave, one byte too short
        "1D 28 45 40 1F 02 4F 55 54 1B 40", // leave, swallowing 8 KB
        "1D 28 45 04 00 01 49 4E 1B 40",    // enter, one byte too long
        "1D 28 45 03 00 06 F6 1B 40",       // query, one byte too long
    };
    for (const char* stream : streams) {
        auto r = decode(bytes(stream));
        EXPECT_EQ(test::accountingGaps(r, "file"), "") << stream;
        ASSERT_FALSE(r["undecodable"].empty()) << stream;
        EXPECT_EQ(r["undecodable"][0]["offset"], 0) << stream;
        EXPECT_EQ(r["undecodable"][0]["length"], 6) << stream;
        EXPECT_EQ(r["setup"]["enters"], 0) << stream;
        EXPECT_EQ(r["setup"]["leaves"], 0) << stream;
        EXPECT_EQ(r["setup"]["queries"], 0) << stream;
        EXPECT_EQ(r["commands"].back()["cmd"], "init") << stream;
    }
}

TEST(StreamDecoder, ResultDoesNotDependOnHowTheStreamIsCut) {
    Bytes stream = concat({bytes("1D 49 01 1B 40 1D 28 45 02 00 06 F6 1C 71 01 01 00 01 00"),
                           repeat(0xAA, 8), bytes("40 F2 20 22 00 00 00 00 00 00 41 40 F0")});
    SimOptions o;
    PrinterCore whole(o, 6001);
    PrinterCore bytewise(o, 6001);
    StreamDecoder a(whole, "file", nullptr, false);
    StreamDecoder b(bytewise, "file", nullptr, false);
    a.feed(stream, 0);
    a.finish();
    for (std::uint8_t byte : stream)
        b.feed({&byte, 1}, 0);
    b.finish();
    nlohmann::json links = nlohmann::json::object();
    EXPECT_EQ(whole.report(links), bytewise.report(links));
    EXPECT_EQ(test::accountingGaps(whole.report(links), "file"), "");
}

// sameReport() and the accounting taken from the printer stand in for the report where many
// are compared: they must agree with it, whichever part differs, and ignore the busy times.
TEST(StreamDecoder, SameReportAgreesWithTheReport) {
    const char* streams[] = {
        "41 42 0A",
        "41 43 0A",
        "1D 28 45 03 00 01 49 4E 1D 28 45 04 00 02 4F 55 54", // enter, leave: busy until
        "1D 28 45 03 00 01 49 4E 1D 28 45 0A 00 05 FA 00 02 FF 00 00 00 00 04",
        "1D 28 45 02 00 06 F6",
        "1C 71 01 01 00 01 00 FF",
        "1C 71 01 01 00 01 00 FF 1C 70 01 00",
        "40 F2 20 22 00 00 00 00 00 00",
        "01 11 44 30 20 00 00 00",
        "1D 56 41 00",
        "1D 28 45 05 00 02 4F 55 54", // undecodable: six bytes set aside
        "1D 28 45 03 00 02 4F 55 54",
    };
    SimOptions o;
    o.leaveBusyMs = 40;
    const nlohmann::json links = nlohmann::json::object();
    for (const char* first : streams) {
        PrinterCore a(o, 6001);
        StreamDecoder(a, "file", nullptr, false).feed(bytes(first), 0);
        EXPECT_EQ(test::accountingGaps(a, "file"), test::accountingGaps(a.report(links), "file"));
        for (const char* second : streams) {
            PrinterCore b(o, 6001);
            StreamDecoder(b, "file", nullptr, false).feed(bytes(second), 500);
            EXPECT_EQ(a.sameReport(b), a.report(links) == b.report(links))
                << first << " | " << second;
            EXPECT_EQ(a.sameReport(b), first == second) << first << " | " << second;
        }
    }
}

TEST(StreamDecoder, RepliesFromThePrinterSide) {
    SimOptions o;
    o.dropReplyFor = {0xF6};
    PrinterCore core(o, 6001);
    std::vector<Bytes> replies;
    StreamDecoder d(
        core, "serial", [&](Bytes reply, int) { replies.push_back(std::move(reply)); }, false);
    d.feed(bytes("1D 49 01 1D 28 45 02 00 06 F2 1D 28 45 02 00 06 F6 1D 28 45 02 00 06 CC "
                 "1D 28 45 02 00 06 FC"),
           0);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0], Bytes{0x40});
    EXPECT_EQ(replies[1], bytes("37 27 32 34 32 1F 30 00"));
    EXPECT_EQ(replies[2], bytes("37 27 32 35 32 1F 30 34 00"));
    auto r = core.report(nlohmann::json::object());
    EXPECT_EQ(r["commands"][2]["why"], "dropped");
    EXPECT_EQ(r["commands"][3]["why"], "write-only");
    EXPECT_EQ(r["setup"]["answered"], 2);
}

TEST(StreamDecoder, BytesArrivingDuringTheNvEraseAreLostAndTheIdReplyCanBeDropped) {
    SimOptions o;
    o.nvEraseMs = 3000;
    o.dropIdReply = true;
    const Bytes record = concat({bytes("01 00 01 00"), repeat(0xAA, 8)});
    struct Case {
        std::int64_t recordAtMs;
        bool stored;
    } cases[] = {{3000, true}, {2999, false}, {100, false}};
    for (const Case& k : cases) {
        PrinterCore core(o, 6001);
        std::vector<Bytes> replies;
        StreamDecoder d(
            core, "serial", [&](Bytes reply, int) { replies.push_back(std::move(reply)); }, true);
        d.feed(bytes("1D 49 01 1C 71 01"), 1000);
        d.feed(record, 1000 + k.recordAtMs);
        d.feed(bytes("1D 49 02"), 10000);
        d.finish();
        auto r = core.report(nlohmann::json::object());
        EXPECT_EQ(r["nvImages"].size(), k.stored ? 1u : 0u) << k.recordAtMs;
        EXPECT_EQ(r["commands"][0]["dropped"], true);
        EXPECT_EQ(replies, std::vector<Bytes>{Bytes{0x02}}) << k.recordAtMs; // only GS I 2
        EXPECT_EQ(test::accountingGaps(r, "serial"), "");
        bool lost = false;
        for (const auto& g : r["ignored"])
            lost |= g["reason"] == "nv-erase" && g["length"] == record.size();
        EXPECT_EQ(lost, !k.stored) << k.recordAtMs;
    }
    // The same batch as the command is already in the printer: the 7-byte erase stays whole.
    PrinterCore core(o, 6001);
    StreamDecoder d(core, "serial", nullptr, true);
    d.feed(bytes("1C 71 01 00 00 00 00"), 0);
    d.finish();
    auto r = core.report(nlohmann::json::object());
    EXPECT_EQ(r["commands"][0]["status"], "ok");
    EXPECT_EQ(r["commands"][0]["erase"], true);
}

TEST(StreamDecoder, Korva10EraseKeepsThePrinterBusyAndAnAckCanBeDropped) {
    // Program area: sectors 20..22, three of them; the ACK is due when all three are erased.
    const Bytes erase = bytes("40 F2 20 22 00 00 00 00 00 00");
    const Bytes write =
        concat({bytes("40 F0 02 00 00 1D 00 00"), repeat(0xFF, 512), bytes("FE 00")});
    struct Case {
        std::int64_t writeAtMs; // after the erase packet
        int dropAckAt;
        bool written;
        std::vector<std::pair<std::string, int>> replies; // hex, delay
    } cases[] = {
        {300, 0, true, {{"10 06", 300}, {"10 06", 0}}},
        {299, 0, false, {{"10 06", 300}}},
        {300, 1, true, {{"10 06", 0}}}, // the erase's ACK is lost, the erase is not
        {300, 2, true, {{"10 06", 300}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.writeAtMs) + " drop " + std::to_string(k.dropAckAt));
        SimOptions o;
        o.model = "KORVA10S";
        o.sectorEraseMs = 100;
        o.dropAckAt = k.dropAckAt;
        PrinterCore core(o, 6001);
        std::vector<std::pair<std::string, int>> replies;
        StreamDecoder d(
            core, "serial",
            [&](Bytes reply, int delayMs) { replies.emplace_back(test::hex(reply), delayMs); },
            true);
        d.feed(erase, 1000);
        d.feed(write, 1000 + k.writeAtMs);
        d.finish();
        auto r = core.report(nlohmann::json::object());
        EXPECT_EQ(replies, k.replies);
        EXPECT_EQ(r["packets"][0]["eraseMs"], 300);
        EXPECT_EQ(r["packets"][0]["reply"], k.dropAckAt == 1 ? "dropped" : "ACK");
        EXPECT_EQ(r["packets"].size(), k.written ? 2u : 1u);
        if (k.written)
            EXPECT_EQ(r["packets"][1]["reply"], k.dropAckAt == 2 ? "dropped" : "ACK");
        else
            EXPECT_EQ(r["ignored"][0]["reason"], "sector-erase");
        EXPECT_EQ(r["flashAreas"][0]["next"], k.written ? 0x1D0200 : 0x1D0000);
        EXPECT_EQ(test::accountingGaps(r, "serial"), "");
    }
}

} // namespace
} // namespace korva
