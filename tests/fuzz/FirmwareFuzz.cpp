// libFuzzer target: any bytes as a firmware file, through the image checks, the area cut of
// the firmware download and the KORVA10 write packets. The first byte picks the model kind, the
// area and the file's shape: the bytes alone, or an 8 MiB image (one byte short when asked)
// carrying them at its end or at the start of the area.
#include "FuzzCheck.h"
#include "firmware/AreaFrame.h"
#include "firmware/FirmwareImage.h"
#include "firmware/Korva10Flash.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace korva;

// One in-memory file for every run, named through /proc.
struct MemFile {
    int fd = ::memfd_create("firmware", 0);
    std::string path = "/proc/self/fd/" + std::to_string(fd);
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

void checkKorva10(const std::string& path, std::uint64_t size, int index) {
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
    static MemFile file;
    if (size == 0 || file.fd < 0)
        return 0;
    const std::uint8_t knob = data[0];
    const int modelKind = knob % 7 + 1;
    const int area = (knob >> 3) % kFirmwareAreaCount;
    const int shape = knob >> 6; // 0: the bytes alone; 1: at the end; 2: at the area; 3: short
    ++data;
    --size;

    std::vector<std::uint8_t> content(data, data + size);
    if (shape != 0) {
        std::vector<std::uint8_t> image(kFirmwareFileSize - (shape == 3 ? 1 : 0), 0xFF);
        const std::size_t n = std::min(size, image.size());
        const std::size_t at =
            shape == 2
                ? std::min<std::size_t>(firmwareArea(area, modelKind).offset, image.size() - n)
                : image.size() - n;
        std::copy_n(data, n, image.begin() + static_cast<std::ptrdiff_t>(at));
        content.swap(image);
    }
    KORVA_FUZZ_CHECK(::ftruncate(file.fd, 0) == 0);
    KORVA_FUZZ_CHECK(::pwrite(file.fd, content.data(), content.size(), 0) ==
                     static_cast<ssize_t>(content.size()));

    // The trailer is read where an 8 MiB image has it; a shorter file has none.
    const bool whole = content.size() == kFirmwareFileSize;
    const bool signature = whole && std::memcmp(&content[kSignatureOffset], "QOLT", 4) == 0;
    const std::optional<FirmwareTrailer> trailer = readFirmwareTrailer(file.path);
    KORVA_FUZZ_CHECK(trailer.has_value());
    KORVA_FUZZ_CHECK(trailer->signatureOk == signature);
    KORVA_FUZZ_CHECK(trailer->bootEnable == (whole ? content[kBootEnableOffset] : 0));

    FirmwareImage image;
    const FirmwareImage::Load load = image.load(file.path);
    KORVA_FUZZ_CHECK(image.fileSize() == content.size());
    if (!whole) {
        KORVA_FUZZ_CHECK(load == FirmwareImage::Load::WrongSize && image.bytes().empty());
    } else if (!signature) {
        KORVA_FUZZ_CHECK(load == FirmwareImage::Load::WrongSignature && image.bytes().empty());
    } else {
        KORVA_FUZZ_CHECK(load == FirmwareImage::Load::Ok);
        KORVA_FUZZ_CHECK(image.bootEnable() == content[kBootEnableOffset]);
        checkFrame(image.bytes(), firmwareArea(area, modelKind));
    }
    checkKorva10(file.path, content.size(), area % korva10::kAreaCount);
    return 0;
}
