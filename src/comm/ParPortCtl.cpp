#include "comm/ParPortCtl.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "comm/FdIo.h"
#include "comm/PortName.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <system_error>
#include <unistd.h>

namespace korva {

namespace {

bool isStatusBlock(const std::uint8_t* s) {
    return (s[0] & 0x93) == 0x10 && (s[1] & 0x90) == 0 && (s[2] & 0xF0) == 0 && s[3] == 0x0F;
}

__attribute__((format(printf, 1, 2))) std::string formatted(const char* format, ...) {
    char text[96];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

} // namespace

ParPortCtl::ParPortCtl(ErrorLog& log, Clock& clock) : m_Log(log), m_Clock(clock) {}

ParPortCtl::~ParPortCtl() {
    StopReceiver();
}

void ParPortCtl::setError(int code, const std::string& text) {
    std::lock_guard lock(m_Mutex);
    m_LastErrorCode = code;
    m_LastErrorText = text;
}

const std::string& ParPortCtl::lastErrorText() const {
    std::lock_guard lock(m_Mutex);
    m_ErrorSnapshot = m_LastErrorText;
    return m_ErrorSnapshot;
}

const std::array<std::uint8_t, 4>& ParPortCtl::lastStatus() const {
    std::lock_guard lock(m_Mutex);
    m_StatusSnapshot = m_LastStatus;
    return m_StatusSnapshot;
}

int ParPortCtl::Open(const std::string& portName) {
    if (m_bOpen)
        Close();
    std::string name = portName.find('/') == std::string::npos ? upperAscii(portName) : portName;
    std::string path = devicePathOf(name);
    m_LastPath = path;
    int fd = path.empty()
                 ? -1
                 : fdio::openRetry(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        int code = path.empty() ? ENOENT : errno;
        setError(code, formatted("[ParPortCtl] CreateFile fail : %d", code));
        return 0;
    }
    fdio::makeRawIfTerminal(fd);
    m_Port.reset(fd);
    m_LastErrorCode = 0;
    m_bOpen = true;
    return 1;
}

int ParPortCtl::Close() {
    m_bOpen = false;
    StopReceiver();
    m_Clock.sleepMs(kClosePauseMs);
    m_Port.reset();
    return 1;
}

int ParPortCtl::Write(const std::uint8_t* buffer, std::uint32_t length) {
    if (!m_bOpen || !m_Port || buffer == nullptr || length == 0)
        return 0;
    fdio::WriteResult result = fdio::writeWithin(m_Port.get(), buffer, length, m_WriteWaitMs);
    if (result.error != 0) {
        setError(result.error, formatted("[ParPortCtl] Write fail : %d", result.error));
        return 0;
    }
    if (result.timedOut) {
        m_LastErrorCode = ETIMEDOUT;
        return 0; // not completed within the wait: reported as nothing written
    }
    return static_cast<int>(result.written);
}

int ParPortCtl::Read(std::uint8_t* buffer, std::uint32_t capacity) {
    if (!m_bOpen || !m_Port || buffer == nullptr || capacity == 0)
        return 0;
    int fd = m_Port.get();
    long n = 0;
    for (;;) {
        bool stopped = false;
        int revents = fdio::waitFor(fd, POLLIN, -1, m_StopEvent.fd(), &stopped);
        if (stopped)
            return 0;
        if (revents < 0 || !(revents & (POLLIN | POLLHUP | POLLERR))) {
            int code = revents < 0 ? errno : EIO;
            setError(code, formatted("[ParPortCtl] Read fail : %d", code));
            m_Log.Print("[ParPortCtl] Read fail : %d", code);
            return 0;
        }
        n = fdio::readRetry(fd, buffer, capacity);
        if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK))
            break;
        // The parallel printer driver has no poll support and says "ready" before the printer
        // has anything to send: one request still waits for the answer, asking at a pace.
        fdio::waitFor(m_StopEvent.fd(), POLLIN, kReadRetryMs);
    }
    if (n > 0)
        return static_cast<int>(n);
    int code = n < 0 ? errno : EIO;
    setError(code, formatted("[ParPortCtl] Read fail : %d\r\n", code));
    m_Log.Print("[ParPortCtl] Read fail : %d", code);
    return 0;
}

int ParPortCtl::StartReceiver() {
    {
        std::lock_guard running(m_RunMutex);
        if (m_Running)
            return 1;
    }
    if (m_Thread.joinable())
        m_Thread.join(); // a receiver that ended on a full ring
    if (!m_StopEvent.valid() || !m_ReadRequest.valid()) {
        setError(EMFILE, formatted("[ParPortCtl] CreateThread fail : %d", EMFILE));
        return 0;
    }
    m_StopEvent.reset();
    try {
        m_Running = true;
        m_Thread = std::thread(&ParPortCtl::receiveLoop, this);
    } catch (const std::system_error& error) {
        m_Running = false;
        setError(error.code().value(),
                 formatted("[ParPortCtl] CreateThread fail : %d", error.code().value()));
        return 0;
    }
    return 1;
}

int ParPortCtl::StopReceiver() {
    if (m_Thread.joinable()) {
        m_StopEvent.signal();
        m_Thread.join();
    }
    m_StopEvent.reset();
    return 1;
}

int ParPortCtl::RequestRead() {
    m_ReadRequest.signal();
    return 1;
}

std::uint8_t ParPortCtl::PopByte(int& status) {
    if (m_Ring.empty()) {
        setError(m_LastErrorCode, "[ParPortCtl] Receive Queue is Empty");
        status = -1;
        return 0;
    }
    status = 1;
    return m_Ring.get();
}

bool ParPortCtl::absorb(const std::uint8_t* data, std::uint32_t length) {
    std::uint32_t i = 0;
    while (i < length) {
        if (i + 3 < length && isStatusBlock(data + i)) {
            std::lock_guard lock(m_Mutex);
            for (int k = 0; k < 4; ++k)
                m_LastStatus[static_cast<std::size_t>(k)] = data[i + static_cast<std::uint32_t>(k)];
            i += 4;
            continue;
        }
        if (m_Ring.count() == CommQueue::kMask) {
            setError(m_LastErrorCode, "Receive Queue is FULL!");
            return false;
        }
        m_Ring.put(data[i]);
        ++i;
    }
    return true;
}

void ParPortCtl::drainAfterStop() {
    // Whatever the printer still had on its way is discarded, without waiting for more.
    std::uint8_t discard[kReadSize];
    for (int k = 0; k < 3 && m_Port; ++k)
        if (fdio::readRetry(m_Port.get(), discard, sizeof discard) <= 0)
            break;
}

void ParPortCtl::receiveLoop() {
    std::uint8_t buffer[kReadSize];
    for (;;) {
        pollfd fds[2] = {{m_StopEvent.fd(), POLLIN, 0}, {m_ReadRequest.fd(), POLLIN, 0}};
        int r = ::poll(fds, 2, -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (fds[0].revents & POLLIN))
            break;
        if (!(fds[1].revents & POLLIN))
            continue;
        m_ReadRequest.reset();
        int n = Read(buffer, kReadSize);
        if (n <= 0)
            continue;
        std::lock_guard running(m_RunMutex);
        if (!absorb(buffer, static_cast<std::uint32_t>(n))) {
            m_Running = false;
            return; // full ring: nothing more is received until the receiver is restarted
        }
    }
    drainAfterStop();
    m_Running = false;
}

} // namespace korva
