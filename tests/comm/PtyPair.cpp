#include "PtyPair.h"

#include "comm/FdIo.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace korva::test {

PtyPair::PtyPair() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC)) {
    if (!m_master || ::grantpt(m_master.get()) != 0 || ::unlockpt(m_master.get()) != 0)
        return;
    char name[128];
    if (::ptsname_r(m_master.get(), name, sizeof name) != 0)
        return;
    m_slavePath = name;
    fdio::makeRawIfTerminal(m_master.get());
}

bool PtyPair::send(const std::vector<std::uint8_t>& data) {
    fdio::WriteResult r = fdio::writeWithin(m_master.get(), data.data(), data.size(), 1000);
    return r.error == 0 && r.written == data.size();
}

std::vector<std::uint8_t> PtyPair::receive(std::size_t count, int timeoutMs) {
    std::vector<std::uint8_t> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::uint8_t buffer[4096];
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        int revents = fdio::waitFor(m_master.get(), POLLIN, static_cast<int>(left));
        if (revents <= 0)
            break;
        long n = fdio::readRetry(m_master.get(), buffer, sizeof buffer);
        if (n > 0)
            out.insert(out.end(), buffer, buffer + n);
        else if (n == 0 || errno != EAGAIN)
            break; // EIO: the slave side is closed
    }
    return out;
}

std::vector<std::uint8_t> PtyPair::drain(int timeoutMs) {
    return receive(static_cast<std::size_t>(-1), timeoutMs);
}

} // namespace korva::test
