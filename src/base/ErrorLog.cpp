#include "base/ErrorLog.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace korva {

namespace {

// write(2) until done; a failing log must never stop the program, so errors are dropped.
void writeAll(int fd, const char* data, std::size_t length) {
    while (length > 0) {
        ssize_t n = ::write(fd, data, length);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        data += n;
        length -= static_cast<std::size_t>(n);
    }
}

} // namespace

ErrorLog::~ErrorLog() { Close(); }

bool ErrorLog::Open(const std::string& name) {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    return m_fd >= 0;
}

void ErrorLog::Close() {
    std::lock_guard lock(m_mutex);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

bool ErrorLog::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_fd >= 0;
}

void ErrorLog::Print(const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    PrintV(format, args);
    va_end(args);
}

void ErrorLog::PrintV(const char* format, std::va_list args) {
    char text[kMaxText + 1];
    int n = std::vsnprintf(text, sizeof text, format, args);
    std::size_t length = n < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(n), kMaxText);

    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    int s = std::snprintf(stamp, sizeof stamp, "[%04d/%02d/%02d %02d:%02d:%02d] ",
                          local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);

    std::lock_guard lock(m_mutex);
    if (m_fd < 0)
        return;
    writeAll(m_fd, stamp, static_cast<std::size_t>(s));
    writeAll(m_fd, text, length);
    writeAll(m_fd, "\r\n", 2);
}

void ErrorLog::PrintHeader(int major, int minor, int build, int revision) {
    Print("ERROR LOG : Tool - Ver %d.%d.%d.%d", major, minor, build, revision);
}

} // namespace korva
