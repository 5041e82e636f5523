#pragma once
// A Clock for controllers that pause on the GUI thread: while they wait, the window goes on
// repainting and takes clicks (a Cancel pressed during a pause is seen by the controller when
// its pause ends). Time itself comes from another Clock: with a real clock a pause waits in
// the event loop; with a virtual one (tests) it handles the pending events once and lets
// virtual time pass, so every pause is still recorded.
//
// GUI thread only. A pause may run any handler of the event loop, so the code calling it must
// not depend on state that a click could change in between, beyond what the pause exists for.
#include "base/Clock.h"

namespace korva {

class EventLoopClock final : public Clock {
public:
    // time: the real or virtual clock that keeps the time; outlives this one. realTime: whether
    // a pause must really wait (true for a RealClock).
    EventLoopClock(Clock& time, bool realTime) : m_time(time), m_realTime(realTime) {}

    std::int64_t nowMs() override { return m_time.nowMs(); }
    void sleepMs(int ms) override;

private:
    Clock& m_time;
    bool m_realTime;
};

} // namespace korva
