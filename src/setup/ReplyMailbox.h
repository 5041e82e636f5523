#pragma once
// The blocking hand-over of setting replies from the reply thread to the screen's thread.
//
// The reply thread calls onSettingReply(); the reply waits in the mailbox, the wake function
// (if set) is called on the reply thread so an event loop can schedule a pump, and the call
// returns once the screen's thread has applied the reply with pump()/waitAndPump(), or at once
// when the mailbox is closed (the reply is then dropped).
//
// Threads: onSettingReply on the reply thread; everything else on the screen's thread, except
// setWake, which is called before a reply thread starts.
#include "setup/SettingReplySink.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

namespace korva {

class ReplyMailbox final : public SettingReplySink {
public:
    using Handler = std::function<void(const SettingReply&)>;

    void onSettingReply(const SettingReply& reply) override;

    void setWake(std::function<void()> wake);

    // Applies every waiting reply with handler and releases their senders; returns how many.
    int pump(const Handler& handler);
    // Waits up to timeoutMs (real time) for a reply to arrive, then pumps; returns how many.
    int waitAndPump(const Handler& handler, int timeoutMs);

    // Closed: senders return at once and their replies are dropped (used while the screen
    // ends the reply thread, which may be waiting in onSettingReply). open() undoes it.
    void close();
    void open();

private:
    std::mutex m_mutex;
    std::condition_variable m_arrived;
    std::condition_variable m_applied;
    std::deque<SettingReply> m_waiting;
    std::uint64_t m_posted = 0;  // replies handed in
    std::uint64_t m_settled = 0; // replies applied or dropped
    bool m_closed = false;
    std::function<void()> m_wake;
};

} // namespace korva
