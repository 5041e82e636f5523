#pragma once
// Time as the controllers see it. Controllers never call sleep or read a clock directly, so
// tests can run every multi-second pause in virtual time and assert the waits.
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

namespace korva {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual std::int64_t nowMs() = 0;
    // Pause the calling thread for ms milliseconds (0 or less returns at once).
    virtual void sleepMs(int ms) = 0;
};

class RealClock final : public Clock {
public:
    std::int64_t nowMs() override;
    void sleepMs(int ms) override;
};

// Time advances only when somebody sleeps; every sleep is recorded. Any thread may call it.
// A sleep also yields the processor for a moment, so polling loops that sleep between tries
// let the thread they wait for run.
class VirtualClock final : public Clock {
public:
    std::int64_t nowMs() override;
    void sleepMs(int ms) override;
    void advance(int ms); // move time on without recording a sleep

    std::vector<int> sleeps() const; // every sleep, in order
    std::int64_t totalSleptMs() const;
    void clearSleeps();
    // Called after each sleep has moved time on, on the sleeping thread: a test's stand-in for
    // what changes in the world during a pause (a device coming back, a printer waking up).
    void onSleep(std::function<void(int ms)> hook);

private:
    mutable std::mutex m_mutex;
    std::int64_t m_now = 0;
    std::int64_t m_total = 0;
    std::vector<int> m_sleeps;
    std::function<void(int)> m_onSleep;
};

} // namespace korva
