#pragma once
// What happens to a reply between the printer and the wire, for one link: the fault prefixes
// (an automatic status block, garbage bytes), the USB escaping (1B 30 for 00, 1B 1B for 1B,
// applied to everything the USB link sends), and the split fault (the reply goes out in
// random fragments a few milliseconds apart; the last fragment is held back up to 15 ms and,
// when another reply comes within that time, joined with it).
//
// The queue is bounded: a reply that would make it exceed kMaxQueued bytes is refused (push
// returns false) instead of growing without limit while no client reads. Single thread.
#include <cstdint>
#include <deque>
#include <random>
#include <span>
#include <vector>

#include "sim/SimOptions.h"

namespace korva {

class ReplyShaper {
public:
    static constexpr std::size_t kMaxQueued = 1024 * 1024;
    static constexpr int kTailHoldMs = 15;

    ReplyShaper(const SimOptions& options, bool usbEscape, unsigned seed);

    bool push(std::vector<std::uint8_t> reply, std::int64_t nowMs);

    // The bytes that may be written now (empty when nothing is due).
    std::span<const std::uint8_t> ready(std::int64_t nowMs) const;
    void consumed(std::size_t bytes);
    // When the next fragment falls due; -1 when nothing is queued.
    std::int64_t nextDueMs() const;
    bool empty() const { return m_segments.empty(); }

    static std::vector<std::uint8_t> usbEscape(std::span<const std::uint8_t> bytes);

private:
    struct Segment {
        std::int64_t due = 0;
        std::vector<std::uint8_t> bytes;
        std::size_t sent = 0;
        bool tail = false;
    };

    bool m_status, m_garbage, m_split, m_escape;
    std::mt19937 m_random;
    std::deque<Segment> m_segments;
    std::size_t m_queued = 0;
};

} // namespace korva
