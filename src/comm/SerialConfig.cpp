#include "comm/SerialConfig.h"

#include <array>
#include <cerrno>
#include <sys/ioctl.h>
#include <utility>

namespace korva {

namespace {

constexpr std::array<std::pair<int, speed_t>, 31> kSpeeds{{
    {50, B50},
    {75, B75},
    {110, B110},
    {134, B134},
    {150, B150},
    {200, B200},
    {300, B300},
    {600, B600},
    {1200, B1200},
    {1800, B1800},
    {2400, B2400},
    {4800, B4800},
    {9600, B9600},
    {19200, B19200},
    {38400, B38400},
    {57600, B57600},
    {115200, B115200},
    {230400, B230400},
    {460800, B460800},
    {500000, B500000},
    {576000, B576000},
    {921600, B921600},
    {1000000, B1000000},
    {1152000, B1152000},
    {1500000, B1500000},
    {2000000, B2000000},
    {2500000, B2500000},
    {3000000, B3000000},
    {3500000, B3500000},
    {4000000, B4000000},
    {0, B0},
}};

} // namespace

speed_t SerialConfig::speedOf(int baud) {
    if (baud <= 0)
        return 0;
    for (const auto& [rate, speed] : kSpeeds)
        if (rate == baud)
            return speed;
    return 0;
}

int SerialConfig::baudOf(speed_t speed) {
    for (const auto& [rate, constant] : kSpeeds)
        if (constant == speed && rate != 0)
            return rate;
    return -1;
}

int SerialConfig::build(const ConnectionSettings& settings, termios& tio, bool& oneAndHalfAsTwo) {
    oneAndHalfAsTwo = false;
    speed_t speed = speedOf(settings.m_BaudRate);
    if (speed == 0)
        return EINVAL;

    tcflag_t size;
    switch (settings.m_DataBits) {
    case 5:
        size = CS5;
        break;
    case 6:
        size = CS6;
        break;
    case 7:
        size = CS7;
        break;
    case 8:
        size = CS8;
        break;
    default:
        return EINVAL;
    }

    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // CLOCAL: a printer that does not drive carrier detect must not hang the line up.
    tio.c_cflag |= size | CREAD | CLOCAL;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);

    switch (settings.m_Parity) {
    case 0:
        break;
    case 1:
        tio.c_cflag |= PARENB | PARODD;
        break;
    case 2:
        tio.c_cflag |= PARENB;
        break;
    case 3: // mark: the parity bit is always 1
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case 4: // space: always 0
        tio.c_cflag |= PARENB | CMSPAR;
        break;
    default:
        return EINVAL;
    }
    if (tio.c_cflag & PARENB)
        tio.c_iflag |= INPCK;

    switch (settings.m_StopBits & 0xFF) {
    case 0:
        break;
    case 1:
        tio.c_cflag |= CSTOPB;
        oneAndHalfAsTwo = true;
        break;
    case 2:
        tio.c_cflag |= CSTOPB;
        break;
    default:
        return EINVAL;
    }

    switch (settings.m_FlowControl) {
    case 1:
        tio.c_cflag |= CRTSCTS;
        break;
    case 2:
        tio.c_iflag |= IXON | IXOFF;
        break;
    case 3:
        break;
    default:
        return EINVAL;
    }

    // Reads return whatever is there; the callers wait with poll().
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    return 0;
}

SerialApplyResult SerialConfig::apply(int fd, const ConnectionSettings& settings) {
    SerialApplyResult result;
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        result.status = SerialApplyResult::ReadFailed;
        result.error = errno;
        return result;
    }
    int error = build(settings, tio, result.oneAndHalfAsTwo);
    if (error == 0) {
        int r;
        do {
            r = ::tcsetattr(fd, TCSANOW, &tio);
        } while (r != 0 && errno == EINTR);
        if (r != 0)
            error = errno;
    }
    if (error != 0) {
        result.status = SerialApplyResult::Rejected;
        result.error = error;
        return result;
    }

    // Best effort: pseudo-terminals have no modem lines and refuse these.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (settings.m_FlowControl == 1)
        (void)::ioctl(fd, TIOCMBIS, &lines);
    else if (settings.m_FlowControl == 3)
        (void)::ioctl(fd, TIOCMBIC, &lines);
    return result;
}

} // namespace korva
