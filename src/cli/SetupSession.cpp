#include "cli/SetupSession.h"

#include "comm/PortName.h"

namespace korva::cli {

SetupSession::SetupSession(CliConnection& connection)
    : m_connection(connection), m_pumpingClock(connection.clock(), *this),
      m_timers(m_pumpingClock, *this),
      m_screenTimers(m_timers, connection.pauseScale(), kShortestCheckMs) {}

SetupSession::~SetupSession() {
    m_screen.reset();
}

bool SetupSession::open() {
    AppContext& app = m_connection.app();
    app.ports.m_ReceiveMode = 2; // the main menu's user setup mode
    m_screen = std::make_unique<UserSetupScreen>(
        UserSetupContext{app.ports, app.socket, app.ethernet, app.log, app.catalogue,
                         m_connection.prompter(), m_connection.pauseClock(), app.profile,
                         app.langId, m_connection.summary()},
        m_screenTimers);
    return m_screen->open();
}

bool SetupSession::reopen() {
    m_timers.kill(UserSetupScreen::kTimerId);
    m_screen.reset();
    return open();
}

void SetupSession::exit() {
    if (m_screen)
        m_screen->exit();
}

void SetupSession::onTimer(int id) {
    if (m_screen)
        m_screen->onTimer(id);
    ++m_firesSinceReply;
}

void SetupSession::PumpingClock::sleepMs(int ms) {
    std::int64_t until = m_real.nowMs() + ms;
    for (;;) {
        std::int64_t left = until - m_real.nowMs();
        if (left <= 0)
            return;
        m_session.pump(static_cast<int>(left));
    }
}

int SetupSession::pump(int waitMs) {
    if (!m_screen) {
        m_connection.clock().sleepMs(waitMs);
        return 0;
    }
    int n = m_screen->waitForReplies(waitMs);
    if (n > 0) {
        m_lastReplyMs = m_connection.clock().nowMs();
        m_firesSinceReply = 0;
    }
    return n;
}

bool SetupSession::allAnswered() const {
    for (std::uint8_t n : m_screen->queryList())
        if (!m_screen->received(n))
            return false;
    return true;
}

bool SetupSession::getAll() {
    if (!m_screen || !m_screen->getValue())
        return false;
    Clock& clock = m_connection.clock();
    m_lastReplyMs = clock.nowMs();
    m_firesSinceReply = 0;
    if (m_screen->portKind() == PortKind::Parallel) {
        while (m_timers.active(UserSetupScreen::kTimerId)) {
            m_timers.fireNext();
            if (allAnswered() && !m_screen->getValueRunning())
                break;
            // A check resends what is missing; only when a whole recheck period after that
            // brought no reply either does korvactl give up (the screen would keep asking).
            bool quiet = clock.nowMs() - m_lastReplyMs > m_screenTimers.scaled(kQuietMs);
            if (quiet && m_firesSinceReply >= 2)
                break;
        }
        return allAnswered() && !m_screen->getValueRunning();
    }
    std::int64_t lastCollect = clock.nowMs();
    while (!allAnswered()) {
        if (m_screen->failed() || m_screen->closed())
            return false;
        pump(50);
        std::int64_t now = clock.nowMs();
        if (now - m_lastReplyMs > kQuietMs)
            break;
        // USB: replies that came after the collection's four passes wait in the device.
        if (m_screen->portKind() == PortKind::Usb && now - m_lastReplyMs > 200 &&
            now - lastCollect > 200) {
            m_screen->collectLateReplies();
            lastCollect = clock.nowMs();
        }
    }
    return allAnswered();
}

} // namespace korva::cli
