#pragma once
// The firmware image file: a byte-for-byte copy of the printer's 8 MiB flash, with the
// boot-enable byte at 0x7FFFFB and the signature "QOLT" in its last four bytes, and the table of
// the five flash areas a download can rewrite, by ModelKind.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace korva {

constexpr std::uint32_t kFirmwareFileSize = 0x800000;
constexpr std::uint32_t kBootEnableOffset = 0x7FFFFB;
constexpr std::uint32_t kSignatureOffset = 0x7FFFFC;
constexpr int kFirmwareAreaCount = 5;

enum FirmwareAreaIndex : int {
    AreaProgram = 0,
    AreaExtFont = 1,
    AreaLcdFont = 2,
    AreaDownload = 3,
    AreaBoot = 4,
};

struct FirmwareArea {
    int index = AreaProgram;
    std::uint32_t offset = 0; // where the area starts in the file
    std::uint32_t length = 0; // L, the frame's length including its 10-byte header
    std::uint8_t code = 0;    // the area code of the frame header
};

// The area of the given index (0..4) for a ModelKind; index out of range gives Program Area.
FirmwareArea firmwareArea(int index, int modelKind);
const char* areaCaption(int index, bool korean);
// The command-line name of an area ("program", "ext-font", "lcd-font", "download", "boot").
const char* areaName(int index);
std::optional<int> areaFromName(const std::string& name);

// A boot-enable byte of 1..10 lets expert mode choose the Boot Area.
inline bool bootAllowed(std::uint8_t bootEnable) {
    return bootEnable >= 1 && bootEnable <= 10;
}

// The five trailing bytes read without loading the image (File Open, opening the screen).
struct FirmwareTrailer {
    std::uint8_t bootEnable = 0;
    bool signatureOk = false;
};
std::optional<FirmwareTrailer> readFirmwareTrailer(const std::string& path);

class FirmwareImage {
public:
    enum class Load { Ok, OpenFailed, WrongSize, ShortRead, WrongSignature };

    // Reads the whole file (when its size and signature are right). fileSize() tells the size
    // found (for the size message) whatever the outcome; bytes() is empty unless Ok.
    Load load(const std::string& path);
    std::uint64_t fileSize() const { return m_fileSize; }
    std::span<const std::uint8_t> bytes() const {
        return m_bytes ? std::span<const std::uint8_t>(m_bytes.get(), kFirmwareFileSize)
                       : std::span<const std::uint8_t>();
    }
    std::uint8_t bootEnable() const;
    void release();

private:
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::uint64_t m_fileSize = 0;
};

} // namespace korva
