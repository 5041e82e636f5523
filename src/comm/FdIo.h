#pragma once
// Small POSIX helpers shared by the port classes: bounded waits with poll() and EINTR retried
// everywhere. Waits use the system's monotonic time: they bound real I/O, not the program's
// pacing (which goes through Clock).
#include <cstddef>
#include <cstdint>

namespace korva::fdio {

// Waits until fd reports one of events (or an error/hang-up), or until wakeFd (if >= 0)
// becomes readable, or timeoutMs passes (-1 = no limit). Returns the revents of fd (0 on time-out
// or wake-up); wokenUp, when given, tells whether wakeFd fired. -1 when poll itself fails.
int waitFor(int fd, short events, int timeoutMs, int wakeFd = -1, bool* wokenUp = nullptr);

// Result of writeWithin.
struct WriteResult {
    std::size_t written = 0;
    int error = 0;         // errno of a failing write, 0 otherwise
    bool timedOut = false; // the deadline passed before all bytes were taken
};

// Writes all bytes to a non-blocking descriptor, waiting for room up to timeoutMs in total.
WriteResult writeWithin(int fd, const std::uint8_t* data, std::size_t length, int timeoutMs);

// read() with EINTR retried; returns the count, 0 at end of file, -1 with errno otherwise.
long readRetry(int fd, std::uint8_t* buffer, std::size_t capacity);

// Puts a terminal in raw mode (no echo, no line editing, no output processing), so a
// pseudo-terminal stand-in passes bytes unchanged. Does nothing for other descriptors.
void makeRawIfTerminal(int fd);

// Opens a path with EINTR retried; -1 with errno on failure.
int openRetry(const char* path, int flags, unsigned mode = 0);

} // namespace korva::fdio
