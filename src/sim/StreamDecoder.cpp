#include "sim/StreamDecoder.h"

#include <algorithm>
#include <cstdio>

#include "sim/PrinterCore.h"

namespace korva {

namespace {

bool isText(std::uint8_t c) {
    return c == 0x09 || c == 0x0A || c == 0x0D || (c >= 0x20 && c != 0x7F);
}

bool isPacketType(std::uint8_t c) {
    return c >= 0xF0 && c <= 0xF2;
}

std::string hexOf(const std::uint8_t* p, std::size_t n) {
    std::string out;
    char buf[3];
    for (std::size_t i = 0; i < n && i < 64; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", p[i]);
        out += buf;
    }
    return out;
}

} // namespace

StreamDecoder::StreamDecoder(PrinterCore& core, std::string link, ReplyFn reply, bool honourBusy)
    : m_core(core), m_link(std::move(link)), m_reply(std::move(reply)), m_honourBusy(honourBusy) {}

void StreamDecoder::reply(std::vector<std::uint8_t> bytes, int delayMs) {
    if (m_reply && !bytes.empty())
        m_reply(std::move(bytes), delayMs);
}

void StreamDecoder::feed(std::span<const std::uint8_t> data, std::int64_t nowMs) {
    std::lock_guard lock(m_core.mutex());
    m_core.addReceived(m_link, data.size());
    // Bytes already received when an erase began stay in the receive buffer; those arriving
    // while the NV memory or flash sectors are being erased are lost.
    const char* erasing = !m_honourBusy                 ? nullptr
                          : m_core.nvErasing(nowMs)     ? "nv-erase"
                          : m_core.sectorErasing(nowMs) ? "sector-erase"
                                                        : nullptr;
    if (erasing) {
        // What waits for more bytes can never be completed by them: it ends here as cut short.
        run(true, nowMs);
        m_buf.insert(m_buf.end(), data.begin(), data.end());
        m_lostUntil = received();
        m_lostReason = erasing;
    } else {
        m_buf.insert(m_buf.end(), data.begin(), data.end());
    }
    run(false, nowMs);
}

void StreamDecoder::finish() {
    std::lock_guard lock(m_core.mutex());
    run(true, 0);
}

void StreamDecoder::run(bool atEnd, std::int64_t nowMs) {
    m_nowMs = nowMs;
    while (m_pos < m_buf.size()) {
        const std::uint8_t* p = m_buf.data() + m_pos;
        std::size_t n = m_buf.size() - m_pos;
        if (m_switchedOff) {
            m_core.addIgnored(m_link, at(0), n, "switched off");
            m_pos += n;
            break;
        }
        if (at(0) < m_lostUntil) {
            const std::size_t skip =
                static_cast<std::size_t>(std::min<std::uint64_t>(n, m_lostUntil - at(0)));
            m_core.addIgnored(m_link, at(0), skip, m_lostReason);
            m_pos += skip;
            continue;
        }
        if (m_mode == Mode::Idle && m_honourBusy && m_core.busy(nowMs)) {
            m_core.addIgnored(m_link, at(0), n, "busy");
            m_pos += n;
            break;
        }
        std::size_t used = 0;
        switch (m_mode) {
        case Mode::Idle:
            used = idle(p, n, atEnd, nowMs);
            break;
        case Mode::NvRecords:
            used = nvRecords(p, n, atEnd);
            break;
        case Mode::AreaData:
            used = areaData(p, n, atEnd);
            break;
        }
        if (used == 0)
            break;
        m_pos += used;
    }
    if (atEnd) {
        if (m_mode == Mode::NvRecords)
            endNv("truncated");
        else if (m_mode == Mode::AreaData) {
            std::string verdict = m_core.firmware().finishFrame(m_frame, true);
            m_core.addCommand(m_link, m_frame.offset, m_frame.received, "area-frame",
                              {{"areaCode", m_frame.areaCode},
                               {"frameLength", m_frame.length},
                               {"verdict", verdict}});
            m_mode = Mode::Idle;
        }
    }
    // Drop what has been consumed; large payloads are consumed as they come, so the buffer
    // only ever holds one incomplete command.
    m_base += m_pos;
    m_buf.erase(m_buf.begin(), m_buf.begin() + static_cast<std::ptrdiff_t>(m_pos));
    m_pos = 0;
}

std::size_t StreamDecoder::idle(const std::uint8_t* p, std::size_t n, bool atEnd,
                                std::int64_t nowMs) {
    auto bad = [&](std::size_t len, const char* reason) {
        m_core.addUndecodable(m_link, at(0), {p, len}, reason);
        return len;
    };
    // A command that needs more bytes than are here: wait, unless the stream has ended.
    auto cut = [&]() -> std::size_t { return atEnd ? bad(n, "truncated command") : 0; };
    auto orCut = [&](std::size_t used) { return used ? used : cut(); };

    const std::uint8_t b = p[0];
    if (b == 0x00) {
        std::size_t i = 1;
        while (i < n && p[i] == 0x00)
            ++i;
        m_core.addNul(m_link, at(0), i);
        return i;
    }
    if (b == 0x40 && n >= 2 && isPacketType(p[1]))
        return orCut(packet(p, n));
    if (isText(b)) {
        std::size_t i = 0;
        while (i < n && isText(p[i])) {
            // '@' may start a KORVA10 packet; it stays text unless F0..F2 follows.
            if (p[i] == 0x40) {
                if (i + 1 < n ? isPacketType(p[i + 1]) : !atEnd)
                    break;
            }
            ++i;
        }
        if (i == 0)
            return cut();
        m_core.addText(m_link, at(0), {p, i});
        return i;
    }
    switch (b) {
    case 0x1B: // ESC
        if (n < 2)
            return cut();
        switch (p[1]) {
        case 0x40:
            m_core.finishLine();
            m_core.addCommand(m_link, at(0), 2, "init");
            return 2;
        case 0x69:
        case 0x6D:
            m_core.cut(p[1] == 0x6D);
            m_core.addCommand(m_link, at(0), 2, "cut", {{"partial", p[1] == 0x6D}});
            return 2;
        case 0x1C: // ESC FS q / ESC FS p: the star emulation forms
            if (n < 3)
                return cut();
            if (p[2] == 0x71)
                return orCut(beginNv(p, n, true));
            if (p[2] == 0x70)
                return orCut(nvPrint(p, n, true));
            return bad(1, "unknown command");
        default:
            return bad(1, "unknown command");
        }
    case 0x1C: // FS
        if (n < 2)
            return cut();
        if (p[1] == 0x71)
            return orCut(beginNv(p, n, false));
        if (p[1] == 0x70)
            return orCut(nvPrint(p, n, false));
        return bad(1, "unknown command");
    case 0x1D: // GS
        if (n < 2)
            return cut();
        switch (p[1]) {
        case 0x49: { // GS I n: transmit printer ID
            if (n < 3)
                return cut();
            int id = -1;
            switch (p[2]) {
            case 1:
            case 49:
                id = m_core.model().idByte;
                break;
            case 2:
            case 50:
                id = 0x02; // type: auto cutter fitted
                break;
            case 3:
            case 51:
                id = 0x10; // ROM version
                break;
            default:
                break;
            }
            const bool dropped = m_core.options().dropIdReply && (p[2] == 1 || p[2] == 49);
            if (m_core.options().mute || dropped)
                id = -1;
            if (id >= 0)
                reply({static_cast<std::uint8_t>(id)});
            m_core.addCommand(m_link, at(0), 3, "printer-id",
                              {{"n", p[2]}, {"reply", id}, {"dropped", dropped}});
            return 3;
        }
        case 0x61: // GS a n: automatic status back
            if (n < 3)
                return cut();
            m_core.addCommand(m_link, at(0), 3, "status-back", {{"n", p[2]}});
            return 3;
        case 0x56: { // GS V m [n]: cut
            if (n < 3)
                return cut();
            std::uint8_t m = p[2];
            if (m == 0 || m == 1 || m == 48 || m == 49) {
                m_core.cut(m == 1 || m == 49);
                m_core.addCommand(m_link, at(0), 3, "cut", {{"partial", m == 1 || m == 49}});
                return 3;
            }
            if (m == 65 || m == 66) {
                if (n < 4)
                    return cut();
                m_core.cut(m == 66);
                m_core.addCommand(m_link, at(0), 4, "cut", {{"partial", m == 66}});
                return 4;
            }
            return bad(1, "unknown command");
        }
        case 0x28: { // GS ( X pL pH ...
            if (n < 5)
                return cut();
            if (p[2] == 0x45)
                return orCut(setupCommand(p, n, nowMs));
            std::size_t len = static_cast<std::size_t>(p[3] | p[4] << 8);
            if (n < 5 + len)
                return cut();
            if (p[2] == 0x4E && len == 2 && p[5] == 0x30)
                m_core.addCommand(m_link, at(0), 7, "char-colour", {{"m", p[6]}});
            else
                m_core.addCommand(m_link, at(0), 5 + len, "gs-paren",
                                  {{"group", p[2]}, {"hex", hexOf(p + 5, len)}});
            return 5 + len;
        }
        default:
            return bad(1, "unknown command");
        }
    case 0x01: { // 01 11 code 30: an area frame
        if (n < 2)
            return cut();
        if (p[1] != 0x11)
            return bad(1, "unknown byte");
        if (n < 4)
            return cut();
        if (!FirmwareReceiver::isAreaCode(p[2]) || p[3] != 0x30)
            return bad(1, "unknown byte");
        if (n < 10)
            return cut();
        m_frame = {};
        m_frame.link = m_link;
        m_frame.offset = at(0);
        m_frame.areaCode = p[2];
        m_frame.length = static_cast<std::uint32_t>(p[4]) | static_cast<std::uint32_t>(p[5]) << 8 |
                         static_cast<std::uint32_t>(p[6]) << 16 |
                         static_cast<std::uint32_t>(p[7]) << 24;
        m_frame.checksum = static_cast<std::uint16_t>(p[8] | p[9] << 8);
        if (m_frame.length < 10 || m_frame.length > FirmwareReceiver::kMaxFrameLength) {
            std::string verdict = m_core.firmware().rejectFrame(m_frame);
            m_core.addCommand(m_link, at(0), 10, "area-frame",
                              {{"areaCode", m_frame.areaCode},
                               {"frameLength", m_frame.length},
                               {"verdict", verdict}});
            return 10;
        }
        m_mode = Mode::AreaData;
        if (m_frame.length == 10)
            areaData(p + 10, 0, false);
        return 10;
    }
    default:
        return bad(1, "unknown byte");
    }
}

std::size_t StreamDecoder::setupCommand(const std::uint8_t* p, std::size_t n, std::int64_t nowMs) {
    const std::size_t m = static_cast<std::size_t>(p[3] | p[4] << 8);
    if (m == 0) {
        m_core.addUndecodable(m_link, at(0), {p, 5}, "setup command without function");
        return 5;
    }
    if (n < 6)
        return 0;
    const int fn = p[5];
    if ((fn == 1 && m != 3) || (fn == 2 && m != 4) || (fn == 6 && m != 2)) {
        // The length lies: the printer would swallow what follows, so only the command's own
        // six bytes are set aside and decoding goes on after them.
        m_core.addUndecodable(m_link, at(0), {p, 6}, "setup length does not fit its function");
        return 6;
    }
    if (n < 5 + m)
        return 0;
    const std::size_t total = 5 + m;
    switch (fn) {
    case 1:
        if (p[6] == 'I' && p[7] == 'N') {
            m_core.enterBracket();
            m_core.addCommand(m_link, at(0), total, "setup-enter");
            return total;
        }
        break;
    case 2:
        if (p[6] == 'O' && p[7] == 'U' && p[8] == 'T') {
            int busyMs = m_honourBusy ? std::max(0, m_core.options().leaveBusyMs) : 0;
            m_core.leaveBracket(nowMs + busyMs);
            m_core.addCommand(m_link, at(0), total, "setup-leave", {{"busyMs", busyMs}});
            return total;
        }
        break;
    case 5: {
        nlohmann::json stored = nlohmann::json::array();
        nlohmann::json unknown = nlohmann::json::array();
        nlohmann::json invalid = nlohmann::json::array();
        for (const SettingStore::Record& r : m_core.settings().apply({p + 6, m - 1})) {
            std::string raw = hexOf(r.raw.data(), r.raw.size());
            switch (r.verdict) {
            case SettingStore::Record::Verdict::Stored:
                stored.push_back({{"number", r.number}, {"value", r.value}});
                break;
            case SettingStore::Record::Verdict::Unknown:
                unknown.push_back({{"number", r.number}, {"hex", raw}});
                break;
            case SettingStore::Record::Verdict::Invalid:
                invalid.push_back({{"number", r.number}, {"hex", raw}});
                break;
            case SettingStore::Record::Verdict::Truncated:
                invalid.push_back({{"number", r.number}, {"hex", raw}, {"truncated", true}});
                break;
            }
        }
        m_core.countWrite();
        m_core.addCommand(m_link, at(0), total, "setup-write",
                          {{"records", stored},
                           {"unknown", unknown},
                           {"invalid", invalid},
                           {"inBracket", m_core.inBracket()}});
        return total;
    }
    case 6: {
        const int number = p[6];
        const SimOptions& o = m_core.options();
        std::optional<std::string> text = m_core.settings().queryText(number);
        const char* why = nullptr;
        if (!text)
            why = SettingStore::isWriteOnly(number) ? "write-only" : "unknown setting";
        else if (o.mute)
            why = "mute";
        else if (std::find(o.dropReplyFor.begin(), o.dropReplyFor.end(), number) !=
                 o.dropReplyFor.end())
            why = "dropped";
        nlohmann::json extra = {{"number", number}, {"inBracket", m_core.inBracket()}};
        if (why) {
            extra["reply"] = nullptr;
            extra["why"] = why;
        } else {
            std::vector<std::uint8_t> answer = {0x37, 0x27};
            for (char c : std::to_string(number))
                answer.push_back(static_cast<std::uint8_t>(c));
            answer.push_back(0x1F);
            answer.insert(answer.end(), text->begin(), text->end());
            answer.push_back(0x00);
            reply(std::move(answer));
            extra["reply"] = *text;
        }
        m_core.countQuery(why == nullptr);
        m_core.addCommand(m_link, at(0), total, "setup-query", std::move(extra));
        return total;
    }
    default:
        break;
    }
    m_core.addCommand(m_link, at(0), total, "setup-other",
                      {{"fn", fn}, {"hex", hexOf(p + 6, m - 1)}});
    return total;
}

std::size_t StreamDecoder::packet(const std::uint8_t* p, std::size_t n) {
    std::size_t len = 0;
    if (p[1] == 0xF2) {
        len = 10;
    } else {
        if (n < 4)
            return 0;
        std::size_t data = static_cast<std::size_t>(p[2] << 8 | p[3]);
        // A length the packet buffer cannot hold: only the header is taken, and refused.
        len = (data == 0 || data > 512) ? 8 : data + 10;
    }
    if (n < len)
        return 0;
    const SimOptions& o = m_core.options();
    const bool answer = !o.mute;
    // An accepted erase keeps the printer busy for every sector from the first to the last; its
    // ACK comes when they are erased.
    const bool erase = p[1] == 0xF2;
    const int sectors = erase ? std::max(0, p[3] - p[2] + 1) : 0;
    const int eraseMs = m_honourBusy ? std::max(0, o.sectorEraseMs) * sectors : 0;
    FirmwareReceiver::PacketOutcome out =
        m_core.firmware().handlePacket(m_link, at(0), {p, len}, answer, eraseMs);
    const bool erased = erase && out.ack && eraseMs > 0;
    if (erased)
        m_core.startSectorErase(m_nowMs + eraseMs);
    if (answer && !out.dropped)
        reply({0x10, static_cast<std::uint8_t>(out.ack ? 0x06 : 0x15)}, erased ? eraseMs : 0);
    nlohmann::json extra = {{"address", out.address},
                            {"dataLength", out.dataLength},
                            {"verdict", out.verdict},
                            {"reply", !answer       ? "none"
                                      : out.dropped ? "dropped"
                                      : out.ack     ? "ACK"
                                                    : "NAK"}};
    if (erased)
        extra["eraseMs"] = eraseMs;
    m_core.addCommand(m_link, at(0), len, erase ? "fw-erase" : "fw-write", std::move(extra));
    return len;
}

std::size_t StreamDecoder::beginNv(const std::uint8_t* p, std::size_t n, bool star) {
    const std::size_t header = star ? 3 : 2;
    if (n < header + 1)
        return 0;
    m_nvDef = {};
    m_nvDef.offset = at(0);
    m_nvDef.length = header + 1;
    m_nvDef.star = star;
    m_nvDef.count = p[header];
    m_nvDef.capacity = m_core.nvCapacityBytes();
    m_core.beginNvDefinition();
    if (m_honourBusy && m_core.options().nvEraseMs > 0)
        m_core.startNvErase(m_nowMs + m_core.options().nvEraseMs);
    if (m_nvDef.count == 0)
        endNv("ok");
    else
        m_mode = Mode::NvRecords;
    return header + 1;
}

std::size_t StreamDecoder::nvRecords(const std::uint8_t* p, std::size_t n, bool atEnd) {
    NvDefinition& d = m_nvDef;
    if (!d.inData) {
        if (n < 4) {
            if (!atEnd)
                return 0;
            d.length += n; // a record header cut short; run() closes the definition
            return n;
        }
        const bool gray = (p[1] & 0xA0) == 0xA0;
        const std::size_t x = static_cast<std::size_t>(p[0] | (gray ? p[1] & 0x5F : p[1]) << 8);
        const std::size_t y = static_cast<std::size_t>(p[2] | p[3] << 8);
        const std::size_t k = (gray ? 32 : 8) * x * y;
        d.length += 4;
        if (k == 0) {
            ++d.empty;
            if (++d.index == d.count)
                endNv("ok");
            return 4;
        }
        if (d.bytes + k > d.capacity) {
            // More than the NV memory can hold: the printer stores no more of the definition,
            // which ends here, and what follows is decoded afresh.
            endNv("too-large");
            return 4;
        }
        d.image = {};
        d.image.number = d.index + 1;
        d.image.widthDots = static_cast<int>(x * 8);
        d.image.heightDots = static_cast<int>(y * 8);
        d.image.gray = gray;
        d.image.data.reserve(k);
        d.want = k;
        d.inData = true;
        return 4;
    }
    const std::size_t take = std::min(n, d.want - d.image.data.size());
    d.image.data.insert(d.image.data.end(), p, p + take);
    d.length += take;
    d.bytes += take;
    if (d.image.data.size() == d.want) {
        d.inData = false;
        d.stored.push_back(d.image.number);
        m_core.storeNvImage(std::move(d.image));
        d.image = {};
        if (++d.index == d.count)
            endNv("ok");
    }
    return take;
}

void StreamDecoder::endNv(const char* status) {
    const NvDefinition& d = m_nvDef;
    m_core.addCommand(m_link, d.offset, d.length, "nv-define",
                      {{"star", d.star},
                       {"count", d.count},
                       {"images", d.stored},
                       {"empty", d.empty},
                       {"erase", d.stored.empty()},
                       {"status", status}});
    m_nvDef = {};
    m_mode = Mode::Idle;
}

std::size_t StreamDecoder::nvPrint(const std::uint8_t* p, std::size_t n, bool star) {
    const std::size_t header = star ? 3 : 2;
    if (n < header + 2)
        return 0;
    const int image = p[header];
    const int quality = p[header + 1];
    // m is 0..3 or its ASCII form '0'..'3'; the printer ignores the command for any other m.
    const int size = quality <= 3 ? quality : quality >= 48 && quality <= 51 ? quality - 48 : -1;
    if (size < 0) {
        m_core.addCommand(m_link, at(0), header + 2, "nv-print",
                          {{"star", star},
                           {"image", image},
                           {"quality", quality},
                           {"found", false},
                           {"ignored", "bad quality"}});
        return header + 2;
    }
    bool found = m_core.printNvImage(m_link, at(0), image, size);
    m_core.addCommand(m_link, at(0), header + 2, "nv-print",
                      {{"star", star}, {"image", image}, {"quality", quality}, {"found", found}});
    return header + 2;
}

std::size_t StreamDecoder::areaData(const std::uint8_t* p, std::size_t n, bool atEnd) {
    (void)atEnd;
    const std::size_t remaining = m_frame.length - m_frame.received;
    const std::size_t take = std::min(n, remaining);
    FirmwareReceiver::addFrameData(m_frame, {p, take});
    if (m_frame.received == m_frame.length) {
        std::string verdict = m_core.firmware().finishFrame(m_frame, false);
        m_core.addCommand(m_link, m_frame.offset, m_frame.length, "area-frame",
                          {{"areaCode", m_frame.areaCode},
                           {"frameLength", m_frame.length},
                           {"verdict", verdict}});
        m_mode = Mode::Idle;
        // The printer writes the area to flash and switches itself off.
        m_switchedOff = verdict == "ok";
    }
    return take;
}

} // namespace korva
