#pragma once
// A Clock for controllers that pause on the GUI thread. While pumping is on (a transfer window
// is up), a pause keeps the event loop running: the window repaints, its progress moves and a
// Cancel click is taken (the controller sees it when its pause ends). While it is off, a pause
// blocks as the underlying clock does, so nothing can run into a controller mid-call.
//
// Time comes from the underlying clock: a real clock waits in the event loop; a virtual one
// (tests) handles the pending events once and lets virtual time pass, so each pause is still
// recorded. GUI thread only.
#include "base/Clock.h"

namespace korva {

class EventLoopClock final : public Clock {
public:
    // time outlives this clock.
    explicit EventLoopClock(Clock& time);

    std::int64_t nowMs() override { return m_time.nowMs(); }
    void sleepMs(int ms) override;

    void setPumping(bool on) { m_pumping = on; }
    bool pumping() const { return m_pumping; }

private:
    Clock& m_time;
    bool m_realTime;
    bool m_pumping = false;
};

} // namespace korva
