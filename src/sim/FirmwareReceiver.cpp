#include "sim/FirmwareReceiver.h"

#include <cstdio>

namespace korva {

namespace {

struct AreaInfo {
    const char* name;
    std::uint32_t length;
    bool forModel;
};

AreaInfo areaFor(std::uint8_t code, int kind) {
    switch (code) {
    case 0x51:
        return {"program", 0xD0000, kind != 5 && kind != 2};
    case 0x52:
        return {"program", 0x98000, kind == 5};
    case 0x46:
        return {"ext-font", 0x100000, kind != 2};
    case 0xBB:
        return {"lcd-font", 0x200000, kind == 6};
    case 0x44:
        return {"downloader", 0x18000, kind != 2};
    case 0x42:
        return {"boot", 0x15000, kind != 2};
    default:
        return {"", 0, false};
    }
}

struct Korva10Area {
    int first, last;
    const char* name;
    std::uint32_t start, end;
};

constexpr Korva10Area kKorva10Areas[] = {
    {0x20, 0x22, "program", 0x1D0000, 0x1F0000},
    {0x22, 0x23, "boot", 0x1F0000, 0x200000},
    {0x1C, 0x1E, "font", 0x190000, 0x1B0000},
};

std::uint32_t be32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

std::string hex64(std::uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llX", static_cast<unsigned long long>(v));
    return buf;
}

} // namespace

constexpr std::uint8_t kBootAreaCode = 0x42;
constexpr std::uint32_t kBootTrailer = 0x0080FEFF;

bool FirmwareReceiver::isAreaCode(std::uint8_t code) {
    return *areaFor(code, 6).name != '\0';
}

void FirmwareReceiver::addFrameData(FrameProgress& frame, std::span<const std::uint8_t> data) {
    std::uint32_t sum = frame.computed;
    std::uint64_t fnv = frame.fnv;
    for (std::uint8_t b : data) {
        sum += b;
        fnv = (fnv ^ b) * 0x100000001B3ULL;
        frame.tail = frame.tail << 8 | b;
    }
    frame.computed = static_cast<std::uint16_t>(sum);
    frame.fnv = fnv;
    frame.received += static_cast<std::uint32_t>(data.size());
}

std::string FirmwareReceiver::finishFrame(const FrameProgress& frame, bool truncated) {
    AreaInfo info = areaFor(frame.areaCode, m_kind);
    FrameRecord r{frame, info.length, info.name, "ok"};
    if (truncated)
        r.verdict = "truncated";
    else if (frame.length != info.length)
        r.verdict = "bad-length";
    else if (frame.checksum != frame.computed)
        r.verdict = "bad-checksum";
    else if (!info.forModel)
        r.verdict = "wrong-area";
    else if (frame.areaCode == kBootAreaCode && frame.tail != kBootTrailer)
        r.verdict = "bad-boot-trailer";
    m_frames.push_back(r);
    return r.verdict;
}

std::string FirmwareReceiver::rejectFrame(const FrameProgress& frame) {
    AreaInfo info = areaFor(frame.areaCode, m_kind);
    FrameRecord r{frame, info.length, info.name, "bad-length"};
    m_frames.push_back(r);
    return r.verdict;
}

FirmwareReceiver::PacketOutcome FirmwareReceiver::handlePacket(const std::string& link,
                                                               std::uint64_t offset,
                                                               std::span<const std::uint8_t> p,
                                                               bool replied, int eraseMs) {
    PacketRecord r;
    r.link = link;
    r.offset = offset;
    PacketOutcome out;
    auto finish = [&](const char* verdict, bool ack) {
        r.verdict = verdict;
        out.dropped = ack && ++m_accepted == m_dropAckAt;
        r.reply = !replied ? "none" : out.dropped ? "dropped" : ack ? "ACK" : "NAK";
        out.verdict = verdict;
        out.ack = ack;
        out.address = r.address;
        out.dataLength = r.length;
        m_packets.push_back(r);
        return out;
    };
    if (p.size() < 8)
        return finish("bad-header", false);
    if (p[1] == 0xF2) {
        r.type = "erase";
        r.firstSector = p[2];
        r.lastSector = p[3];
        r.address = be32(p.data() + 4);
        if (p.size() < 10)
            return finish("bad-header", false);
        r.checksum = static_cast<std::uint16_t>(p[8] << 8 | p[9]);
        if (r.address != 0)
            return finish("bad-header", false);
        if (r.checksum != 0)
            return finish("bad-checksum", false);
        for (const Korva10Area& a : kKorva10Areas) {
            if (a.first == r.firstSector && a.last == r.lastSector) {
                m_areas.push_back({a.name, a.start, a.end, a.start});
                m_areaOpen = true;
                r.eraseMs = eraseMs;
                return finish("ok", true);
            }
        }
        return finish("bad-area", false);
    }
    r.type = p[1] == 0xF1 ? "last" : "write";
    r.length = static_cast<std::uint32_t>(p[2] << 8 | p[3]);
    r.address = be32(p.data() + 4);
    if (r.length == 0 || r.length > 512 || p.size() != r.length + 10)
        return finish("bad-length", false);
    std::uint32_t sum = 0;
    for (std::size_t i = 8; i < 8 + r.length; ++i)
        sum += p[i];
    r.computed = static_cast<std::uint16_t>(sum);
    r.checksum = static_cast<std::uint16_t>(p[8 + r.length] << 8 | p[9 + r.length]);
    if (r.checksum != r.computed)
        return finish("bad-checksum", false);
    if (!m_areaOpen || m_areas.empty())
        return finish("no-area", false);
    FlashArea& area = m_areas.back();
    if (r.address != area.next || r.address + r.length > area.end)
        return finish("bad-address", false);
    bool last = r.address + r.length == area.end;
    if ((p[1] == 0xF1) != last || (!last && r.length != 512))
        return finish("bad-header", false);
    ++m_goodWrites;
    if (m_nakEveryK > 0 && m_goodWrites % m_nakEveryK == 0)
        return finish("nak-fault", false);
    area.next += r.length;
    if (last)
        m_areaOpen = false;
    return finish("ok", true);
}

nlohmann::json FirmwareReceiver::framesJson() const {
    nlohmann::json out = nlohmann::json::array();
    for (const FrameRecord& f : m_frames) {
        out.push_back({{"link", f.progress.link},
                       {"offset", f.progress.offset},
                       {"areaCode", f.progress.areaCode},
                       {"area", f.area},
                       {"length", f.progress.length},
                       {"expectedLength", f.expected},
                       {"received", f.progress.received},
                       {"checksum", f.progress.checksum},
                       {"computedChecksum", f.progress.computed},
                       {"fnv1a64", hex64(f.progress.fnv)},
                       {"verdict", f.verdict}});
        if (f.progress.areaCode == kBootAreaCode)
            out.back()["bootTrailer"] = f.progress.tail == kBootTrailer ? "ok" : "bad";
    }
    return out;
}

nlohmann::json FirmwareReceiver::packetsJson() const {
    nlohmann::json out = nlohmann::json::array();
    for (const PacketRecord& p : m_packets) {
        nlohmann::json j = {{"link", p.link},
                            {"offset", p.offset},
                            {"type", p.type},
                            {"address", p.address},
                            {"length", p.length},
                            {"checksum", p.checksum},
                            {"computedChecksum", p.computed},
                            {"verdict", p.verdict},
                            {"reply", p.reply}};
        if (p.type == "erase") {
            j["firstSector"] = p.firstSector;
            j["lastSector"] = p.lastSector;
            j["eraseMs"] = p.eraseMs;
        }
        out.push_back(std::move(j));
    }
    return out;
}

nlohmann::json FirmwareReceiver::areasJson() const {
    nlohmann::json out = nlohmann::json::array();
    for (const FlashArea& a : m_areas)
        out.push_back({{"area", a.name},
                       {"start", a.start},
                       {"end", a.end},
                       {"next", a.next},
                       {"complete", a.next == a.end}});
    return out;
}

} // namespace korva
