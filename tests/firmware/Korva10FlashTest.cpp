// The KORVA10 area table and packet bytes against the design's vectors, and the file read at
// flash addresses.
#include "firmware/Korva10Flash.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace korva::test {
namespace {

// Every packet of an area, as the screen builds them from image (indexed by flash address).
std::vector<Bytes> areaPackets(const Korva10Area& area, const Bytes& image) {
    std::vector<Bytes> out;
    Korva10Packet packet;
    packet.buildErase(area);
    packet.seal();
    out.emplace_back(packet.bytes().begin(), packet.bytes().end());
    for (std::uint32_t a = area.start; a < area.end;) {
        std::size_t n = packet.beginWrite(a, area.end);
        std::copy_n(image.begin() + a, n, packet.data().begin());
        packet.seal();
        out.emplace_back(packet.bytes().begin(), packet.bytes().end());
        a += static_cast<std::uint32_t>(n);
    }
    return out;
}

TEST(Korva10Flash, PacketsMatchTheVectorsOfEachArea) {
    Bytes image(0x200000);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    struct Row {
        int index;
        const char* erase;
        int writes;
        const char* firstHead;
        const char* lastHead;
    } rows[] = {
        {korva10::kProgramArea, "40 F2 20 22 00 00 00 00 00 00", 256, "40 F0 02 00 00 1D 00 00",
         "40 F1 02 00 00 1E FE 00"},
        {korva10::kBootArea, "40 F2 22 23 00 00 00 00 00 00", 128, "40 F0 02 00 00 1F 00 00",
         "40 F1 02 00 00 1F FE 00"},
        {korva10::kFontArea, "40 F2 1C 1E 00 00 00 00 00 00", 256, "40 F0 02 00 00 19 00 00",
         "40 F1 02 00 00 1A FE 00"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.erase);
        const Korva10Area* area = korva10::area(r.index);
        ASSERT_NE(area, nullptr);
        std::vector<Bytes> packets = areaPackets(*area, image);
        ASSERT_EQ(packets.size(), static_cast<std::size_t>(r.writes) + 1);
        EXPECT_EQ(korva10::writePacketCount(*area), r.writes);
        EXPECT_EQ(hex(packets.front()), r.erase);
        EXPECT_EQ(hex(Bytes(packets[1].begin(), packets[1].begin() + 8)), r.firstHead);
        EXPECT_EQ(hex(Bytes(packets.back().begin(), packets.back().begin() + 8)), r.lastHead);
        std::uint32_t address = area->start;
        for (std::size_t k = 1; k < packets.size(); ++k) {
            const Bytes& p = packets[k];
            ASSERT_EQ(p.size(), 522u) << k;
            EXPECT_EQ(p[1], k + 1 == packets.size() ? 0xF1 : 0xF0);
            std::uint32_t at =
                static_cast<std::uint32_t>(p[4]) << 24 | p[5] << 16 | p[6] << 8 | p[7];
            EXPECT_EQ(at, address);
            EXPECT_TRUE(std::equal(p.begin() + 8, p.end() - 2, image.begin() + address));
            std::uint32_t sum = 0;
            for (std::size_t i = 8; i < 520; ++i)
                sum += p[i];
            EXPECT_EQ(p[520] << 8 | p[521], static_cast<int>(sum & 0xFFFF));
            address += 512;
        }
    }
}

TEST(Korva10Flash, ChecksumAndShortLastPacket) {
    Korva10Packet packet;
    ASSERT_EQ(packet.beginWrite(0x1000, 0x2000), 512u);
    std::fill(packet.data().begin(), packet.data().end(), 0xFF);
    packet.seal();
    EXPECT_EQ(packet.bytes()[520], 0xFE);
    EXPECT_EQ(packet.bytes()[521], 0x00);
    // A remainder under 512 bytes is the last packet, with its own length.
    ASSERT_EQ(packet.beginWrite(0x1000, 0x1003), 3u);
    std::fill(packet.data().begin(), packet.data().end(), 0x80);
    packet.seal();
    EXPECT_EQ(hex(Bytes(packet.bytes().begin(), packet.bytes().end())),
              "40 F1 00 03 00 00 10 00 80 80 80 01 80");
    EXPECT_EQ(packet.beginWrite(0x2000, 0x2000), 0u);
}

TEST(Korva10Flash, AreaLookups) {
    EXPECT_EQ(korva10::area(korva10::kExtFontArea), nullptr);
    EXPECT_EQ(korva10::area(4), nullptr);
    EXPECT_EQ(korva10::area(-1), nullptr);
    EXPECT_EQ(korva10::areaNamed("boot"), korva10::area(korva10::kBootArea));
    EXPECT_EQ(korva10::areaNamed("ext-font"), nullptr);
    EXPECT_EQ(korva10::areaNamed("Program"), nullptr);
}

TEST(Korva10Flash, ImageReadsAtFlashAddressesAndRefusesWhatIsNotThere) {
    TempDir dir;
    std::string content(0x1000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i & 0xFF);
    dir.write("fw.bin", content);
    Korva10Image image;
    EXPECT_FALSE(image.open(dir.file("missing.bin")));
    EXPECT_FALSE(image.open(dir.path())); // a folder is no firmware file
    ASSERT_TRUE(image.open(dir.file("fw.bin")));
    EXPECT_EQ(image.size(), 0x1000u);
    Bytes got(4);
    ASSERT_TRUE(image.read(0x0FFC, got));
    EXPECT_EQ(hex(got), "FC FD FE FF");
    EXPECT_FALSE(image.read(0x0FFE, got)); // past the end
}

} // namespace
} // namespace korva::test
