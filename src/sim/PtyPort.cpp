#include "sim/PtyPort.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>

namespace korva {

bool PtyPort::open(std::string& error) {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master.valid()) {
        error = std::string("posix_openpt: ") + std::strerror(errno);
        return false;
    }
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = std::string("grantpt/unlockpt: ") + std::strerror(errno);
        return false;
    }
    char name[256];
    if (::ptsname_r(master.get(), name, sizeof name) != 0) {
        error = std::string("ptsname_r: ") + std::strerror(errno);
        return false;
    }
    UniqueFd slave;
    do {
        slave.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    } while (!slave.valid() && errno == EINTR);
    if (!slave.valid()) {
        error = std::string(name) + ": " + std::strerror(errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave.get(), &tio) != 0) {
        error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&tio);
    if (::tcsetattr(slave.get(), TCSANOW, &tio) != 0) {
        error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    m_master = std::move(master);
    m_slave = std::move(slave);
    m_slavePath = name;
    return true;
}

} // namespace korva
