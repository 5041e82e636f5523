#pragma once
// The user setup screen's reply thread: takes bytes one at a time from a source, feeds them to
// a SettingReplyParser and delivers each decoded reply to a sink, synchronously.
//
// Pacing: with Pace::BeforeEveryByte (the parallel port) the thread waits 10 ms on its stop
// event before every attempt to take a byte, so it takes at most one byte per 10 ms; with
// Pace::WhenEmpty (serial, USB, network) it takes bytes as fast as they come and waits 10 ms
// when the source is empty. The waits are real time on the stop event, so stop() ends the
// thread at once. The thread also ends when the source's keepRunning() turns false.
//
// Threads: start, stop, flush and the queries belong to the owner's thread. The source's
// functions are called on the reply thread only.
#include "comm/WakeEvent.h"
#include "setup/SettingReplySink.h"

#include <atomic>
#include <functional>
#include <thread>

namespace korva {

class SettingReplyThread {
public:
    static constexpr int kPaceMs = 10;

    enum class Pace { BeforeEveryByte, WhenEmpty };

    struct Source {
        std::function<int()> pop;          // the next byte (0..255), or -1 when none waits
        std::function<bool()> keepRunning; // checked on every pass; empty: always
        Pace pace = Pace::WhenEmpty;
    };

    SettingReplyThread() = default;
    ~SettingReplyThread(); // stops and joins
    SettingReplyThread(const SettingReplyThread&) = delete;
    SettingReplyThread& operator=(const SettingReplyThread&) = delete;

    // Resets the stop and done events and starts the thread. False when the thread cannot be
    // created (or one is still running).
    bool start(Source source, SettingReplySink& sink);

    // Raises the stop event and joins the thread; before joining, beforeJoin runs (the owner
    // uses it to release a sender waiting in the sink). Safe to call when nothing runs.
    void stop(const std::function<void()>& beforeJoin = {});

    // Drops every byte the source holds now and forgets a partial reply; returns when the
    // thread has done so, or after waitMs of real time. whileWaiting runs between checks (the
    // owner pumps its sink there, since the thread may be waiting in it). False when nothing
    // ran or it timed out.
    bool flush(const std::function<void()>& whileWaiting = {}, int waitMs = 200);

    bool running() const { return m_thread.joinable() && !m_done.isSignalled(); }
    bool done() const { return m_done.isSignalled(); }

private:
    void run(Source source, SettingReplySink* sink);
    bool waitStop(int ms); // true when the stop event was raised

    WakeEvent m_stop;
    WakeEvent m_done;
    std::atomic<bool> m_flushRequested{false};
    std::thread m_thread;
};

} // namespace korva
