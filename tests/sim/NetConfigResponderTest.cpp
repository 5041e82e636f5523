#include <gtest/gtest.h>

#include "sim/NetConfigResponder.h"
#include "support/Bytes.h"

namespace korva {
namespace {

using test::bytes;
using test::Bytes;

NetConfigResponder::Config printerRecord() {
    NetConfigResponder::Config c;
    c.ip = {192, 168, 0, 200};
    c.mask = {255, 255, 255, 0};
    c.gateway = {192, 168, 0, 1};
    c.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    c.port = 9100;
    return c;
}

// The change record of the network settings example: IP 10.0.0.5, subnet 255.255.255.0,
// gateway 10.0.0.1, MAC 00:1A:2B:3C:4D:5E, fixed address, port 9100.
Bytes changeRecord(std::uint8_t command) {
    Bytes r = bytes("AA AA 02 0A 00 00 05 FF FF FF 00 0A 00 00 01 00 1A 2B 3C 4D 5E 00 23 8C "
                    "00 00 00 00 00 00 00 00 00 55 55");
    r[2] = command;
    return r;
}

TEST(NetConfigResponder, SearchIsAnsweredWithTheRecord) {
    NetConfigResponder n(printerRecord());
    Bytes request(35, 0);
    request[0] = request[1] = 0xAA;
    request[33] = request[34] = 0x55;
    Bytes reply = n.handle(request, "127.0.0.1:5000", true);
    ASSERT_EQ(reply.size(), 35u);
    EXPECT_EQ(test::hex({reply.begin() + 3, reply.begin() + 24}),
              "C0 A8 00 C8 FF FF FF 00 C0 A8 00 01 00 1A 2B 3C 4D 5E 00 23 8C");
    EXPECT_EQ(reply[33], 0x55);
    EXPECT_EQ(n.toJson()["searches"], 1);
    EXPECT_TRUE(n.handle(request, "127.0.0.1:5000", false).empty()); // a mute printer
}

TEST(NetConfigResponder, ChangeThenRestartAppliesTheNewValues) {
    NetConfigResponder n(printerRecord());
    Bytes answer = n.handle(changeRecord(0x02), "127.0.0.1:5000", true);
    ASSERT_EQ(answer.size(), 35u);
    EXPECT_EQ(n.toJson()["pending"]["ip"], "10.0.0.5");
    EXPECT_EQ(n.toJson()["record"]["ip"], "192.168.0.200"); // not before the restart
    EXPECT_TRUE(n.handle(changeRecord(0x04), "127.0.0.1:5000", true).empty());
    auto j = n.toJson();
    EXPECT_EQ(j["record"]["ip"], "10.0.0.5");
    EXPECT_EQ(j["record"]["gateway"], "10.0.0.1");
    EXPECT_EQ(j["record"]["port"], 9100);
    EXPECT_FALSE(j["record"]["dhcp"].get<bool>());
    EXPECT_TRUE(j["changes"][0]["restarted"].get<bool>());
    EXPECT_EQ(j["restarts"], 1);
    EXPECT_TRUE(j["pending"].is_null());
}

TEST(NetConfigResponder, OtherMacsAndMalformedDatagramsAreIgnored) {
    NetConfigResponder n(printerRecord());
    Bytes other = changeRecord(0x02);
    other[20] = 0x5F;
    EXPECT_TRUE(n.handle(other, "127.0.0.1:1", true).empty());
    EXPECT_TRUE(n.handle(changeRecord(0x04), "127.0.0.1:1", true).empty()); // nothing pending
    Bytes shortOne = bytes("AA AA 00 55 55");
    Bytes noFrame = changeRecord(0x02);
    noFrame[34] = 0x54;
    Bytes unknown = changeRecord(0x07);
    for (const Bytes& d : {shortOne, noFrame, unknown})
        EXPECT_TRUE(n.handle(d, "127.0.0.1:1", true).empty());
    auto j = n.toJson();
    EXPECT_EQ(j["ignored"], 2);
    ASSERT_EQ(j["malformed"].size(), 3u);
    EXPECT_EQ(j["malformed"][0]["reason"], "not 35 bytes");
    EXPECT_EQ(j["malformed"][1]["reason"], "no AA AA / 55 55 frame");
    EXPECT_EQ(j["malformed"][2]["reason"], "unknown command");
    EXPECT_EQ(j["record"]["ip"], "192.168.0.200");
}

TEST(NetConfigResponder, OptionTextsParse) {
    std::array<std::uint8_t, 4> ip{};
    EXPECT_TRUE(NetConfigResponder::parseIp("10.0.0.5", ip));
    EXPECT_EQ(ip[3], 5);
    for (const char* bad : {"", "10.0.0", "10.0.0.256", "10.0.0.5.", "a.b.c.d", "1..2.3"})
        EXPECT_FALSE(NetConfigResponder::parseIp(bad, ip)) << bad;
    std::array<std::uint8_t, 6> mac{};
    EXPECT_TRUE(NetConfigResponder::parseMac("00:1a:2B:3C:4D:5E", mac));
    EXPECT_EQ(mac[1], 0x1A);
    EXPECT_FALSE(NetConfigResponder::parseMac("00:1A:2B:3C:4D", mac));
    EXPECT_FALSE(NetConfigResponder::parseMac("00-1A-2B-3C-4D-5E", mac));
}

} // namespace
} // namespace korva
