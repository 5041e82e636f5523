#pragma once
// The printer's side of both firmware procedures.
//
// Area frames (01 11 code 30, L little-endian, CS little-endian, data): the decoder streams
// the frame's data through here; the frame is judged when its L bytes are in (or the stream
// ended first): its L against the area's length for this model, its CS against the sum of
// bytes 10..L-1, and its area code against the model. A Boot Area frame must end in the fixed
// bytes 00 80 FE FF (bad-boot-trailer otherwise).
//
// KORVA10 packets (40 F2 erase, 40 F0 / 40 F1 write; big-endian fields; checksum = sum of the
// data bytes modulo 65536, high byte first): each packet is checked and answered DLE ACK, or
// DLE NAK when it is bad, when no area has been erased, when its address does not continue the
// area, or when the NAK-every-k fault picks it. A NAKed packet changes nothing, so the resent
// packet is judged afresh. The drop-ACK fault takes the n-th accepted packet in (the erase
// packet counts) but loses its DLE ACK. Not thread-safe: the owner locks.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace korva {

class FirmwareReceiver {
public:
    FirmwareReceiver(int modelKind, int nakEveryK, int dropAckAt = 0)
        : m_kind(modelKind), m_nakEveryK(nakEveryK), m_dropAckAt(dropAckAt) {}

    // Area frame header tests, used by the decoder before it commits to a frame.
    static bool isAreaCode(std::uint8_t code);
    static constexpr std::uint32_t kMaxFrameLength = 0x800000; // the whole flash image

    struct FrameProgress {
        std::string link;
        std::uint64_t offset = 0;
        std::uint8_t areaCode = 0;
        std::uint32_t length = 0;   // L from the header
        std::uint16_t checksum = 0; // CS from the header
        std::uint32_t received = 10;
        std::uint16_t computed = 0;
        std::uint64_t fnv = 0xCBF29CE484222325ULL; // FNV-1a 64 over the data bytes
        std::uint32_t tail = 0; // the last four data bytes, oldest in the top byte

        bool operator==(const FrameProgress&) const = default;
    };
    static void addFrameData(FrameProgress& frame, std::span<const std::uint8_t> data);
    // Judges and records a frame; returns its verdict text.
    std::string finishFrame(const FrameProgress& frame, bool truncated);
    // A header whose L cannot be a frame (below 10 or beyond the flash): recorded, not received.
    std::string rejectFrame(const FrameProgress& frame);

    struct PacketOutcome {
        std::string verdict; // "ok", "bad-checksum", ...
        bool ack = false;
        bool dropped = false; // accepted, but the ACK is lost (the drop-ACK fault)
        std::uint32_t address = 0;
        std::uint32_t dataLength = 0;
    };
    // packet: the whole packet (10 bytes for erase, n + 10 for write); a write header whose
    // length field is 0 or above 512 comes as just its 8 header bytes. eraseMs: how long an
    // accepted erase packet keeps the printer busy (recorded with it).
    PacketOutcome handlePacket(const std::string& link, std::uint64_t offset,
                               std::span<const std::uint8_t> packet, bool replied, int eraseMs = 0);

    nlohmann::json framesJson() const;
    nlohmann::json packetsJson() const;
    nlohmann::json areasJson() const;

    bool operator==(const FirmwareReceiver&) const = default;

private:
    struct FrameRecord {
        FrameProgress progress;
        std::uint32_t expected = 0;
        std::string area;
        std::string verdict;

        bool operator==(const FrameRecord&) const = default;
    };
    struct PacketRecord {
        std::string link;
        std::uint64_t offset = 0;
        std::string type;
        int firstSector = 0, lastSector = 0;
        std::uint32_t address = 0, length = 0;
        std::uint16_t checksum = 0, computed = 0;
        int eraseMs = 0;
        std::string verdict;
        std::string reply;

        bool operator==(const PacketRecord&) const = default;
    };
    struct FlashArea {
        std::string name;
        std::uint32_t start = 0, end = 0, next = 0;

        bool operator==(const FlashArea&) const = default;
    };

    int m_kind;
    int m_nakEveryK;
    int m_dropAckAt;
    long m_goodWrites = 0;
    long m_accepted = 0;
    std::vector<FrameRecord> m_frames;
    std::vector<PacketRecord> m_packets;
    std::vector<FlashArea> m_areas; // one per accepted erase; the last is the current one
    bool m_areaOpen = false;
};

} // namespace korva
