#pragma once
// A manual-reset event that poll() can wait on (an eventfd): signal() raises it, it stays
// raised until reset(). Used to wake receive threads at once when their owner stops them.
//
// Any thread may call signal(), reset() and isSignalled(). fd() is for poll (POLLIN while
// raised). valid() is false when the eventfd could not be created; signal and reset then do
// nothing.
#include "comm/UniqueFd.h"

namespace korva {

class WakeEvent {
public:
    WakeEvent();
    bool valid() const { return m_fd.valid(); }
    int fd() const { return m_fd.get(); }

    void signal();
    void reset();
    bool isSignalled() const;

private:
    UniqueFd m_fd;
};

} // namespace korva
