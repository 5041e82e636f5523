#include "setup/SettingReplyParser.h"
#include "setup/PrinterSettings.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>
#include <random>

using namespace korva;
using korva::test::Bytes;
using korva::test::bytes;

namespace {

Bytes reply(int number, const std::string& text) {
    Bytes b = {0x37, 0x27};
    for (char c : std::to_string(number))
        b.push_back(static_cast<std::uint8_t>(c));
    b.push_back(0x1F);
    b.insert(b.end(), text.begin(), text.end());
    b.push_back(0);
    return b;
}

std::vector<SettingReply> feedAll(SettingReplyParser& p, const Bytes& stream) {
    std::vector<SettingReply> out;
    for (std::uint8_t b : stream)
        if (auto r = p.feed(b))
            out.push_back(*r);
    return out;
}

std::optional<SettingReply> one(int number, const std::string& text) {
    SettingReplyParser p;
    auto events = feedAll(p, reply(number, text));
    if (events.empty())
        return std::nullopt;
    EXPECT_EQ(events.size(), 1u);
    return events[0];
}

} // namespace

TEST(SettingReplyParser, SpecExamples) {
    SettingReplyParser p;
    auto e = feedAll(p, bytes("37 27 32 34 32 1F 31 31 32 00"));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].number, 0xF2);
    EXPECT_EQ(e[0].value, 2);
    EXPECT_EQ(e[0].text, "12");
    PrinterSettings s;
    s.applyReply(e[0]);
    EXPECT_EQ(s.waterMark, pos::Enable);
    EXPECT_EQ(s.waterMarkImage, 12);

    e = feedAll(p, bytes("37 27 31 1F 37 00"));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].number, 1);
    EXPECT_EQ(e[0].value, 0);
}

// The decoding table, one row per case: number, text, expected value (or no event), text.
TEST(SettingReplyParser, DecodingTable) {
    struct Row {
        int number;
        const char* text;
        std::optional<long long> value;
        const char* handedOver = "";
    } rows[] = {
        {0x01, "2", 1},
        {0x01, "5", 4},
        {0x01, "6", 0},
        {0x01, "", 0},
        {0x02, "1", 0},
        {0x02, "6", 5},
        {0x02, "7", 6},
        {0x02, "0", 6},
        {0x03, "6", 1},
        {0x03, "2", 2},
        {0x03, "3", 3},
        {0x03, "5", {}},
        {0x74, "1", 1},
        {0x74, "257", 2},
        {0x74, "2", {}},
        {0x74, "10", {}},
        {0x76, "70", 70, "70"},
        {0x76, "", 0, ""},
        {0x76, "100", 100, "100"},
        {0xF2, "0", 1},
        {0xF2, "1255", 2, "255"},
        {0xF2, "x", {}},
        {0xF3, "13", 2, "3"},
        {0xF3, "0", 1},
        {0xF3, "", {}},
        {0xF4, "1", 2},
        {0xF4, "0", 1},
        {0xF4, "2", {}},
        {0xF7, "1", 2},
        {0xF7, "9", {}},
        {0xF8, "0", 1},
        {0xF8, "", {}},
        {0xFB, "1", 2},
        {0xFB, "0", 1},
        {0xFB, "7", 1},
        {0xFD, "0", 1},
        {0xFD, "1", 2},
        {0xFD, "2", {}},
        {0xF5, "35", '3', "5"},
        {0xF5, "9", '9', ""},
        {0xF5, "", 0, ""},
        {0xF6, "254", 254, "254"},
        {0xF9, "150", 150, "150"},
        {0xFA, "512", 512, "512"},
        {0xFA, "0", 0, "0"},
        {0xFA, "513", {}},
        {0xFA, "0512", {}},
        {0xFA, "12x", {}},
        {0xFA, "", {}},
        {0xFC, "64", 64},
        {0xFC, "04", 4},
        {0xFC, "4", 4},
        {0xFC, "20", 20},
        {0xFC, "16", {}},
        {0xFF, "6699", 6699},
        {0xFF, "4294967295", 4294967295LL},
        {0xFF, "4294967296", {}},
        {0xFF, "12a", {}},
        {0xFF, "", {}},
        {0x05, "1", {}},
        {0xCC, "1", {}},
    };
    for (const Row& r : rows) {
        auto event = one(r.number, r.text);
        SCOPED_TRACE(testing::Message() << std::hex << r.number << " \"" << r.text << "\"");
        ASSERT_EQ(event.has_value(), r.value.has_value());
        if (!event)
            continue;
        EXPECT_EQ(event->number, r.number);
        EXPECT_EQ(event->value, *r.value);
        EXPECT_EQ(event->text, r.handedOver);
    }
}

TEST(SettingReplyParser, NumberIsTakenModulo256AndOnlyThreeDigitsCount) {
    // 502 mod 256 = 246 = 0xF6; "5024" counts the fourth digit but ignores it.
    auto e = one(5024, "16");
    ASSERT_TRUE(e);
    EXPECT_EQ(e->number, 0xF6);
    EXPECT_EQ(e->value, 16);
}

TEST(SettingReplyParser, HandoverTextIsCutTo15Characters) {
    auto e = one(0xF6, std::string(40, '1'));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->text.size(), SettingReply::kTextSlot);
    EXPECT_EQ(e->value, 111111111111111LL);
}

TEST(SettingReplyParser, OverlongDataDropsTheReplyAndNothingOverflows) {
    SettingReplyParser p;
    auto e = feedAll(p, reply(0xF6, std::string(100, '1')));
    ASSERT_EQ(e.size(), 1u) << "exactly 100 bytes still fit";
    e = feedAll(p, reply(0xF6, std::string(101, '1')));
    EXPECT_TRUE(e.empty());
    e = feedAll(p, reply(0xF6, std::string(5000, '2')));
    EXPECT_TRUE(e.empty());
    e = feedAll(p, reply(0xF6, "7"));
    ASSERT_EQ(e.size(), 1u) << "the parser recovers after the dropped reply";
    EXPECT_EQ(e[0].value, 7);
}

TEST(SettingReplyParser, GarbageAndStatusBlocksBeforeARepyAreDropped) {
    SettingReplyParser p;
    Bytes stream = bytes("10 00 00 0F 55 AA 00 FF");
    Bytes r = reply(0xF6, "16");
    stream.insert(stream.end(), r.begin(), r.end());
    // Between 0x37 and 0x27 too.
    stream.insert(stream.end(), {0x37, 0x01, 0x02});
    Bytes r2 = reply(0x03, "2");
    stream.insert(stream.end(), r2.begin() + 1, r2.end());
    auto e = feedAll(p, stream);
    ASSERT_EQ(e.size(), 2u);
    EXPECT_EQ(e[0].number, 0xF6);
    EXPECT_EQ(e[1].number, 0x03);
    EXPECT_EQ(e[1].value, 2);
}

TEST(SettingReplyParser, UnterminatedReplySwallowsTheNextOne) {
    SettingReplyParser p;
    Bytes stream = {0x37, 0x27, '2', '4', '6', 0x1F, '1', '2'}; // 0xF6, never terminated
    Bytes next = reply(0xF9, "150");
    stream.insert(stream.end(), next.begin(), next.end());
    auto e = feedAll(p, stream);
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].number, 0xF6);
    // The next reply's header 0x37 is the digit '7': the merged text reads "127'249...".
    EXPECT_EQ(e[0].value, 127);
    EXPECT_EQ(e[0].text.substr(0, 3), "127");
}

TEST(SettingReplyParser, ResetForgetsAPartialReply) {
    SettingReplyParser p;
    feedAll(p, {0x37, 0x27, '2', '5', '0', 0x1F, '1'});
    p.reset();
    auto e = feedAll(p, reply(0xF9, "180"));
    ASSERT_EQ(e.size(), 1u);
    EXPECT_EQ(e[0].number, 0xF9);
}

// Random streams never crash the parser, and valid replies that follow a 0x00 always decode.
TEST(SettingReplyParser, RandomStreamsAreHarmless) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        SettingReplyParser p;
        Bytes noise(rng() % 300);
        for (auto& b : noise)
            b = static_cast<std::uint8_t>(rng());
        feedAll(p, noise);
        feedAll(p, {0x00}); // whatever was open ends here
        p.reset();
        auto e = feedAll(p, reply(0xF9, "200"));
        ASSERT_EQ(e.size(), 1u);
        EXPECT_EQ(e[0].value, 200);
    }
}

TEST(PrinterSettingsReplies, ApplyReplyColumn) {
    PrinterSettings s;
    auto apply = [&](int n, const std::string& text) {
        auto e = one(n, text);
        ASSERT_TRUE(e) << n << " " << text;
        s.applyReply(*e);
    };
    apply(0x03, "2");
    EXPECT_EQ(s.paperWidth, pos::Width58Col30);
    apply(0x03, "6");
    EXPECT_EQ(s.paperWidth, pos::Width80);
    apply(0x74, "257");
    EXPECT_EQ(s.paperType, pos::TwoColor);
    apply(0x76, "");
    EXPECT_EQ(s.colorDensity, pos::Medium);
    apply(0x76, "100");
    EXPECT_EQ(s.colorDensity, pos::Dark);
    apply(0xF3, "15");
    EXPECT_EQ(s.cutPosition, pos::On);
    EXPECT_EQ(s.cutLines, 5);
    apply(0xF5, "24");
    EXPECT_EQ(s.bellType, 1);
    EXPECT_EQ(s.bellTimes, 3);
    apply(0xF5, "07");
    EXPECT_EQ(s.bellType, pos::OtherBell);
    EXPECT_EQ(s.bellTimes, 3) << "a times character outside 1..5 keeps the times";
    apply(0xF5, "24");
    apply(0xF5, "");
    EXPECT_EQ(s.bellType, pos::OtherBell);
    EXPECT_EQ(s.bellTimes, 3);
    apply(0xF6, "16");
    EXPECT_EQ(s.codePage, 16);
    apply(0xF6, "6");
    EXPECT_FALSE(s.codePage.has_value()) << "an unknown page selects none";
    apply(0xF8, "1");
    EXPECT_EQ(s.boldKorean, pos::Off);
    apply(0xF9, "123");
    EXPECT_EQ(s.printSpeed, 220);
    apply(0xFB, "x");
    EXPECT_EQ(s.drawerSelfTest, pos::SelfTestEnable);
    apply(0xFC, "04");
    EXPECT_EQ(s.receiveBuffer, 3);
    apply(0xFD, "1");
    EXPECT_EQ(s.stopBit, pos::StopTwo);
    apply(0xFF, "6699");
    EXPECT_EQ(s.setupCode, "1A2B");
    apply(0x02, "9");
    EXPECT_EQ(s.nvGraphicMemory, 6);
}

// What is written is what comes back: the printer echoes each record's meaning, and decoding
// the reply text the simulator sends for it restores the same field.
TEST(PrinterSettingsReplies, ReplyTextsOfEveryQueriedSettingRestoreTheFields) {
    PrinterSettings s;
    struct Row {
        int n;
        const char* text;
    } rows[] = {{0x03, "3"},   {0x74, "1"},  {0x76, "70"}, {0xF2, "1200"}, {0xF3, "0"},
                {0xF4, "1"},   {0xF5, "45"}, {0xF6, "99"}, {0xF7, "0"},    {0xF8, "0"},
                {0xF9, "200"}, {0xFA, "44"}, {0xFB, "0"},  {0xFC, "32"},   {0xFD, "0"},
                {0x01, "3"},   {0x02, "4"},  {0xFF, "0"}};
    for (const Row& r : rows) {
        auto e = one(r.n, r.text);
        ASSERT_TRUE(e) << r.n;
        EXPECT_TRUE(s.applyReply(*e));
    }
    EXPECT_EQ(s.paperWidth, pos::Width58Col32);
    EXPECT_EQ(s.paperType, pos::Black);
    EXPECT_EQ(s.colorDensity, pos::Light);
    EXPECT_EQ(s.waterMark, pos::Enable);
    EXPECT_EQ(s.waterMarkImage, 200);
    EXPECT_EQ(s.cutPosition, pos::Off);
    EXPECT_EQ(s.drawerWithCut, pos::Enable);
    EXPECT_EQ(s.bellType, 3);
    EXPECT_EQ(s.bellTimes, 4);
    EXPECT_EQ(s.codePage, 99);
    EXPECT_EQ(s.cuttingMode, pos::Partial);
    EXPECT_EQ(s.boldKorean, pos::On);
    EXPECT_EQ(s.printSpeed, 200);
    EXPECT_EQ(s.leftMargin, 44);
    EXPECT_EQ(s.drawerSelfTest, pos::SelfTestEnable);
    EXPECT_EQ(s.receiveBuffer, 1);
    EXPECT_EQ(s.stopBit, pos::StopOne);
    EXPECT_EQ(s.nvUserMemory, 2);
    EXPECT_EQ(s.nvGraphicMemory, 3);
    EXPECT_EQ(s.setupCode, "0");
}

// A value text of up to 15 digits does not fit an int; it must never wrap onto a valid value
// (4294967396 is 2^32 + 100, 4294967312 is 2^32 + 16).
TEST(PrinterSettingsReplies, HugeNumbersDoNotWrapOntoValidValues) {
    PrinterSettings s;
    EXPECT_FALSE(one(0xFA, "4294967396")) << "no margin the printer can hold";
    s.codePage = 0;
    ASSERT_TRUE(s.applyReply(*one(0xF6, "4294967312")));
    EXPECT_FALSE(s.codePage.has_value());
    ASSERT_TRUE(s.applyReply(*one(0xF9, "4294967446"))); // 2^32 + 150
    EXPECT_EQ(s.printSpeed, 220);
    ASSERT_TRUE(s.applyReply(*one(0x76, "4294967366"))); // 2^32 + 70
    EXPECT_EQ(s.colorDensity, pos::Medium);
}
