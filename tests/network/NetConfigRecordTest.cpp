// The network record and its texts against the protocol's byte examples.
#include "network/NetConfigRecord.h"
#include "network/NetConfigLink.h"
#include "support/Bytes.h"

#include <gtest/gtest.h>

namespace korva {
namespace {

using test::bytes;
using test::hex;

test::Bytes asBytes(const NetConfigRecord& r) {
    return {r.bytes().begin(), r.bytes().end()};
}

TEST(NetConfigRecord, RecordsTheToolSends) {
    EXPECT_EQ(hex(asBytes(NetConfigRecord::searchRequest())),
              "AA AA 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "
              "00 00 00 00 00 00 55 55");
    NetConfigRecord change =
        NetConfigRecord::settings(NetConfigRecord::kNewSettings, {10, 0, 0, 5}, {255, 255, 255, 0},
                                  {10, 0, 0, 1}, {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, false, 9100);
    const std::string head =
        "AA AA 02 0A 00 00 05 FF FF FF 00 0A 00 00 01 00 1A 2B 3C 4D 5E 00 23 8C";
    const std::string tail = " 00 00 00 00 00 00 00 00 00 55 55";
    EXPECT_EQ(hex(asBytes(change)), head + tail);
    NetConfigRecord after = change;
    after.setCommand(NetConfigRecord::kAfterSettings);
    test::Bytes a = asBytes(after), c = asBytes(change);
    EXPECT_EQ(a[2], 0x04);
    a[2] = c[2];
    EXPECT_EQ(a, c) << "the record sent afterwards differs only in byte 2";
    NetConfigRecord dhcp =
        NetConfigRecord::settings(NetConfigRecord::kNewSettings, {}, {}, {}, {}, true, 515);
    EXPECT_EQ(dhcp.bytes()[21], 1);
    EXPECT_EQ(hex(&dhcp.bytes()[22], 2), "02 03");
}

TEST(NetConfigRecord, RowTextsOfReplies) {
    struct Case {
        const char* reply; // bytes 0..23; the rest is filled
        const char *ip, *port, *subnet, *gateway, *mac;
        bool dhcp;
    };
    const Case cases[] = {
        {"AA AA 01 C0 A8 00 C8 FF FF FF 00 C0 A8 00 01 00 1A 2B 3C 4D 5E 01 23 8C",
         "192.168.0.200 (DHCP)", "9100", "255.255.255.0", "192.168.0.1", "00:1A:2B:3C:4D:5E", true},
        {"AA AA 01 0A 00 00 05 FF 00 00 00 0A 00 00 01 AB CD EF 01 02 03 00 02 03", "10.0.0.5",
         "515", "255.0.0.0", "10.0.0.1", "AB:CD:EF:01:02:03", false},
        // Frame bytes are not examined; any non-zero DHCP byte means DHCP; the port is unsigned.
        {"00 00 00 FF FF FF FF 00 00 00 00 00 00 00 00 FF FF FF FF FF FF 80 FF FF",
         "255.255.255.255 (DHCP)", "65535", "0.0.0.0", "0.0.0.0", "FF:FF:FF:FF:FF:FF", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        test::Bytes d = bytes(c.reply);
        d.resize(35, 0x77);
        auto r = NetConfigRecord::parse(d);
        ASSERT_TRUE(r.has_value());
        EXPECT_EQ(r->ipText(), c.ip);
        EXPECT_EQ(r->portText(), c.port);
        EXPECT_EQ(r->maskText(), c.subnet);
        EXPECT_EQ(r->gatewayText(), c.gateway);
        EXPECT_EQ(r->macText(), c.mac);
        EXPECT_EQ(r->dhcp(), c.dhcp);
    }
    for (std::size_t size : {0u, 1u, 20u, 34u, 36u, 60u, 2048u}) {
        test::Bytes d(size, 0xAA);
        EXPECT_FALSE(NetConfigRecord::parse(d).has_value()) << size << " bytes";
    }
}

TEST(NetConfigRecord, AddressTexts) {
    struct Case {
        const char* text;
        bool ok;
        Ip4 value;
    };
    const Case cases[] = {
        {"10.0.0.5", true, {10, 0, 0, 5}},
        {" 255.255.255.0 ", true, {255, 255, 255, 0}},
        {"192.168.000.001", true, {192, 168, 0, 1}},
        {"256.0.0.1", false, {}}, // refused, not cut to 0.0.0.1
        {"1.2.3", false, {}},
        {"1.2.3.4.5", false, {}},
        {"1..3.4", false, {}},
        {"a.b.c.d", false, {}},
        {"1.2.3.4x", false, {}},
        {"", false, {}},
        {"1234.1.1.1", false, {}},
    };
    for (const Case& c : cases) {
        Ip4 out{9, 9, 9, 9};
        EXPECT_EQ(parseDotted(c.text, out), c.ok) << c.text;
        EXPECT_EQ(dottedText(out), dottedText(c.ok ? c.value : Ip4{9, 9, 9, 9})) << c.text;
    }
}

TEST(NetConfigRecord, MacTexts) {
    struct Case {
        const char* text;
        const char* bytes; // "" when refused
    };
    const Case cases[] = {
        {"00:1A:2B:3C:4D:5E", "00 1A 2B 3C 4D 5E"},
        {"00:1a:2b:3c:4d:5e", "00 1A 2B 3C 4D 5E"}, // lower case is the same address
        {"aB:cD:eF:09:00:FF", "AB CD EF 09 00 FF"},
        {" 01:02:03:04:05:06\t", "01 02 03 04 05 06"},
        {"00:1A:2B:3C:4D", ""},
        {"00:1A:2B:3C:4D:5E:6F", ""},
        {"0:1A:2B:3C:4D:5E:", ""},
        {"00-1A-2B-3C-4D-5E", ""},
        {"00:1G:2B:3C:4D:5E", ""},
        {"001A2B3C4D5E", ""},
        {"", ""},
    };
    for (const Case& c : cases) {
        MacAddress out{};
        bool ok = parseMacText(c.text, out);
        EXPECT_EQ(ok, *c.bytes != '\0') << c.text;
        if (ok) {
            EXPECT_EQ(hex(out.data(), out.size()), c.bytes) << c.text;
        }
    }
    EXPECT_EQ(macAddressText({0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}), "00:1A:2B:3C:4D:5E");
}

TEST(NetConfigRecord, BroadcastDestinations) {
    std::vector<LocalInterface> ifs = {
        {"lo", {127, 0, 0, 1}, {255, 0, 0, 0}, true, true, false},
        {"eth0", {192, 168, 1, 20}, {255, 255, 255, 0}, true, false, false},
        {"eth1", {10, 1, 2, 3}, {255, 255, 0, 0}, true, false, false},
        {"eth2", {172, 16, 0, 9}, {255, 255, 0, 0}, false, false, false}, // down
        {"ppp0", {100, 64, 0, 1}, {255, 255, 255, 255}, true, false, true},
        {"eth0:1", {192, 168, 1, 21}, {255, 255, 255, 0}, true, false, false}, // same segment
    };
    struct Case {
        const char* broadcast;
        bool all;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"255.255.255.255", false, {"255.255.255.255"}},
        {"127.255.255.255", false, {"127.255.255.255"}},
        {"255.255.255.255",
         true,
         {"255.255.255.255", "127.255.255.255", "192.168.1.255", "10.1.255.255"}},
        {"127.255.255.255", true, {"127.255.255.255", "192.168.1.255", "10.1.255.255"}},
    };
    for (const Case& c : cases) {
        NetLinkOptions o;
        o.broadcast = c.broadcast;
        o.allInterfaces = c.all;
        EXPECT_EQ(broadcastDestinations(o, ifs), c.expected) << c.broadcast << " " << c.all;
    }
}

} // namespace
} // namespace korva
