#pragma once
// The 4096-byte receive ring shared by a producer thread (a receive thread) and one consumer
// (the screen). It holds at most 4095 bytes: count is (tail - head) & 0xFFF.
//
// Contract: exactly one thread calls put (the producer) and exactly one thread calls get
// (the consumer); count, empty and freeRoom may be called by either. get on an empty queue is
// not allowed (callers test first). clear is for the consumer while no producer runs.
#include <array>
#include <atomic>
#include <cstdint>

namespace korva {

class CommQueue {
public:
    static constexpr std::uint32_t kSize = 4096;
    static constexpr std::uint32_t kMask = kSize - 1;

    void put(std::uint8_t byte) {
        std::uint32_t tail = m_tail.load(std::memory_order_relaxed);
        m_buffer[tail] = byte;
        m_tail.store((tail + 1) & kMask, std::memory_order_release);
    }

    std::uint8_t get() {
        std::uint32_t head = m_head.load(std::memory_order_relaxed);
        std::uint8_t byte = m_buffer[head];
        m_head.store((head + 1) & kMask, std::memory_order_release);
        return byte;
    }

    std::uint32_t count() const {
        return (m_tail.load(std::memory_order_acquire) - m_head.load(std::memory_order_acquire)) &
               kMask;
    }
    bool empty() const {
        return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire);
    }
    // Bytes that may still be put: 4096 - count, as the receive threads compute it.
    std::uint32_t freeRoom() const { return kSize - count(); }

    void clear() {
        m_head.store(0, std::memory_order_release);
        m_tail.store(0, std::memory_order_release);
        m_buffer.fill(0);
    }

private:
    std::atomic<std::uint32_t> m_head{0};
    std::atomic<std::uint32_t> m_tail{0};
    std::array<std::uint8_t, kSize> m_buffer{};
};

} // namespace korva
