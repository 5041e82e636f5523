// libFuzzer target: any bytes as a firmware file, through the image checks, the area cut of
// the firmware download and the KORVA10 write packets. The first byte picks the model kind, the
// area and the file's shape: the bytes alone, or an 8 MiB image of 0xFF (one byte short when
// asked) carrying them at its end or at the start of the area.
#include "FuzzCheck.h"
#include "firmware/AreaFrame.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Korva10Flash.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace korva;

// An in-memory file, named through /proc.
struct MemFile {
    int fd = ::memfd_create("firmware", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
};

// The 8 MiB image every run places its bytes in: kept as a file and as the copy the checks
// compare with, both all 0xFF between runs, so a run writes and puts back only its own bytes.
struct ImageFile {
    MemFile file;
    std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(kFirmwareFileSize, 0xFF);
    bool ok = file.fd >= 0 && ::pwrite(file.fd, bytes.data(), bytes.size(), 0) ==
                                  static_cast<ssize_t>(bytes.size());
};

// Places n bytes at `at` of an image `size` bytes long (the whole or one short) and puts the
// image back when the run ends.
class Placed {
public:
    Placed(ImageFile& image, const std::uint8_t* data, std::size_t at, std::size_t n,
           std::size_t size)
        : m_image(image), m_at(at), m_n(n), m_short(size < kFirmwareFileSize) {
        if (m_short)
            KORVA_FUZZ_CHECK(::ftruncate(image.file.fd, static_cast<off_t>(size)) == 0);
        write(data);
    }
    ~Placed() {
        const std::vector<std::uint8_t> blank(m_n, 0xFF);
        write(blank.data());
        if (m_short) {
            KORVA_FUZZ_CHECK(::ftruncate(m_image.file.fd, kFirmwareFileSize) == 0);
            const std::uint8_t last = 0xFF;
            KORVA_FUZZ_CHECK(::pwrite(m_image.file.fd, &last, 1, kFirmwareFileSize - 1) == 1);
        }
    }
    Placed(const Placed&) = delete;
    Placed& operator=(const Placed&) = delete;

private:
    void write(const std::uint8_t* data) {
        std::copy_n(data, m_n, m_image.bytes.begin() + static_cast<std::ptrdiff_t>(m_at));
        KORVA_FUZZ_CHECK(::pwrite(m_image.file.fd, data, m_n, static_cast<off_t>(m_at)) ==
                         static_cast<ssize_t>(m_n));
    }
    ImageFile& m_image;
    std::size_t m_at;
    std::size_t m_n;
    bool m_short;
};

void checkFrame(std::span<const std::uint8_t> image, const FirmwareArea& area) {
    const AreaFrame frame(image, area);
    const std::span<const std::uint8_t> f = frame.bytes();
    KORVA_FUZZ_CHECK(f.size() == area.length && frame.length() == area.length);
    KORVA_FUZZ_CHECK(f[0] == 0x01 && f[1] == 0x11 && f[2] == area.code && f[3] == 0x30);
    const std::uint32_t l = f[4] | f[5] << 8 | f[6] << 16 | static_cast<std::uint32_t>(f[7]) << 24;
    KORVA_FUZZ_CHECK(l == area.length);
    unsigned sum = 0;
    for (std::size_t i = 10; i < f.size(); ++i)
        sum += f[i];
    KORVA_FUZZ_CHECK(static_cast<std::uint16_t>(sum) == frame.checksum());
    KORVA_FUZZ_CHECK((f[8] | f[9] << 8) == frame.checksum());
    const std::size_t body = area.index == AreaBoot ? f.size() - 14 : f.size() - 10;
    KORVA_FUZZ_CHECK(std::equal(f.begin() + 10, f.begin() + 10 + static_cast<std::ptrdiff_t>(body),
                                image.begin() + area.offset));
    if (area.index == AreaBoot) {
        const std::uint8_t fixed[4] = {0x00, 0x80, 0xFE, 0xFF};
        KORVA_FUZZ_CHECK(std::equal(f.end() - 4, f.end(), fixed));
    }
}

// The packets of the area in the file. Only those holding some of the placed bytes [from, to),
// the first, the last and any the file cuts short are built and checked: the others carry
// nothing but the image's 0xFF, so they would repeat the first one's checks at another address.
void checkKorva10(const std::string& path, std::uint64_t size, int index, std::size_t from,
                  std::size_t to) {
    const Korva10Area* area = korva10::area(index);
    if (!area)
        return;
    Korva10Image image;
    KORVA_FUZZ_CHECK(image.open(path) && image.size() == size);
    Korva10Packet packet;
    packet.buildErase(*area);
    KORVA_FUZZ_CHECK(packet.erase() && packet.length() == korva10::kOverhead);
    int packets = 0;
    for (std::uint32_t at = area->start; at < area->end; at += korva10::kMaxData) {
        const bool plain = at != area->start && at + korva10::kMaxData < area->end &&
                           at + korva10::kMaxData <= size &&
                           (at + korva10::kMaxData <= from || at >= to);
        if (plain) {
            ++packets;
            continue;
        }
        const std::size_t n = packet.beginWrite(at, area->end);
        KORVA_FUZZ_CHECK(n > 0 && n <= korva10::kMaxData && packet.data().size() == n);
        const bool read = image.read(at, packet.data());
        KORVA_FUZZ_CHECK(read == (at + n <= size));
        if (!read)
            return;
        packet.seal();
        const auto b = packet.bytes();
        KORVA_FUZZ_CHECK(b.size() == n + korva10::kOverhead && !packet.erase());
        KORVA_FUZZ_CHECK(b[1] == (at + n < area->end ? 0xF0 : 0xF1));
        KORVA_FUZZ_CHECK(((b[2] << 8) | b[3]) == static_cast<int>(n));
        KORVA_FUZZ_CHECK(static_cast<std::uint32_t>(b[4] << 24 | b[5] << 16 | b[6] << 8 | b[7]) ==
                         at);
        KORVA_FUZZ_CHECK(((b[8 + n] << 8) | b[9 + n]) == korva10::checksum(b.subspan(8, n)));
        ++packets;
    }
    KORVA_FUZZ_CHECK(packets == korva10::writePacketCount(*area));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static MemFile alone;
    static ImageFile whole;
    if (size == 0 || alone.fd < 0 || !whole.ok)
        return 0;
    const std::uint8_t knob = data[0];
    const int modelKind = knob % 7 + 1;
    const int area = (knob >> 3) % kFirmwareAreaCount;
    const int shape = knob >> 6; // 0: the bytes alone; 1: at the end; 2: at the area; 3: short
    ++data;
    --size;

    std::optional<Placed> placed;
    std::span<const std::uint8_t> content(data, size);
    const std::string* path = &alone.path;
    std::size_t from = 0; // where the input's bytes are in the file
    std::size_t to = size;
    if (shape == 0) {
        KORVA_FUZZ_CHECK(::ftruncate(alone.fd, 0) == 0);
        KORVA_FUZZ_CHECK(::pwrite(alone.fd, data, size, 0) == static_cast<ssize_t>(size));
    } else {
        const std::size_t length = kFirmwareFileSize - (shape == 3 ? 1 : 0);
        const std::size_t n = std::min(size, length);
        const std::size_t at =
            shape == 2 ? std::min<std::size_t>(firmwareArea(area, modelKind).offset, length - n)
                       : length - n;
        placed.emplace(whole, data, at, n, length);
        from = at;
        to = at + n;
        content = std::span<const std::uint8_t>(whole.bytes).first(length);
        path = &whole.file.path;
    }

    // The trailer is read where an 8 MiB image has it; a shorter file has none.
    const bool complete = content.size() == kFirmwareFileSize;
    const bool signature = complete && std::memcmp(&content[kSignatureOffset], "QOLT", 4) == 0;
    const std::optional<FirmwareTrailer> trailer = readFirmwareTrailer(*path);
    KORVA_FUZZ_CHECK(trailer.has_value());
    KORVA_FUZZ_CHECK(trailer->signatureOk == signature);
    KORVA_FUZZ_CHECK(trailer->bootEnable == (complete ? content[kBootEnableOffset] : 0));

    // Loading a good image reads all of its 8 MiB and cuts a frame of up to 2 MiB: one good
    // image in 64 (chosen by the input's hash, so a run replays alike) goes that far, which
    // keeps the other inputs' rate at that of the checks before it.
    const std::string_view input(reinterpret_cast<const char*>(data - 1), size + 1);
    if (signature && std::hash<std::string_view>{}(input) % 64 != 0) {
        checkKorva10(*path, content.size(), area % korva10::kAreaCount, from, to);
        return 0;
    }
    FirmwareImage image;
    const FirmwareImage::Load load = image.load(*path);
    KORVA_FUZZ_CHECK(image.fileSize() == content.size());
    if (!complete) {
        KORVA_FUZZ_CHECK(load == FirmwareImage::Load::WrongSize && image.bytes().empty());
    } else if (!signature) {
        KORVA_FUZZ_CHECK(load == FirmwareImage::Load::WrongSignature && image.bytes().empty());
    } else {
        KORVA_FUZZ_CHECK(load == FirmwareImage::Load::Ok);
        KORVA_FUZZ_CHECK(std::ranges::equal(image.bytes(), content));
        KORVA_FUZZ_CHECK(image.bootEnable() == content[kBootEnableOffset]);
        checkFrame(image.bytes(), firmwareArea(area, modelKind));
    }
    checkKorva10(*path, content.size(), area % korva10::kAreaCount, from, to);
    return 0;
}
