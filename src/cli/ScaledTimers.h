#pragma once
// A screen's timers with every period divided by the pause scale (KORVACTL_PAUSE_SCALE), so that
// against a virtual printer the waits shrink with the printer pauses. A period is never made
// shorter than shortestMs (nor longer than it was): a check that comes before any reply could
// would only report silence.
#include "base/TimerHost.h"

#include <algorithm>

namespace korva::cli {

class ScaledTimers final : public TimerHost {
public:
    ScaledTimers(TimerHost& inner, int scale, int shortestMs = 0)
        : m_inner(inner), m_scale(scale), m_shortestMs(shortestMs) {}
    void start(int id, int ms) override { m_inner.start(id, scaled(ms)); }
    void kill(int id) override { m_inner.kill(id); }
    int scaled(int ms) const { return std::min(ms, std::max(ms / m_scale, m_shortestMs)); }

private:
    TimerHost& m_inner;
    int m_scale;
    int m_shortestMs;
};

} // namespace korva::cli
