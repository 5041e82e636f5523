#pragma once
// Periodic timers for the controllers, in the manner of window timers: start(id, ms) fires
// onTimer(id) every ms milliseconds on the controller's thread until kill(id); starting a
// running id restarts it with the new period.
#include <cstdint>
#include <map>

namespace korva {

class Clock;

class TimerClient {
public:
    virtual ~TimerClient() = default;
    virtual void onTimer(int id) = 0;
};

class TimerHost {
public:
    virtual ~TimerHost() = default;
    virtual void start(int id, int ms) = 0;
    virtual void kill(int id) = 0;
};

// A TimerQueue is bound to one client for its life; a relay lets the controller that runs now
// (one upload, then one print, ...) take the timers in turn.
class TimerRelay final : public TimerClient {
public:
    TimerClient* target = nullptr;
    void onTimer(int id) override {
        if (target)
            target->onTimer(id);
    }
};

// A TimerHost without an event loop: the owner calls fireNext() to sleep (on the given clock)
// until the earliest timer is due and fire it. korvactl runs it on the real clock, tests on a
// virtual one.
class TimerQueue final : public TimerHost {
public:
    TimerQueue(Clock& clock, TimerClient& client) : m_clock(clock), m_client(client) {}

    void start(int id, int ms) override;
    void kill(int id) override;

    bool active(int id) const { return m_timers.count(id) != 0; }
    int period(int id) const;
    bool empty() const { return m_timers.empty(); }

    // Sleeps until the earliest timer is due and fires it; false when no timer runs.
    bool fireNext();
    // Milliseconds until the earliest timer is due (0 when overdue), -1 when no timer runs; for
    // an owner that waits for something else meanwhile.
    std::int64_t msUntilNext() const;

private:
    struct Timer {
        int period;
        std::int64_t due;
    };
    Clock& m_clock;
    TimerClient& m_client;
    std::map<int, Timer> m_timers;
};

} // namespace korva
