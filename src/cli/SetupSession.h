#pragma once
// The user setup screen driven from the command line: its timer 100 runs on a TimerQueue, and
// every wait (the queue's sleeps, the waits for replies) applies the replies the reply thread
// has decoded, as the window's event loop would.
#include "base/Clock.h"
#include "base/TimerHost.h"
#include "cli/CliConnection.h"
#include "cli/ScaledTimers.h"
#include "setup/UserSetupScreen.h"

#include <memory>

namespace korva::cli {

class SetupSession : public TimerClient {
public:
    static constexpr int kQuietMs = 2000; // Get Value ends after this long without a reply
    // A parallel Get Value's checks and its silence bound shrink with the pause scale, to this
    // at the least: a virtual printer answers within a few milliseconds.
    static constexpr int kShortestCheckMs = 500;

    explicit SetupSession(CliConnection& connection);
    ~SetupSession() override;

    // Opens the screen (false: it closed at once; the message has been shown).
    bool open();
    // Ends the screen without EXIT's pause (also while a parallel Get Value still runs) and
    // opens a fresh one.
    bool reopen();

    // Get Value, then waits until every query is answered, or kQuietMs pass without a reply
    // (on the parallel port: and two timer checks, the last one's resends included, brought
    // none). True when all
    // settings answered.
    bool getAll();

    UserSetupScreen& screen() { return *m_screen; }
    void exit();

    void onTimer(int id) override;

private:
    // A clock whose sleeps apply replies meanwhile.
    class PumpingClock final : public Clock {
    public:
        PumpingClock(Clock& real, SetupSession& session) : m_real(real), m_session(session) {}
        std::int64_t nowMs() override { return m_real.nowMs(); }
        void sleepMs(int ms) override;

    private:
        Clock& m_real;
        SetupSession& m_session;
    };

    int pump(int waitMs);
    bool allAnswered() const;

    CliConnection& m_connection;
    PumpingClock m_pumpingClock;
    TimerQueue m_timers;
    ScaledTimers m_screenTimers;
    std::unique_ptr<UserSetupScreen> m_screen;
    std::int64_t m_lastReplyMs = 0;
    int m_firesSinceReply = 0;
};

} // namespace korva::cli
