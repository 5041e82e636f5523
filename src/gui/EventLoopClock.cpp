#include "gui/EventLoopClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace korva {

EventLoopClock::EventLoopClock(Clock& time)
    : m_time(time), m_realTime(dynamic_cast<RealClock*>(&time) != nullptr) {}

void EventLoopClock::sleepMs(int ms) {
    if (!m_pumping) {
        m_time.sleepMs(ms);
        return;
    }
    if (!m_realTime || ms <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_time.sleepMs(ms);
        return;
    }
    // A nested loop may return early when something else quits it; wait out the whole pause.
    const std::int64_t until = m_time.nowMs() + ms;
    for (std::int64_t left = ms; left > 0; left = until - m_time.nowMs()) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::AllEvents);
    }
}

} // namespace korva
