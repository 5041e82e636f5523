#include "firmware/FirmwareImage.h"

#include "app/ModelRules.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace korva {

namespace {

constexpr std::array<const char*, kFirmwareAreaCount> kNames = {"program", "ext-font", "lcd-font",
                                                                "download", "boot"};
constexpr std::array<const char*, kFirmwareAreaCount> kEnglish = {
    "Program Area", "Ext. Font", "LCD font", "DOWNLOAD Area", "Boot Area"};
constexpr std::array<const char*, kFirmwareAreaCount> kKorean = {
    "프로그램 영역", "확장 폰트 영역", "LCD 폰트 영역", "다운로드 영역", "부트 영역"};

bool signatureAt(const std::uint8_t* p) {
    return std::memcmp(p, "QOLT", 4) == 0;
}

} // namespace

FirmwareArea firmwareArea(int index, int modelKind) {
    bool k30 = modelKind == ModelKindKorva30;
    bool k40 = modelKind == ModelKindKorva40;
    switch (index) {
    case AreaExtFont:
        return {index, 0x600000, 0x100000, 0x46};
    case AreaLcdFont:
        return {index, 0x000000, 0x200000, 0xBB};
    case AreaDownload:
        return {index, k30 ? 0x3D0000u : k40 ? 0x4D0000u : 0x5D0000u, 0x18000, 0x44};
    case AreaBoot:
        return {index, 0x2E0000, 0x15000, 0x42};
    default:
        return {AreaProgram,
                k30   ? 0x300000u
                : k40 ? 0x400000u
                      : 0x500000u,
                k30 ? 0x98000u : 0xD0000u, static_cast<std::uint8_t>(k30 ? 0x52 : 0x51)};
    }
}

const char* areaCaption(int index, bool korean) {
    auto i = static_cast<std::size_t>(std::clamp(index, 0, kFirmwareAreaCount - 1));
    return korean ? kKorean[i] : kEnglish[i];
}

const char* areaName(int index) {
    return kNames[static_cast<std::size_t>(std::clamp(index, 0, kFirmwareAreaCount - 1))];
}

std::optional<int> areaFromName(const std::string& name) {
    for (int i = 0; i < kFirmwareAreaCount; ++i)
        if (name == kNames[static_cast<std::size_t>(i)])
            return i;
    return std::nullopt;
}

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Without waiting: a FIFO or a device named like a firmware file must not hang the caller.
File openRegular(const std::string& path, std::uint64_t& size) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return nullptr;
    struct stat st {};
    std::FILE* f = nullptr;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || !(f = ::fdopen(fd, "rb"))) {
        ::close(fd);
        return nullptr;
    }
    size = static_cast<std::uint64_t>(st.st_size);
    return File(f);
}

std::size_t readAt(std::FILE* f, std::uint64_t offset, std::uint8_t* out, std::size_t length) {
    if (::fseeko(f, static_cast<off_t>(offset), SEEK_SET) != 0)
        return 0;
    return std::fread(out, 1, length, f);
}

} // namespace

std::optional<FirmwareTrailer> readFirmwareTrailer(const std::string& path) {
    std::uint64_t size = 0;
    File in = openRegular(path, size);
    if (!in)
        return std::nullopt;
    std::array<std::uint8_t, 5> tail{};
    if (readAt(in.get(), kBootEnableOffset, tail.data(), tail.size()) != tail.size())
        return FirmwareTrailer{}; // too short to carry a signature
    return FirmwareTrailer{tail[0], signatureAt(tail.data() + 1)};
}

FirmwareImage::Load FirmwareImage::load(const std::string& path) {
    release();
    File in = openRegular(path, m_fileSize);
    if (!in)
        return Load::OpenFailed;
    if (m_fileSize != kFirmwareFileSize)
        return Load::WrongSize;
    // A file without the signature is refused before its 8 MiB are read; the signature is
    // checked again on what was read, in case the file changed in between.
    std::array<std::uint8_t, 4> signature{};
    if (readAt(in.get(), kSignatureOffset, signature.data(), signature.size()) != signature.size())
        return Load::ShortRead;
    if (!signatureAt(signature.data()))
        return Load::WrongSignature;
    // Every byte is read into the buffer or the buffer is dropped, so it needs no filling.
    m_bytes = std::make_unique_for_overwrite<std::uint8_t[]>(kFirmwareFileSize);
    if (readAt(in.get(), 0, m_bytes.get(), kFirmwareFileSize) != kFirmwareFileSize) {
        release();
        return Load::ShortRead;
    }
    if (!signatureAt(m_bytes.get() + kSignatureOffset)) {
        release();
        return Load::WrongSignature;
    }
    return Load::Ok;
}

std::uint8_t FirmwareImage::bootEnable() const {
    return m_bytes ? m_bytes[kBootEnableOffset] : 0;
}

void FirmwareImage::release() {
    m_bytes.reset();
}

} // namespace korva
