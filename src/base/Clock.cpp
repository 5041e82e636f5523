#include "base/Clock.h"

#include <chrono>
#include <thread>
#include <utility>

namespace korva {

std::int64_t RealClock::nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void RealClock::sleepMs(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::int64_t VirtualClock::nowMs() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

void VirtualClock::sleepMs(int ms) {
    std::function<void(int)> hook;
    {
        std::lock_guard lock(m_mutex);
        hook = m_onSleep;
        if (ms > 0) {
            m_now += ms;
            m_total += ms;
        }
        // Bounded, so an endless polling loop cannot eat all memory.
        if (m_sleeps.size() < 1000000)
            m_sleeps.push_back(ms);
    }
    if (hook)
        hook(ms);
    std::this_thread::sleep_for(std::chrono::microseconds(50));
}

void VirtualClock::advance(int ms) {
    std::lock_guard lock(m_mutex);
    if (ms > 0)
        m_now += ms;
}

std::vector<int> VirtualClock::sleeps() const {
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

std::int64_t VirtualClock::totalSleptMs() const {
    std::lock_guard lock(m_mutex);
    return m_total;
}

void VirtualClock::onSleep(std::function<void(int ms)> hook) {
    std::lock_guard lock(m_mutex);
    m_onSleep = std::move(hook);
}

void VirtualClock::clearSleeps() {
    std::lock_guard lock(m_mutex);
    m_sleeps.clear();
    m_total = 0;
}

} // namespace korva
