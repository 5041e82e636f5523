#include "comm/FdIo.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace korva::fdio {

namespace {

using SteadyClock = std::chrono::steady_clock;

int remainingMs(SteadyClock::time_point deadline) {
    auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

int waitFor(int fd, short events, int timeoutMs, int wakeFd, bool* wokenUp) {
    if (wokenUp)
        *wokenUp = false;
    pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
    nfds_t count = wakeFd >= 0 ? 2 : 1;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
    for (;;) {
        int wait = timeoutMs < 0 ? -1 : remainingMs(deadline);
        int r = ::poll(fds, count, wait);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (r == 0)
            return 0;
        if (count == 2 && (fds[1].revents & POLLIN)) {
            if (wokenUp)
                *wokenUp = true;
            return 0;
        }
        return fds[0].revents;
    }
}

WriteResult writeWithin(int fd, const std::uint8_t* data, std::size_t length, int timeoutMs) {
    WriteResult result;
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    bool pollSaidReady = false;
    while (result.written < length) {
        ssize_t n = ::write(fd, data + result.written, length - result.written);
        if (n > 0) {
            result.written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            result.error = errno;
            return result;
        }
        // Drivers without poll support (the parallel printer driver) always report "ready";
        // pace the retries then instead of spinning until the deadline.
        if (pollSaidReady)
            ::usleep(1000);
        int left = remainingMs(deadline);
        if (left == 0) {
            result.timedOut = true;
            return result;
        }
        int revents = waitFor(fd, POLLOUT, left);
        pollSaidReady = revents > 0 && (revents & POLLOUT);
        if (revents < 0) {
            result.error = errno;
            return result;
        }
        if (revents & (POLLERR | POLLNVAL | POLLHUP)) {
            // Let the next write report the device's own error code; a device that hung up
            // yet still says "try again" will never take the bytes.
            do {
                n = ::write(fd, data + result.written, length - result.written);
            } while (n < 0 && errno == EINTR);
            if (n > 0) {
                result.written += static_cast<std::size_t>(n);
                continue;
            }
            result.error = (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) ? errno : EIO;
            return result;
        }
    }
    return result;
}

long readRetry(int fd, std::uint8_t* buffer, std::size_t capacity) {
    for (;;) {
        ssize_t n = ::read(fd, buffer, capacity);
        if (n >= 0 || errno != EINTR)
            return static_cast<long>(n);
    }
}

void makeRawIfTerminal(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return;
    ::cfmakeraw(&tio);
    while (::tcsetattr(fd, TCSANOW, &tio) != 0 && errno == EINTR) {
    }
}

int openRetry(const char* path, int flags, unsigned mode) {
    for (;;) {
        int fd = ::open(path, flags, static_cast<mode_t>(mode));
        if (fd >= 0 || errno != EINTR)
            return fd;
    }
}

} // namespace korva::fdio
