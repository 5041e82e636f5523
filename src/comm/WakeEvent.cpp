#include "comm/WakeEvent.h"

#include <cerrno>
#include <cstdint>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace korva {

WakeEvent::WakeEvent() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

void WakeEvent::signal() {
    if (!valid())
        return;
    std::uint64_t one = 1;
    // The counter only saturates after 2^64 - 2 signals; EAGAIN then still leaves it raised.
    while (::write(m_fd.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

void WakeEvent::reset() {
    if (!valid())
        return;
    std::uint64_t value = 0;
    while (::read(m_fd.get(), &value, sizeof value) < 0 && errno == EINTR) {
    }
}

bool WakeEvent::isSignalled() const {
    if (!valid())
        return false;
    pollfd p{m_fd.get(), POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, 0);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & POLLIN);
}

} // namespace korva
