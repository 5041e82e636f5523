// The parallel port's Get Value state machine against a scripted printer on a pseudo-terminal:
// a reply that is dropped, or that decodes to nothing, is asked again every 2000 ms (virtual
// time) until it is answered; a resend that cannot be written ends the query.
#include "SetupFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>
#include <poll.h>
#include <pty.h>
#include <thread>
#include <unistd.h>

using namespace korva;
using namespace korva::test;

namespace {

// Answers Query setting on the master side of a pseudo-terminal with fixed texts; the first
// `dropFirst` queries of a number get no reply, or the `wrongFirst` text instead of the right one.
class ScriptedPrinter {
public:
    ScriptedPrinter() {
        if (::openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0)
            m_path = ::ttyname(m_slave);
    }
    ~ScriptedPrinter() {
        stop();
        if (m_master >= 0)
            ::close(m_master);
        if (m_slave >= 0)
            ::close(m_slave);
    }

    void start() {
        m_thread = std::thread([this] { run(); });
    }
    void stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    // The master goes away: every later write on the port fails.
    void hangUp() {
        stop();
        ::close(m_master);
        m_master = -1;
        ::close(m_slave);
        m_slave = -1;
    }

    const std::string& path() const { return m_path; }
    std::map<int, int> dropFirst;
    std::map<int, std::pair<int, std::string>> wrongFirst;

    int queries(int n) {
        std::lock_guard lock(m_mutex);
        return m_queries[n];
    }

private:
    void run() {
        Bytes pending;
        while (!m_stop) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 10) <= 0)
                continue;
            std::uint8_t buf[256];
            ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                continue;
            pending.insert(pending.end(), buf, buf + n);
            for (;;) {
                auto it = std::search(pending.begin(), pending.end(), kQuery.begin(), kQuery.end());
                if (it == pending.end() || pending.end() - it < 7)
                    break;
                int number = *(it + 6);
                pending.erase(pending.begin(), it + 7);
                answer(number);
            }
        }
    }

    void answer(int number) {
        int count;
        {
            std::lock_guard lock(m_mutex);
            count = ++m_queries[number];
        }
        if (dropFirst.count(number) && count <= dropFirst[number])
            return;
        std::string text = "1";
        if (number == 0xF9)
            text = "180";
        if (number == 0x03)
            text = "6";
        if (number == 0xFC)
            text = "20";
        if (wrongFirst.count(number) && count <= wrongFirst[number].first)
            text = wrongFirst[number].second;
        Bytes reply = {0x37, 0x27};
        for (char c : std::to_string(number))
            reply.push_back(static_cast<std::uint8_t>(c));
        reply.push_back(0x1F);
        reply.insert(reply.end(), text.begin(), text.end());
        reply.push_back(0);
        (void)!::write(m_master, reply.data(), reply.size());
    }

    const Bytes kQuery = {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06};
    int m_master = -1, m_slave = -1;
    std::string m_path;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::map<int, int> m_queries;
};

void settle(UserSetupScreen& s) {
    for (int i = 0; i < 200; ++i)
        if (s.waitForReplies(300) == 0)
            return;
}

// Fires timer 100 until it stops (bounded), letting the replies arrive in between.
void runTimer(SetupFixture& f, UserSetupScreen& s, int maxRounds = 30) {
    for (int round = 0; round < maxRounds && f.timers.active(UserSetupScreen::kTimerId); ++round) {
        settle(s);
        f.clock.advance(f.timers.period(UserSetupScreen::kTimerId));
        s.onTimer(UserSetupScreen::kTimerId);
    }
}

// Get Value started over the parallel link to a printer that never answers the 0xFA query;
// null when the link did not open.
UserSetupScreen* queryNeverAnswered(ScriptedPrinter& printer, SetupFixture& f) {
    if (printer.path().empty())
        return nullptr;
    printer.dropFirst[0xFA] = 1000;
    printer.start();
    f.app->ports.m_PortName = "LPT:" + printer.path();
    f.app->ports.m_ModelKind = 6;
    UserSetupScreen& s = f.makeScreen();
    if (!s.open())
        return nullptr;
    s.getValue();
    return &s;
}

} // namespace

TEST(UserSetupParallel, DroppedAndUndecodableRepliesAreAskedAgainUntilAnswered) {
    ScriptedPrinter printer;
    ASSERT_FALSE(printer.path().empty());
    printer.dropFirst[0xF6] = 2;         // two queries of the code page go unanswered
    printer.wrongFirst[0x03] = {1, "5"}; // paper width "5" decodes to nothing
    printer.start();
    SetupFixture f;
    f.app->ports.m_PortName = "LPT:" + printer.path();
    f.app->ports.m_ModelKind = 6;
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    s.getValue();
    runTimer(f, s);
    EXPECT_FALSE(f.timers.active(UserSetupScreen::kTimerId));
    std::string missing;
    for (std::uint8_t n : s.queryList())
        if (!s.received(n))
            missing += " " + std::to_string(n) + "x" + std::to_string(printer.queries(n));
    EXPECT_TRUE(f.allAnswered()) << missing;
    EXPECT_GE(printer.queries(0xF6), 3);
    EXPECT_GE(printer.queries(0x03), 2);
    EXPECT_EQ(printer.queries(0xFD), 0) << "the COM stop bit is not asked on LPT";
    EXPECT_EQ(s.settings().codePage, 1);
    EXPECT_EQ(s.settings().printSpeed, 180);
    EXPECT_EQ(f.timers.started().front(), 3000);
    EXPECT_GE(f.timers.started().size(), 3u);
    for (std::size_t i = 1; i < f.timers.started().size(); ++i)
        EXPECT_EQ(f.timers.started()[i], 2000);
    EXPECT_FALSE(s.getValueRunning());
    EXPECT_TRUE(s.view().exit.enabled);
    EXPECT_TRUE(f.prompter.messages().empty());
}

TEST(UserSetupParallel, AFailedResendEndsTheQueryAndLeavesAWayOut) {
    ScriptedPrinter printer;
    SetupFixture f;
    UserSetupScreen* screen = queryNeverAnswered(printer, f);
    ASSERT_TRUE(screen);
    UserSetupScreen& s = *screen;
    settle(s);
    printer.hangUp();
    f.clock.advance(3000);
    s.onTimer(UserSetupScreen::kTimerId);
    EXPECT_EQ(f.prompter.messages(), std::vector<std::string>{"GetValueCmd Fail!"});
    EXPECT_FALSE(f.timers.active(UserSetupScreen::kTimerId));
    EXPECT_FALSE(s.getValueRunning());
    EXPECT_EQ(s.view().cursor, Cursor::Arrow);
    EXPECT_TRUE(s.view().exit.enabled);
    ASSERT_TRUE(s.view().getValue.enabled) << "the user may try again";
    // Trying again on the dead port fails with the write message and still leaves EXIT.
    EXPECT_FALSE(s.getValue());
    EXPECT_EQ(f.prompter.messages().back(), "ERROR : Write to port.");
    EXPECT_TRUE(s.view().exit.enabled);
    s.exit();
    EXPECT_TRUE(s.closed());
}

// A setting the printer never answers is asked for every 2 s without end; EXIT (and with it
// closing the window) stays the way out.
TEST(UserSetupParallel, ExitEndsAQueryThePrinterNeverCompletes) {
    ScriptedPrinter printer;
    SetupFixture f;
    UserSetupScreen* screen = queryNeverAnswered(printer, f);
    ASSERT_TRUE(screen);
    UserSetupScreen& s = *screen;
    runTimer(f, s, 4);
    EXPECT_TRUE(s.getValueRunning());
    EXPECT_TRUE(f.timers.active(UserSetupScreen::kTimerId));
    EXPECT_GE(printer.queries(0xFA), 4) << "asked again on every check";
    for (const ButtonView* b :
         {&s.view().getValue, &s.view().setValue, &s.view().test, &s.view().defaults})
        EXPECT_FALSE(b->enabled);
    ASSERT_TRUE(s.view().exit.enabled);
    s.exit();
    EXPECT_TRUE(s.closed());
    EXPECT_FALSE(s.getValueRunning());
    EXPECT_FALSE(f.timers.active(UserSetupScreen::kTimerId));
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 0);
    EXPECT_TRUE(f.prompter.messages().empty());
}

TEST(UserSetupParallel, AWriteFailureInGetValueClosesTheLink) {
    ScriptedPrinter printer;
    ASSERT_FALSE(printer.path().empty());
    printer.start();
    SetupFixture f(kLangKorean);
    f.app->ports.m_PortName = "LPT:" + printer.path();
    f.app->ports.m_ModelKind = 6;
    UserSetupScreen& s = f.makeScreen();
    ASSERT_TRUE(s.open());
    printer.hangUp();
    EXPECT_FALSE(s.getValue());
    EXPECT_EQ(f.prompter.messages(), std::vector<std::string>{"ERROR - 포트 쓰기."});
    EXPECT_EQ(f.app->ports.m_bConnected.load(), 0);
    EXPECT_TRUE(s.failed());
    EXPECT_FALSE(f.timers.active(UserSetupScreen::kTimerId));
    EXPECT_FALSE(s.view().getValue.enabled);
    EXPECT_FALSE(s.view().setValue.enabled);
    EXPECT_TRUE(s.view().exit.enabled);
    EXPECT_EQ(s.view().cursor, Cursor::Arrow);
    s.exit();
    EXPECT_TRUE(s.closed());
}
