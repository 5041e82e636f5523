#pragma once
// A token bucket for the slow-link fault: at most bytesPerSecond bytes per second, with a
// burst of a twentieth of a second. A limit of 0 or less means no limit.
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace korva {

class RateLimiter {
public:
    explicit RateLimiter(int bytesPerSecond)
        : m_rate(bytesPerSecond), m_capacity(std::max(1.0, bytesPerSecond / 20.0)) {}

    bool limited() const { return m_rate > 0; }

    // How many bytes may go now (unlimited: max).
    std::size_t allowance(std::int64_t nowMs) {
        if (!limited())
            return static_cast<std::size_t>(-1);
        refill(nowMs);
        return static_cast<std::size_t>(m_tokens);
    }
    void spend(std::size_t bytes) {
        if (limited())
            m_tokens = std::max(0.0, m_tokens - static_cast<double>(bytes));
    }
    // Milliseconds until at least one byte may go (0 when one may go now).
    int msUntilNext(std::int64_t nowMs) {
        if (!limited())
            return 0;
        refill(nowMs);
        if (m_tokens >= 1.0)
            return 0;
        return static_cast<int>((1.0 - m_tokens) * 1000.0 / m_rate) + 1;
    }

private:
    void refill(std::int64_t nowMs) {
        if (m_last < 0)
            m_last = nowMs;
        m_tokens =
            std::min(m_capacity, m_tokens + static_cast<double>(nowMs - m_last) * m_rate / 1000.0);
        m_last = nowMs;
    }

    int m_rate;
    double m_capacity;
    double m_tokens = 1.0;
    std::int64_t m_last = -1;
};

} // namespace korva
