#pragma once
// The KORVA10 class's flash areas and the erase/write packets that program them.
//
// Areas, in the order of the screen's radio buttons (index = radio index); the file is read at
// the same offsets as the flash addresses, so the data for address A is file byte A:
//   0 "&1.Program"  0x1D0000..0x1F0000  sectors 0x20..0x22  erase wait 500 ms
//   1 "&2.Ext Font" always disabled
//   2 "&3.Boot"     0x1F0000..0x200000  sectors 0x22..0x23  erase wait 400 ms
//   3 "&4.Font"     0x190000..0x1B0000  sectors 0x1C..0x1E  erase wait 500 ms
//
// Packets (multi-byte fields big-endian):
//   erase  40 F2 first last 00 00 00 00 00 00                      (10 bytes, checksum 0)
//   write  40 F0|F1 nH nL a3 a2 a1 a0 data[n] cH cL                (n + 10 bytes)
// F0 while more than 512 bytes of the area remain, F1 for the last packet; the checksum is the
// sum of the data bytes modulo 65536. Byte builders only: no I/O.
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>

namespace korva {

struct Korva10Area {
    const char* caption; // the radio button's caption
    const char* name;    // "program", "boot", "font" (command line and reports)
    bool enabled;
    std::uint32_t start; // first flash address (= file offset)
    std::uint32_t end;   // exclusive
    std::uint8_t firstSector;
    std::uint8_t lastSector;
    int eraseWaitMs; // one of the six waits after the erase packet

    std::uint32_t length() const { return end - start; }
};

namespace korva10 {

constexpr std::size_t kMaxData = 512;
constexpr std::size_t kOverhead = 10; // header 8 + checksum 2
// A full packet is 522 bytes: a 520-byte buffer would lose the checksum's last two bytes.
constexpr std::size_t kPacketCapacity = kMaxData + kOverhead;
constexpr int kAreaCount = 4;
constexpr int kProgramArea = 0;
constexpr int kExtFontArea = 1;
constexpr int kBootArea = 2;
constexpr int kFontArea = 3;

// Every area, indexed by radio index.
const std::array<Korva10Area, kAreaCount>& areas();
// The area at index, or null when the index is out of range or the area is disabled.
const Korva10Area* area(int index);
// The enabled area named name ("program", "boot", "font"), or null.
const Korva10Area* areaNamed(const std::string& name);
// Write packets an area takes (256 for 0x20000 bytes).
int writePacketCount(const Korva10Area& area);
// Sum of bytes modulo 65536.
std::uint16_t checksum(std::span<const std::uint8_t> data);

} // namespace korva10

// The packet buffer of the screen, built in place, so a resend after DLE NAK sends
// exactly the bytes sent before.
class Korva10Packet {
public:
    // Clears the buffer to zero and builds the area's erase packet (length 10).
    void buildErase(const Korva10Area& area);
    // Header for n = min(512, end - address) data bytes at address; the caller fills data()
    // with n bytes and then calls seal(). Returns n (0 when address >= end: nothing built).
    std::size_t beginWrite(std::uint32_t address, std::uint32_t end);
    // The data bytes of the packet being built.
    std::span<std::uint8_t> data();
    // Stores the checksum of the data bytes after them; the packet is then complete.
    void seal();

    std::span<const std::uint8_t> bytes() const { return {m_buffer.data(), m_length}; }
    std::size_t length() const { return m_length; }
    std::size_t dataLength() const { return m_length >= korva10::kOverhead ? m_length - 10 : 0; }
    bool erase() const { return m_buffer[1] == 0xF2; }

private:
    std::array<std::uint8_t, korva10::kPacketCapacity> m_buffer{};
    std::size_t m_length = 0;
};

// The firmware file, read at flash addresses. RAII over the open file.
class Korva10Image {
public:
    Korva10Image() = default;
    ~Korva10Image() { close(); }
    Korva10Image(const Korva10Image&) = delete;
    Korva10Image& operator=(const Korva10Image&) = delete;

    // False when the file cannot be opened for reading (or is not a regular file).
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return m_file != nullptr; }
    // Bytes in the file (0 when not open).
    std::uint64_t size() const { return m_size; }
    // Reads out.size() bytes at file offset address; false when the file ends before them.
    bool read(std::uint32_t address, std::span<std::uint8_t> out);

private:
    std::FILE* m_file = nullptr;
    std::uint64_t m_size = 0;
};

} // namespace korva
