#include "gui/QtTimerHost.h"

#include <QTimer>

namespace korva {

void QtTimerHost::start(int id, int ms) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] {
            if (m_client)
                m_client->onTimer(id);
            if (afterFire)
                afterFire();
        });
    }
    timer->start(ms < 0 ? 0 : ms);
}

void QtTimerHost::kill(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second->stop();
}

bool QtTimerHost::active(int id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

} // namespace korva
