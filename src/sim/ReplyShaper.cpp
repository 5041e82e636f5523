#include "sim/ReplyShaper.h"

#include <algorithm>

namespace korva {

ReplyShaper::ReplyShaper(const SimOptions& options, bool usbEscape, unsigned seed)
    : m_status(options.statusBlocks), m_garbage(options.garbage), m_split(options.splitReplies),
      m_escape(usbEscape), m_random(seed) {}

std::vector<std::uint8_t> ReplyShaper::usbEscape(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> out;
    out.reserve(bytes.size() + 8);
    for (std::uint8_t b : bytes) {
        if (b == 0x00) {
            out.push_back(0x1B);
            out.push_back(0x30);
        } else if (b == 0x1B) {
            out.push_back(0x1B);
            out.push_back(0x1B);
        } else {
            out.push_back(b);
        }
    }
    return out;
}

bool ReplyShaper::push(std::vector<std::uint8_t> reply, std::int64_t nowMs) {
    // Appended byte by byte: the prefixes are a handful of bytes and a reply is short.
    std::vector<std::uint8_t> bytes;
    bytes.reserve(reply.size() + 12);
    if (m_status)
        for (std::uint8_t b : {0x10, 0x00, 0x00, 0x0F})
            bytes.push_back(b);
    if (m_garbage) {
        int count = 1 + static_cast<int>(m_random() % 8);
        for (int i = 0; i < count; ++i) {
            std::uint8_t b;
            do {
                b = static_cast<std::uint8_t>(m_random());
            } while (b == 0x10 || b == 0x27 || b == 0x37);
            bytes.push_back(b);
        }
    }
    for (std::uint8_t b : reply)
        bytes.push_back(b);
    if (m_escape)
        bytes = usbEscape(bytes);
    if (m_queued + bytes.size() > kMaxQueued)
        return false;

    if (!m_split) {
        m_queued += bytes.size();
        m_segments.push_back({nowMs, std::move(bytes), 0, false});
        return true;
    }
    // Join the held-back tail of the previous reply with this one.
    if (!m_segments.empty() && m_segments.back().tail && m_segments.back().sent == 0) {
        Segment held = std::move(m_segments.back());
        m_segments.pop_back();
        m_queued -= held.bytes.size();
        for (std::uint8_t b : bytes)
            held.bytes.push_back(b);
        bytes = std::move(held.bytes);
    }
    std::size_t pieces = 1 + m_random() % std::min<std::size_t>(4, bytes.size());
    std::vector<std::size_t> cuts;
    for (std::size_t i = 1; i < pieces; ++i)
        cuts.push_back(1 + m_random() % (bytes.size() - 1));
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    cuts.push_back(bytes.size());
    std::size_t from = 0;
    std::int64_t due = nowMs;
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        bool last = i + 1 == cuts.size();
        Segment s;
        s.bytes.assign(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                       bytes.begin() + static_cast<std::ptrdiff_t>(cuts[i]));
        s.due = last ? due + kTailHoldMs : due;
        s.tail = last;
        m_queued += s.bytes.size();
        m_segments.push_back(std::move(s));
        from = cuts[i];
        due += 1 + static_cast<std::int64_t>(m_random() % 3);
    }
    return true;
}

std::span<const std::uint8_t> ReplyShaper::ready(std::int64_t nowMs) const {
    if (m_segments.empty() || m_segments.front().due > nowMs)
        return {};
    const Segment& s = m_segments.front();
    return std::span<const std::uint8_t>(s.bytes).subspan(s.sent);
}

void ReplyShaper::consumed(std::size_t bytes) {
    while (bytes > 0 && !m_segments.empty()) {
        Segment& s = m_segments.front();
        std::size_t take = std::min(bytes, s.bytes.size() - s.sent);
        s.sent += take;
        bytes -= take;
        m_queued -= take;
        if (s.sent == s.bytes.size())
            m_segments.pop_front();
    }
}

std::int64_t ReplyShaper::nextDueMs() const {
    return m_segments.empty() ? -1 : m_segments.front().due;
}

} // namespace korva
