#include "setup/SettingReplyThread.h"

#include <cerrno>
#include <chrono>
#include <poll.h>
#include <system_error>

namespace korva {

SettingReplyThread::~SettingReplyThread() {
    stop();
}

bool SettingReplyThread::start(Source source, SettingReplySink& sink) {
    if (m_thread.joinable()) {
        if (!m_done.isSignalled())
            return false;
        m_thread.join();
    }
    if (!m_stop.valid() || !m_done.valid())
        return false;
    m_stop.reset();
    m_done.reset();
    m_flushRequested = false;
    try {
        m_thread = std::thread(&SettingReplyThread::run, this, std::move(source), &sink);
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SettingReplyThread::stop(const std::function<void()>& beforeJoin) {
    if (!m_thread.joinable())
        return;
    m_stop.signal();
    if (beforeJoin)
        beforeJoin();
    m_thread.join();
    m_stop.reset();
}

bool SettingReplyThread::flush(const std::function<void()>& whileWaiting, int waitMs) {
    if (!running())
        return false;
    m_flushRequested = true;
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (m_flushRequested.load()) {
        if (!running() || std::chrono::steady_clock::now() >= until)
            return false;
        if (whileWaiting)
            whileWaiting();
        pollfd p{m_done.fd(), POLLIN, 0};
        ::poll(&p, 1, 1);
    }
    return true;
}

bool SettingReplyThread::waitStop(int ms) {
    pollfd p{m_stop.fd(), POLLIN, 0};
    int r;
    do {
        r = ::poll(&p, 1, ms);
    } while (r < 0 && errno == EINTR);
    return r > 0 && (p.revents & POLLIN);
}

void SettingReplyThread::run(Source source, SettingReplySink* sink) {
    SettingReplyParser parser;
    for (;;) {
        if (m_stop.isSignalled())
            break;
        if (source.keepRunning && !source.keepRunning())
            break;
        if (m_flushRequested.load()) {
            while (source.pop() >= 0) {
            }
            parser.reset();
            m_flushRequested = false;
        }
        if (source.pace == Pace::BeforeEveryByte && waitStop(kPaceMs))
            break;
        int byte = source.pop();
        if (byte < 0) {
            if (source.pace == Pace::WhenEmpty && waitStop(kPaceMs))
                break;
            continue;
        }
        if (auto reply = parser.feed(static_cast<std::uint8_t>(byte)))
            sink->onSettingReply(*reply);
    }
    m_done.signal();
}

} // namespace korva
