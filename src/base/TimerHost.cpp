#include "base/TimerHost.h"

#include "base/Clock.h"

#include <algorithm>

namespace korva {

void TimerQueue::start(int id, int ms) {
    m_timers[id] = Timer{ms, m_clock.nowMs() + ms};
}

void TimerQueue::kill(int id) {
    m_timers.erase(id);
}

int TimerQueue::period(int id) const {
    auto it = m_timers.find(id);
    return it == m_timers.end() ? 0 : it->second.period;
}

std::int64_t TimerQueue::msUntilNext() const {
    if (m_timers.empty())
        return -1;
    std::int64_t due = m_timers.begin()->second.due;
    for (const auto& [id, timer] : m_timers)
        due = std::min(due, timer.due);
    return std::max<std::int64_t>(0, due - m_clock.nowMs());
}

bool TimerQueue::fireNext() {
    if (m_timers.empty())
        return false;
    auto next = m_timers.begin();
    for (auto it = m_timers.begin(); it != m_timers.end(); ++it)
        if (it->second.due < next->second.due)
            next = it;
    int id = next->first;
    std::int64_t wait = next->second.due - m_clock.nowMs();
    if (wait > 0)
        m_clock.sleepMs(static_cast<int>(wait));
    // Re-arm before the callback, so a kill or restart inside it wins.
    next->second.due = m_clock.nowMs() + next->second.period;
    m_client.onTimer(id);
    return true;
}

} // namespace korva
