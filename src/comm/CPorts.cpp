#include "comm/CPorts.h"

#include "comm/FdIo.h"
#include "comm/OpenFailure.h"
#include "comm/SerialConfig.h"
#include "comm/SysfsPorts.h"
#include "comm/UsbReplyUnescaper.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace korva {

namespace {

constexpr const char* kPrintToFileTitle = "Print to File";
constexpr const char* kPrintToFileLabel = "Input the output file name";
constexpr const char* kDefaultOutputFile = "temp.prn";

// Alias names are upper-cased as the design does; paths keep their case.
std::string normalisedPortName(const std::string& name) {
    return name.find('/') == std::string::npos ? upperAscii(name) : name;
}

} // namespace

CPorts::CPorts(ErrorLog& log, const MessageCatalogue& catalogue, Prompter& prompter, Clock& clock,
               DeviceRoots roots)
    : m_Log(log), m_Catalogue(catalogue), m_Prompter(prompter), m_Clock(clock),
      m_QueueFull(log, catalogue, prompter), m_Roots(std::move(roots)) {}

CPorts::~CPorts() {
    Close();
    joinReceiveThread();
}

int CPorts::Open() {
    if (m_hThread.joinable() && std::this_thread::get_id() == m_ThreadId) {
        // Re-opening from inside the data notification would have to join the calling thread.
        m_Log.Print("CPorts::Open() called from the receive thread\r\n");
        return 0;
    }
    m_PortName = normalisedPortName(m_PortName);
    PortKind kind = portKindOf(m_PortName);
    if (kind != PortKind::Serial && m_hPort != -1)
        Close(); // a handle left open by the last tool must not leak
    return openKind(kind);
}

int CPorts::openKind(PortKind kind) {
    m_OpenFailure.clear();
    switch (kind) {
    case PortKind::Serial:
        return openSerial();
    case PortKind::Parallel:
        return openParallel();
    case PortKind::File:
        return openFile();
    case PortKind::Usb:
        return openUsb();
    case PortKind::None:
        break;
    }
    m_hPort = -1;
    m_Log.Print("CPorts::Open() Invalid Handle\r\n");
    return 0;
}

int CPorts::openSerial() {
    if (m_BaudRate == -1 || m_DataBits == -1 || m_FlowControl == -1 || m_Parity == -1)
        return 0;

    if (m_hPort != -1) {
        joinReceiveThread();
        releaseExclusive();
        ::close(m_hPort);
        m_hPort = -1;
        m_bConnected = 0;
        m_Log.Print("CPorts::Open() CloseHandle run\r\n");
        m_Clock.sleepMs(kStaleHandlePauseMs);
    }
    // A thread that ended by itself (its port went away) is collected before a new one starts.
    joinReceiveThread();

    std::string path = devicePathOf(m_PortName, m_Roots.dev);
    int fd = path.empty()
                 ? -1
                 : fdio::openRetry(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_OpenFailure = openFailureText(path, errno, PortKind::Serial);
        m_Log.Print("CPorts::Open() CreateFile error\r\n");
        return 0;
    }
    UniqueFd port(fd);

    SerialApplyResult applied = SerialConfig::apply(fd, *this);
    if (applied.status == SerialApplyResult::ReadFailed) {
        m_Log.Print("CPorts::Open() GetCommState failed.\r\n");
        return 0;
    }
    if (applied.status == SerialApplyResult::Rejected) {
        m_Log.Print("CPorts::Open() SetCommstate failed(%d).\r\n", applied.error);
        return 0;
    }
    if (applied.oneAndHalfAsTwo)
        m_Log.Print("CPorts::Open() 1.5 stop bits are sent as 2 stop bits\r\n");
    ::tcflush(fd, TCIOFLUSH);
    // No sharing, as far as the driver supports it. Taken only once the open has succeeded:
    // the mark outlives this descriptor while anyone else holds the terminal (and a
    // pseudo-terminal keeps it while its other side is open), so only Close may give it back.
    (void)::ioctl(fd, TIOCEXCL);

    m_hPort = port.release();
    m_OpenKind = PortKind::Serial;
    m_bConnected = 1;
    m_bThreadRun = 1;
    if (m_ReceiveMode == 2 || (m_ReceiveMode == 3 && m_ModelKind == 2)) {
        if (!startReceiveThread()) {
            Close();
            return 0;
        }
    }
    return 1;
}

int CPorts::openParallel() {
    std::string path = devicePathOf(m_PortName, m_Roots.dev);
    int fd = path.empty()
                 ? -1
                 : fdio::openRetry(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_OpenFailure = openFailureText(path, errno, PortKind::Parallel);
        m_Log.Print("CPorts::Open() CreateFile error\r\n");
        return 0;
    }
    // A pseudo-terminal standing in for the port must not translate line ends.
    fdio::makeRawIfTerminal(fd);
    m_hPort = fd;
    m_OpenKind = PortKind::Parallel;
    m_bConnected = 1;
    m_bThreadRun = 1;
    return 1;
}

int CPorts::openFile() {
    std::string name;
    for (;;) {
        std::optional<std::string> typed =
            m_Prompter.inputText(kPrintToFileTitle, kPrintToFileLabel);
        if (!typed) {
            name = kDefaultOutputFile;
            break;
        }
        if (!typed->empty()) {
            name = *typed;
            break;
        }
        m_Prompter.inform(m_Catalogue.text(MsgInputOutputFileName), Icon::Exclamation);
    }
    m_PortName = name;
    // The name is the user's: a pipe nobody reads or a terminal without carrier would block a
    // plain open for ever, and a pipe whose reader stopped (or a terminal held by flow control)
    // a plain write. The descriptor stays non-blocking; writes are bounded like a printer's.
    int fd = fdio::openRetry(
        name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOCTTY | O_NONBLOCK | O_CLOEXEC, 0644);
    if (fd < 0) {
        m_OpenFailure = openFailureText(name, errno, PortKind::File);
        m_Log.Print("CPorts::Open() CreateFile error\r\n");
        return 0;
    }
    m_hPort = fd;
    m_OpenKind = PortKind::File;
    m_bConnected = 1;
    m_bThreadRun = 1;
    return 1;
}

int CPorts::openUsb() {
    std::vector<std::string> prefixes;
    switch (m_ModelKind) {
    case 3:
    case 4:
        prefixes = {"USB\\VID_5E3B&PID_3004"};
        break;
    case 5:
        // The second try gives a printer that is still enumerating another chance.
        prefixes = {"USB\\VID_5E3B&PID_3002", "USB\\VID_5E3B&PID_3002"};
        break;
    case 6:
        prefixes = {"USB\\VID_5E3B&PID_3012", "USB\\VID_5E3B&PID_3004"};
        break;
    default:
        prefixes = {"USB\\VID_5E3B&PID_0101"};
        break;
    }
    m_OpenFailure = "No USB printer of this model could be opened (is it plugged in and "
                    "switched on? The udev rule shipped with the program, or membership of the "
                    "'lp' group, grants access to it).";
    joinReceiveThread(); // one that ended by itself is collected before another starts
    for (const std::string& prefix : prefixes) {
        int fd = OpenUsbPrinter(m_Roots, m_Log, prefix, m_DevicePath, &m_UsbList);
        if (fd >= 0) {
            m_hPort = fd;
            m_OpenKind = PortKind::Usb;
            m_UsbUnescaper.reset(); // an escape left by an earlier connection is not this one's
            m_bConnected = 1;
            m_bThreadRun = 1;
            // The KORVA10 firmware download is answered packet by packet, over USB as over
            // COM, so its replies need the same receive path.
            if (m_ReceiveMode == 3 && m_ModelKind == 2 && !startReceiveThread()) {
                Close();
                return 0;
            }
            return 1;
        }
    }
    return 0;
}

int CPorts::Drain(int limitMs) {
    if (m_hPort == -1 || m_OpenKind != PortKind::Serial)
        return 1;
    std::int64_t start = m_Clock.nowMs();
    for (;;) {
        int queued = 0;
        if (::ioctl(m_hPort, TIOCOUTQ, &queued) != 0 || queued <= 0)
            break;
        if (m_Clock.nowMs() - start >= limitMs) {
            m_Log.Print("CPorts::Drain() %d bytes not sent", queued);
            return 0;
        }
        m_Clock.sleepMs(10);
    }
    ::tcflush(m_hPort, TCIFLUSH);
    return 1;
}

int CPorts::Close() {
    if (m_hUsbRead != -1) {
        ::close(m_hUsbRead);
        m_hUsbRead = -1;
    }
    m_bThreadRun = 0;
    joinReceiveThread(); // woken at once; from inside its own notification it just ends later
    if (m_hPort == -1)
        return 0;
    releaseExclusive();
    ::close(m_hPort);
    m_hPort = -1;
    m_bConnected = 0;
    if (m_OpenKind == PortKind::Usb)
        ReleaseUsbList();
    m_OpenKind = PortKind::None;
    return 1;
}

void CPorts::releaseExclusive() {
    // The exclusive mark belongs to the terminal, not to this descriptor: while anyone else holds
    // it (and on a pseudo-terminal while the other side is open) it would stay, and every later
    // Open by a user without CAP_SYS_ADMIN would fail with EBUSY.
    if (m_OpenKind == PortKind::Serial)
        (void)::ioctl(m_hPort, TIOCNXCL);
}

void CPorts::ReleaseUsbList() {
    m_UsbList.clear();
}

int CPorts::Write(const std::uint8_t* buffer, std::uint32_t length) {
    if (m_hPort == -1)
        return 0;
    if (m_OpenKind == PortKind::File)
        return writeToFile(buffer, length);
    return writeToDevice(buffer, length);
}

int CPorts::writeWaitMs(std::uint32_t length) const {
    long long wait = static_cast<long long>(std::max(m_WriteTimeoutPerByteMs, 0)) * length;
    // A printer that is busy but working (after a settings write, during an NV erase, while
    // printing) may hold a short write for seconds; a serial line's flow control says so.
    int least = m_OpenKind == PortKind::Serial ? kMinWriteWaitMs : m_PrinterMinWriteWaitMs;
    return static_cast<int>(std::clamp<long long>(wait, std::max(least, 0), INT_MAX));
}

int CPorts::writeToFile(const std::uint8_t* buffer, std::uint32_t length) {
    if (length == 0 || buffer == nullptr)
        return 0;
    fdio::WriteResult result = fdio::writeWithin(m_hPort, buffer, length, writeWaitMs(length));
    if (result.error != 0) {
        m_Log.Print("WriteFile get error result [%d]", result.error);
        return 0;
    }
    if (result.timedOut) {
        m_Log.Print("WriteFile Time-out!");
        return 0;
    }
    // Cut short (disk full, file size limit): the file does not hold the job.
    return result.written == length ? static_cast<int>(std::min<std::uint32_t>(length, INT_MAX))
                                    : 0;
}

int CPorts::writeToDevice(const std::uint8_t* buffer, std::uint32_t length) {
    if (length == 0 || buffer == nullptr)
        return 0;
    fdio::WriteResult result = fdio::writeWithin(m_hPort, buffer, length, writeWaitMs(length));
    if (result.error != 0) {
        m_Log.Print("WriteFile get error result [%d]", result.error);
        return 0;
    }
    if (result.timedOut)
        m_Log.Print("WriteFile Time-out!");
    return static_cast<int>(std::min<std::size_t>(result.written, INT_MAX));
}

int CPorts::Read(std::uint8_t* buffer, std::uint32_t capacity) {
    if (m_hPort == -1 || buffer == nullptr || capacity == 0)
        return 0;
    std::size_t want = capacity;
    int waiting = 0;
    if (::ioctl(m_hPort, FIONREAD, &waiting) == 0) {
        if (waiting <= 0)
            return 0;
        want = std::min<std::size_t>(static_cast<std::size_t>(waiting), capacity);
    }
    long n = fdio::readRetry(m_hPort, buffer, want);
    return n > 0 ? static_cast<int>(n) : 0;
}

int CPorts::EnumeratePorts(int kind, std::vector<std::string>& list) {
    std::vector<std::string> found;
    if (kind == 0) {
        bool ok = false;
        found = listSerialPorts(m_Roots, ok);
        if (!ok) {
            m_Log.Print("Registry open fail");
            return 0;
        }
    } else if (kind == 1) {
        found = listParallelPorts(m_Roots);
    } else {
        return 0;
    }
    list.insert(list.end(), found.begin(), found.end());
    return static_cast<int>(found.size());
}

void CPorts::queueBatch(const std::uint8_t* data, std::uint32_t length) {
    if (m_QueueRead.freeRoom() > length) {
        for (std::uint32_t i = 0; i < length; ++i)
            m_QueueRead.put(data[i]);
        m_QueueFull.accepted();
        return;
    }
    m_QueueFull.dropped(length);
}

int CPorts::CollectUsbReplies() {
    if (m_hUsbRead != -1) {
        ::close(m_hUsbRead);
        m_hUsbRead = -1;
    }
    int fd = m_DevicePath.empty() ? -1
                                  : fdio::openRetry(m_DevicePath.c_str(),
                                                    O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && m_OpenKind == PortKind::Usb && m_hPort != -1) {
        // The usblp driver lets one descriptor hold the printer, so the second open fails with
        // EBUSY while the connection is up; its own handle reads the replies just as well.
        fd = ::fcntl(m_hPort, F_DUPFD_CLOEXEC, 0);
    }
    if (fd < 0) {
        m_Prompter.inform(m_DevicePath, Icon::Exclamation);
        return 0;
    }
    m_hUsbRead = fd;
    std::uint8_t raw[kUsbReplyReadSize];
    std::uint8_t decoded[kUsbReplyReadSize];
    for (int pass = 0; pass < kUsbReplyPasses; ++pass) {
        int revents = fdio::waitFor(fd, POLLIN, std::max(m_UsbReplyWaitMs, 0));
        if (revents <= 0 || !(revents & POLLIN))
            continue;
        long n = fdio::readRetry(fd, raw, sizeof raw);
        if (n <= 0)
            continue;
        std::size_t produced = m_UsbUnescaper.feed(raw, static_cast<std::size_t>(n), decoded);
        queueBatch(decoded, static_cast<std::uint32_t>(produced));
        if (m_NotifyWnd)
            m_NotifyWnd->onDataArrived();
    }
    ::close(m_hUsbRead);
    m_hUsbRead = -1;
    return 1;
}

int CPorts::startReceiveThread() {
    m_WakeThread = std::make_unique<WakeEvent>();
    m_WatchFd.reset(::fcntl(m_hPort, F_DUPFD_CLOEXEC, 0));
    m_WatchedPortName = m_PortName;
    std::lock_guard lock(m_StartMutex);
    try {
        m_ThreadAlive = true;
        m_hThread = std::thread(&CPorts::ThreadWatchComm, this);
        m_ThreadId = m_hThread.get_id();
    } catch (const std::system_error& error) {
        m_ThreadAlive = false;
        m_Log.Print("CPorts::Open() CreateThread failed(%d).\r\n", error.code().value());
        m_WatchFd.reset();
        return 0;
    }
    return 1;
}

void CPorts::joinReceiveThread() {
    if (!m_hThread.joinable() || std::this_thread::get_id() == m_ThreadId)
        return;
    m_bThreadRun = 0; // the thread re-checks this when woken
    m_WakeThread->signal();
    m_hThread.join();
    m_ThreadId = {};
    m_WakeThread.reset();
}

int CPorts::ThreadWatchComm(CPorts* connection) {
    CPorts& c = *connection;
    { std::lock_guard lock(c.m_StartMutex); } // Open has finished recording the thread
    int fd = c.m_WatchFd.get();
    if (fd < 0 || !c.m_WakeThread || !c.m_WakeThread->valid()) {
        c.m_Prompter.inform(std::string(c.m_Catalogue.text(MsgThreadWatchCommError)) +
                                c.m_WatchedPortName,
                            Icon::Exclamation);
        c.m_WatchFd.reset();
        c.m_ThreadAlive = false;
        return 0;
    }
    c.watchLoop(fd);
    c.m_WatchFd.reset();
    c.m_ThreadAlive = false;
    return 1;
}

void CPorts::watchLoop(int fd) {
    std::uint8_t buffer[kReceiveBufferSize];
    UsbReplyUnescaper unescaper; // USB replies come escaped; serial ones as they are
    const bool usb = m_OpenKind == PortKind::Usb;
    int wakeFd = m_WakeThread->fd();
    while (m_bConnected && m_bThreadRun) {
        bool woken = false;
        int revents = fdio::waitFor(fd, POLLIN, -1, wakeFd, &woken);
        if (woken)
            return; // the owner is stopping us
        if (revents < 0) {
            m_Log.Print("CPorts::ThreadWatchComm() wait failed [%d]\r\n", errno);
            return;
        }
        bool received = false;
        if (revents & POLLIN) {
            for (;;) {
                int waiting = 0;
                std::size_t want = sizeof buffer;
                if (::ioctl(fd, FIONREAD, &waiting) == 0)
                    want = std::min<std::size_t>(static_cast<std::size_t>(std::max(waiting, 0)),
                                                 sizeof buffer);
                if (want == 0)
                    break;
                long n = fdio::readRetry(fd, buffer, want);
                if (n <= 0)
                    break;
                received = true;
                std::size_t size = static_cast<std::size_t>(n);
                if (usb)
                    size = unescaper.feed(buffer, size, buffer);
                queueBatch(buffer, static_cast<std::uint32_t>(size));
            }
            if (m_NotifyWnd && m_bThreadRun)
                m_NotifyWnd->onDataArrived();
        }
        if (!received && (revents & (POLLHUP | POLLERR | POLLNVAL))) {
            // The device is gone (adapter unplugged, other side of a terminal closed): waiting on
            // would spin, and nothing more can arrive.
            m_Log.Print("CPorts::ThreadWatchComm() the port has gone [0x%X]\r\n",
                        static_cast<unsigned>(revents));
            return;
        }
    }
}

} // namespace korva
