// Writes the seed corpus of one fuzz target: small, well-formed inputs of its format, and a few
// near misses, so the fuzzer starts inside the format rather than at random bytes.
// Usage: korva_fuzz_seeds TARGET CORPUS_DIR
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes hex(const char* text) {
    Bytes out;
    unsigned value = 0;
    int digits = 0;
    for (const char* p = text; *p; ++p) {
        int d = *p >= '0' && *p <= '9' ? *p - '0' : *p >= 'A' && *p <= 'F' ? *p - 'A' + 10 : -1;
        if (d < 0)
            continue;
        value = value * 16 + static_cast<unsigned>(d);
        if (++digits == 2) {
            out.push_back(static_cast<std::uint8_t>(value));
            value = 0;
            digits = 0;
        }
    }
    return out;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes reply(int number, const std::string& value) {
    return join({hex("37 27"), text(std::to_string(number)), hex("1F"), text(value), hex("00")});
}

void put16le(Bytes& b, unsigned v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

// A KORVA10 write packet of n bytes of value fill at address.
Bytes korva10Write(bool last, std::uint32_t address, std::size_t n, std::uint8_t fill) {
    Bytes b = {0x40, static_cast<std::uint8_t>(last ? 0xF1 : 0xF0),
               static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)};
    for (int i = 3; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    unsigned sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        b.push_back(fill);
        sum += fill;
    }
    b.push_back(static_cast<std::uint8_t>(sum >> 8));
    b.push_back(static_cast<std::uint8_t>(sum));
    return b;
}

// An area frame of the given code whose length field says total but which carries only what
// fits in a seed.
Bytes areaFrame(std::uint8_t code, std::uint32_t total, std::size_t carried) {
    Bytes b = {0x01, 0x11, code, 0x30};
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(total >> (8 * i)));
    Bytes data(carried, 0x5A);
    unsigned sum = 0;
    for (std::uint8_t x : data)
        sum += x;
    put16le(b, sum);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

struct Seed {
    std::string name;
    Bytes bytes;
};

// The sim targets take a knob byte and then the stream after the decoder's leading bytes.
Seed sim(const std::string& name, std::uint8_t knob, const Bytes& stream, std::size_t lead) {
    Bytes b = {knob};
    b.insert(b.end(), stream.begin() + static_cast<std::ptrdiff_t>(lead), stream.end());
    return {name, b};
}

std::vector<Seed> seedsFor(const std::string& target) {
    if (target == "setting_reply") {
        Bytes all;
        const std::pair<int, const char*> answers[] = {
            {3, "6"},     {116, "257"}, {118, "85"},        {242, "1012"}, {243, "0"},
            {244, "1"},   {245, "23"},  {246, "16"},        {247, "0"},    {248, "1"},
            {249, "180"}, {250, "64"},  {251, "0"},         {252, "04"},   {253, "1"},
            {1, "2"},     {2, "7"},     {255, "4294967295"}};
        for (auto [n, v] : answers)
            all = join({all, reply(n, v)});
        return {{"all", all},
                {"status-blocks",
                 join({hex("10 00 00 0F"), reply(3, "2"), hex("37 10 00 27"), reply(116, "1")})},
                {"too-long", reply(250, std::string(120, '9'))},
                {"decode-watermark", join({hex("F2"), text("1200")})},
                {"decode-setup-code", join({hex("FF"), text("123456")})}};
    }
    if (target == "usb_unescape")
        return {{"escaped", join({hex("05"), hex("37 27 32 35 35 1F 31 1B 30 1B 1B 1B 41")})},
                {"split-escape", hex("00 1B 1B 30 1B")}};
    if (target == "firmware") {
        // knob: model kind, area and shape (bits 6-7: 1 the bytes at the image's end).
        Bytes trailer = join({hex("03"), text("QOLT")});
        return {{"tail-signed", join({hex("45"), trailer})},
                {"tail-boot-area", join({hex("66"), trailer})},
                {"at-area", join({hex("8E"), Bytes(600, 0xA5)})},
                {"short-image", join({hex("C1"), trailer})},
                {"small-file", join({hex("02"), Bytes(64, 0x11)})}};
    }
    if (target == "profile")
        return {{"logo", text("LOGO\tLogofile3\tC:\\logos\\c.bmp\n[LOGO]\r\nLogofile1=a.bmp\r\n"
                              "Logofile2 = \"b b.bmp\"\r\n\r\n[DEVICELIST]\r\nKORVA40S=COM1\r\n")},
                {"comments", text("user\tR_BUF_SZ0\t64\n; comment\n[User]\nR_BUF_SZ0=4\nbad line\n"
                                  "[USER]\ncp=1\n[FWDN20]\nFOLDER=/tmp\n")},
                {"binary", join({text("NEW\tkey\tvalue\n[A]\nk=v\n"), hex("00 01 FF 0A"),
                                 text("[B]\nx=1")})}};
    const Bytes enter = hex("1D 28 45 03 00 01 49 4E");
    const Bytes leave = hex("1D 28 45 04 00 02 4F 55 54");
    if (target == "sim_setup")
        return {sim("bracket", 0,
                    join({enter, hex("1D 28 45 0A 00 05 FA 00 02 FF 00 00 00 00 04"), leave}), 3),
                sim("queries", 5,
                    join({hex("1D 28 45 02 00 06 03"), hex("1D 28 45 02 00 06 FD"),
                          hex("1D 28 45 02 00 06 F6")}),
                    3),
                sim("lying", 9, hex("1D 28 45 FF FF 06 F6 1B 40"), 3)};
    if (target == "sim_nv")
        return {sim("one-image", 0,
                    join({hex("1C 71 01 01 00 01 00"), Bytes(8, 0x81), hex("1B 40")}), 2),
                sim("two-images", 6,
                    join({hex("1C 71 02 01 00 02 00"), Bytes(16, 0x3C), hex("02 00 01 00"),
                          Bytes(16, 0xC3)}),
                    2),
                sim("erase", 2, hex("1C 71 00"), 2)};
    if (target == "sim_print")
        return {sim("text", 0, join({hex("1B 40"), text("TEST PRINT\n"), hex("1D 56 41 00")}), 0),
                sim("nv-print", 4, join({hex("1C 70 01 00 1B 1C 70 02 03 1D 49 01")}), 0),
                sim("colour", 8, join({hex("1D 28 4E 02 00 30 31 1B 69 1B 6D 0A 00 00")}), 0)};
    if (target == "sim_area")
        return {sim("program-head", 0, areaFrame(0x51, 0xD0000, 256), 2),
                sim("boot-head", 1, areaFrame(0x42, 0x15000, 64), 2),
                sim("tiny", 2, join({areaFrame(0x44, 16, 6), hex("1B 40")}), 2)};
    if (target == "sim_korva10")
        return {
            sim("erase-write", 2,
                join({hex("40 F2 20 22 00 00 00 00 00 00"), korva10Write(false, 0x1D0000, 512, 7),
                      korva10Write(true, 0x1D0200, 16, 9)}),
                1),
            sim("bad-checksum", 6,
                join({hex("40 F2 22 23 00 00 00 00 00 00"),
                      hex("40 F1 00 02 00 1F 00 00 01 02 00 00")}),
                1)};
    return {};
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TARGET CORPUS_DIR\n", argv[0]);
        return 2;
    }
    const std::vector<Seed> seeds = seedsFor(argv[1]);
    if (seeds.empty()) {
        std::fprintf(stderr, "no seeds for %s\n", argv[1]);
        return 2;
    }
    for (const Seed& s : seeds) {
        const std::string path = std::string(argv[2]) + "/" + s.name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) {
            std::fprintf(stderr, "cannot create %s\n", path.c_str());
            return 1;
        }
        const bool ok = std::fwrite(s.bytes.data(), 1, s.bytes.size(), f) == s.bytes.size();
        if (std::fclose(f) != 0 || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
