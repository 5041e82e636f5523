#include "firmware/Korva10Flash.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva {

namespace korva10 {

const std::array<Korva10Area, kAreaCount>& areas() {
    // The sector numbers are 3 plus the upper 16 bits of the start and end addresses.
    static const std::array<Korva10Area, kAreaCount> table = {{
        {"&1.Program", "program", true, 0x1D0000, 0x1F0000, 0x20, 0x22, 500},
        {"&2.Ext Font", "ext-font", false, 0, 0, 0, 0, 0},
        {"&3.Boot", "boot", true, 0x1F0000, 0x200000, 0x22, 0x23, 400},
        {"&4.Font", "font", true, 0x190000, 0x1B0000, 0x1C, 0x1E, 500},
    }};
    return table;
}

const Korva10Area* area(int index) {
    if (index < 0 || index >= kAreaCount)
        return nullptr;
    const Korva10Area& a = areas()[static_cast<std::size_t>(index)];
    return a.enabled ? &a : nullptr;
}

const Korva10Area* areaNamed(const std::string& name) {
    for (const Korva10Area& a : areas())
        if (a.enabled && name == a.name)
            return &a;
    return nullptr;
}

int writePacketCount(const Korva10Area& area) {
    return static_cast<int>((area.length() + kMaxData - 1) / kMaxData);
}

std::uint16_t checksum(std::span<const std::uint8_t> data) {
    std::uint32_t sum = 0;
    for (std::uint8_t b : data)
        sum += b;
    return static_cast<std::uint16_t>(sum);
}

} // namespace korva10

void Korva10Packet::buildErase(const Korva10Area& area) {
    m_buffer.fill(0);
    m_buffer[0] = 0x40;
    m_buffer[1] = 0xF2;
    m_buffer[2] = area.firstSector;
    m_buffer[3] = area.lastSector;
    m_length = korva10::kOverhead;
}

std::size_t Korva10Packet::beginWrite(std::uint32_t address, std::uint32_t end) {
    if (address >= end)
        return 0;
    const std::size_t n = std::min<std::size_t>(korva10::kMaxData, end - address);
    m_buffer[0] = 0x40;
    m_buffer[1] = end - address > korva10::kMaxData ? 0xF0 : 0xF1;
    m_buffer[2] = static_cast<std::uint8_t>(n >> 8);
    m_buffer[3] = static_cast<std::uint8_t>(n);
    for (int i = 0; i < 4; ++i)
        m_buffer[4 + static_cast<std::size_t>(i)] =
            static_cast<std::uint8_t>(address >> (24 - 8 * i));
    m_length = n + korva10::kOverhead;
    return n;
}

std::span<std::uint8_t> Korva10Packet::data() {
    return {m_buffer.data() + 8, dataLength()};
}

void Korva10Packet::seal() {
    const std::size_t n = dataLength();
    const std::uint16_t sum = korva10::checksum({m_buffer.data() + 8, n});
    m_buffer[8 + n] = static_cast<std::uint8_t>(sum >> 8);
    m_buffer[9 + n] = static_cast<std::uint8_t>(sum);
}

bool Korva10Image::open(const std::string& path) {
    close();
    // Without waiting: a FIFO named like a firmware file must not hang the screen.
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    m_file = ::fdopen(fd, "rb");
    if (!m_file) {
        ::close(fd);
        return false;
    }
    m_size = static_cast<std::uint64_t>(st.st_size);
    return true;
}

void Korva10Image::close() {
    if (m_file)
        std::fclose(m_file);
    m_file = nullptr;
    m_size = 0;
}

bool Korva10Image::read(std::uint32_t address, std::span<std::uint8_t> out) {
    if (!m_file || static_cast<std::uint64_t>(address) + out.size() > m_size)
        return false;
    if (::fseeko(m_file, static_cast<off_t>(address), SEEK_SET) != 0)
        return false;
    return std::fread(out.data(), 1, out.size(), m_file) == out.size();
}

} // namespace korva
