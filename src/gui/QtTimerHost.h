#pragma once
// Window timers for a controller: start(id, ms) fires client.onTimer(id) every ms milliseconds
// from the GUI thread's event loop until kill(id); starting a running id restarts it. After
// each firing afterFire (if set) runs, so the window can render the controller's new state.
#include "base/TimerHost.h"

#include <QObject>
#include <functional>
#include <map>

class QTimer;

namespace korva {

class QtTimerHost : public QObject, public TimerHost {
    Q_OBJECT
public:
    explicit QtTimerHost(QObject* parent = nullptr) : QObject(parent) {}

    void setClient(TimerClient* client) { m_client = client; }
    std::function<void()> afterFire;

    void start(int id, int ms) override;
    void kill(int id) override;
    bool active(int id) const;

private:
    TimerClient* m_client = nullptr;
    std::map<int, QTimer*> m_timers;
};

} // namespace korva
