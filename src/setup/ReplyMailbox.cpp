#include "setup/ReplyMailbox.h"

#include <chrono>

namespace korva {

void ReplyMailbox::onSettingReply(const SettingReply& reply) {
    std::function<void()> wake;
    std::uint64_t ticket;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed)
            return;
        m_waiting.push_back(reply);
        ticket = ++m_posted;
        wake = m_wake;
    }
    m_arrived.notify_all();
    if (wake)
        wake();
    std::unique_lock lock(m_mutex);
    m_applied.wait(lock, [&] { return m_settled >= ticket || m_closed; });
}

void ReplyMailbox::setWake(std::function<void()> wake) {
    std::lock_guard lock(m_mutex);
    m_wake = std::move(wake);
}

int ReplyMailbox::pump(const Handler& handler) {
    int applied = 0;
    for (;;) {
        SettingReply reply;
        {
            std::lock_guard lock(m_mutex);
            if (m_waiting.empty())
                break;
            reply = std::move(m_waiting.front());
            m_waiting.pop_front();
        }
        // The handler runs without the lock: it may show a message or sleep.
        if (handler)
            handler(reply);
        ++applied;
        {
            std::lock_guard lock(m_mutex);
            ++m_settled;
        }
        m_applied.notify_all();
    }
    return applied;
}

int ReplyMailbox::waitAndPump(const Handler& handler, int timeoutMs) {
    {
        std::unique_lock lock(m_mutex);
        m_arrived.wait_for(lock, std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0),
                           [&] { return !m_waiting.empty(); });
    }
    return pump(handler);
}

void ReplyMailbox::close() {
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_settled += m_waiting.size();
        m_waiting.clear();
    }
    m_applied.notify_all();
}

void ReplyMailbox::open() {
    std::lock_guard lock(m_mutex);
    m_closed = false;
}

} // namespace korva
