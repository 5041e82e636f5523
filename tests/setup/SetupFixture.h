#pragma once
// What the user setup screen tests share: an application context on virtual time with a
// recording prompter, a timer host the test fires by hand, and readers for the output files.
#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/Language.h"
#include "base/RecordingPrompter.h"
#include "base/TimerHost.h"
#include "setup/UserSetupScreen.h"
#include "support/Bytes.h"
#include "support/TempDir.h"

#include <chrono>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <thread>

namespace korva::test {

// Timers as the window would run them, fired by the test: it sees what is running and when.
class ManualTimers final : public TimerHost {
public:
    void start(int id, int ms) override {
        m_running[id] = ms;
        m_started.push_back(ms);
    }
    void kill(int id) override { m_running.erase(id); }
    bool active(int id) const { return m_running.count(id) != 0; }
    int period(int id) const { return active(id) ? m_running.at(id) : 0; }
    const std::vector<int>& started() const { return m_started; }

private:
    std::map<int, int> m_running;
    std::vector<int> m_started;
};

class SetupFixture {
public:
    explicit SetupFixture(std::uint16_t langId = kLangEnglishUS, DeviceRoots roots = {})
        : cwd(dir.path()),
          app(std::make_unique<AppContext>(clock, prompter, langId, std::move(roots),
                                           dir.file("korvaset.INI"))) {
        app->log.Open(dir.file("error.log"));
    }

    std::string logText() const { return dir.read("error.log"); }

    // The screen on the connection as chosen so far (port name, model kind, serial fields).
    UserSetupScreen& makeScreen(const std::string& summary = "KORVA40 - test") {
        app->ports.m_ReceiveMode = 2;
        screen = std::make_unique<UserSetupScreen>(
            UserSetupContext{app->ports, app->socket, app->ethernet, app->log, app->catalogue,
                             prompter, clock, app->profile, app->langId, summary},
            timers);
        return *screen;
    }

    // A FILE port whose "Print to File" answer is out.prn in the test folder.
    UserSetupScreen& fileScreen(int modelKind = 6) {
        app->ports.m_PortName = "FILE";
        app->ports.m_ModelKind = modelKind;
        prompter.queueInput(dir.file("out.prn"));
        return makeScreen();
    }

    Bytes fileBytes(const std::string& name = "out.prn") const {
        std::ifstream in(dir.file(name), std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    // Applies replies until pred holds or timeoutMs of real time pass.
    bool pumpUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!pred()) {
            if (std::chrono::steady_clock::now() >= until)
                return false;
            screen->waitForReplies(5);
        }
        return true;
    }

    // Every queried setting answered; on USB the reply collection runs again meanwhile.
    bool answerAll(int tries = 10) {
        for (int i = 0; i < tries; ++i) {
            if (pumpUntil([&] { return allAnswered(); }, 500))
                return true;
            screen->collectLateReplies();
        }
        return allAnswered();
    }

    bool allAnswered() const {
        for (std::uint8_t n : screen->queryList())
            if (!screen->received(n))
                return false;
        return true;
    }

    TempDir dir;
    ScopedCwd cwd;
    VirtualClock clock;
    RecordingPrompter prompter;
    ManualTimers timers;
    std::unique_ptr<AppContext> app;
    std::unique_ptr<UserSetupScreen> screen;
};

} // namespace korva::test
