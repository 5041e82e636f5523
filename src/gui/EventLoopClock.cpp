#include "gui/EventLoopClock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace korva {

void EventLoopClock::sleepMs(int ms) {
    if (!m_realTime) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        m_time.sleepMs(ms);
        return;
    }
    if (ms <= 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        return;
    }
    // Waits on the steady clock: the event loop may return early (quit elsewhere), so loop
    // until the whole pause has passed.
    const std::int64_t until = m_time.nowMs() + ms;
    for (std::int64_t left = ms; left > 0; left = until - m_time.nowMs()) {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::AllEvents);
    }
}

} // namespace korva
