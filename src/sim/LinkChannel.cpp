#include "sim/LinkChannel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "sim/PrinterCore.h"

namespace korva {

LinkChannel::LinkChannel(PrinterCore& core, std::string name, UniqueFd io, UniqueFd hold,
                         bool usbEscape, bool isPty, unsigned seed)
    : m_core(core), m_name(std::move(name)), m_io(std::move(io)), m_hold(std::move(hold)),
      m_isPty(isPty), m_closeAfter(core.options().closeAfterBytes),
      m_stallAfter(core.options().stallAfterBytes), m_shaper(core.options(), usbEscape, seed),
      m_inRate(core.options().bytesPerSecond), m_outRate(core.options().bytesPerSecond) {
    m_decoder = std::make_unique<StreamDecoder>(
        core, m_name,
        [this](std::vector<std::uint8_t> reply, int delayMs) {
            if (!m_shaper.push(std::move(reply), m_now + delayMs))
                m_core.addLinkEvent(m_name, "reply dropped: nobody reads the link");
        },
        true);
    if (!core.options().captureDir.empty()) {
        std::string file = m_name;
        for (char& c : file)
            if (c == '#')
                c = '-';
        std::string path = core.options().captureDir + "/" + file + ".bin";
        int fd;
        do {
            fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        } while (fd < 0 && errno == EINTR);
        m_capture.reset(fd);
        if (!m_capture.valid()) {
            std::lock_guard lock(m_core.mutex());
            m_core.addLinkEvent(m_name, "no capture: " + path + ": " + std::strerror(errno));
        }
    }
}

void LinkChannel::capture(const std::uint8_t* data, std::size_t size) {
    while (m_capture.valid() && size > 0) {
        ssize_t n = ::write(m_capture.get(), data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::string why = std::strerror(errno);
            m_capture.reset();
            std::lock_guard lock(m_core.mutex());
            m_core.addLinkEvent(m_name, "capture stopped: " + why);
            return;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
}

bool LinkChannel::wantsRead(std::int64_t nowMs) {
    return !closed() && !m_stalled && m_inRate.allowance(nowMs) > 0;
}

bool LinkChannel::wantsWrite(std::int64_t nowMs) {
    return !closed() && !m_shaper.ready(nowMs).empty() && m_outRate.allowance(nowMs) > 0;
}

int LinkChannel::wakeInMs(std::int64_t nowMs) {
    if (closed())
        return -1;
    int wake = -1;
    auto sooner = [&](int ms) {
        if (ms >= 0 && (wake < 0 || ms < wake))
            wake = ms;
    };
    if (m_inRate.allowance(nowMs) == 0)
        sooner(m_inRate.msUntilNext(nowMs));
    // A reply that is due waits for POLLOUT (a pty nobody reads never gets it, and must not
    // make the loop spin); only a fragment due later, or the slow-link budget, needs a timer.
    std::int64_t due = m_shaper.nextDueMs();
    if (due > nowMs)
        sooner(static_cast<int>(due - nowMs));
    else if (due >= 0 && m_outRate.limited() && m_outRate.allowance(nowMs) == 0)
        sooner(m_outRate.msUntilNext(nowMs));
    return wake;
}

void LinkChannel::onReadable(std::int64_t nowMs) {
    if (closed() || m_stalled)
        return;
    m_now = nowMs;
    std::uint8_t buf[65536];
    std::size_t want = std::min(sizeof buf, m_inRate.allowance(nowMs));
    for (long limit : {m_closeAfter, m_stallAfter}) {
        if (limit < 0)
            continue;
        std::uint64_t left =
            static_cast<std::uint64_t>(limit) -
            std::min<std::uint64_t>(static_cast<std::uint64_t>(limit), m_decoder->received());
        want = std::min<std::size_t>(want, left);
    }
    if (m_stallAfter >= 0 && m_decoder->received() >= static_cast<std::uint64_t>(m_stallAfter)) {
        stall();
        return;
    }
    if (want == 0)
        return;
    ssize_t got;
    do {
        got = ::read(m_io.get(), buf, want);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        // A pty whose slave side is closed reports EIO; the printer keeps its own slave
        // descriptor, so this is a real failure.
        close(std::string("read failed: ") + std::strerror(errno));
        return;
    }
    if (got == 0) {
        if (!m_isPty)
            close("closed by peer");
        return;
    }
    m_inRate.spend(static_cast<std::size_t>(got));
    capture(buf, static_cast<std::size_t>(got));
    m_decoder->feed({buf, static_cast<std::size_t>(got)}, nowMs);
    if (m_closeAfter >= 0 && m_decoder->received() >= static_cast<std::uint64_t>(m_closeAfter))
        close("closed after " + std::to_string(m_closeAfter) + " bytes");
    else if (m_stallAfter >= 0 && m_decoder->received() >= static_cast<std::uint64_t>(m_stallAfter))
        stall();
}

void LinkChannel::stall() {
    // A printer that hangs: the link stays open, but what arrives from now on waits unread in
    // the line (and a writer meets a full line).
    m_stalled = true;
    std::lock_guard lock(m_core.mutex());
    m_core.addLinkEvent(m_name, "stalled after " + std::to_string(m_stallAfter) + " bytes");
}

void LinkChannel::onWritable(std::int64_t nowMs) {
    if (closed())
        return;
    std::span<const std::uint8_t> out = m_shaper.ready(nowMs);
    std::size_t n = std::min(out.size(), m_outRate.allowance(nowMs));
    if (n == 0)
        return;
    ssize_t put;
    do {
        put = m_isPty ? ::write(m_io.get(), out.data(), n)
                      : ::send(m_io.get(), out.data(), n, MSG_NOSIGNAL);
    } while (put < 0 && errno == EINTR);
    if (put < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        close(std::string("write failed: ") + std::strerror(errno));
        return;
    }
    m_outRate.spend(static_cast<std::size_t>(put));
    m_shaper.consumed(static_cast<std::size_t>(put));
}

void LinkChannel::close(const std::string& why) {
    if (closed())
        return;
    m_decoder->finish();
    {
        std::lock_guard lock(m_core.mutex());
        m_core.addLinkEvent(m_name, why);
    }
    m_io.reset();
    m_hold.reset();
    m_capture.reset();
}

} // namespace korva
