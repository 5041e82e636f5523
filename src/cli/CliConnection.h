#pragma once
// One korvactl run's application context, and the printer and port chosen on the command line,
// checked the way the selection screen's OK checks them (same messages, same order):
//   --model   a model name the selection screen knows ("Invalid Device!" otherwise)
//   --port    empty: the model's own connection (the first COM or LPT port found, the USB
//             printer after the USB search, the USB virtual serial port, or ETHERNET_II);
//             COMn, LPTn, LPT:/path, a device path, USB, ETHERNET_II/WIFI, FILE or FILE:NAME
//   serial    the selection screen's lists: baud 115200 (not for the KORVA10 family), 38400,
//             19200, 9600; data 8..5 bits; stop 1 or 2 (2 not with 5 bits); parity; flow
//   network   --ip, four numbers 0..255 (a refused command line otherwise), and --tcp-port, the
//             port 1024..65534 or 515
// The context reads and writes "korvaset.INI" and creates "error.log" in the working directory,
// like the desktop program.
#include "app/AppContext.h"
#include "base/Clock.h"
#include "cli/CliOptions.h"
#include "cli/ConsolePrompter.h"

#include <cstdint>
#include <memory>
#include <string>

namespace korva::cli {

class CliConnection {
public:
    explicit CliConnection(const CliOptions& options);

    // Fills the connection settings (and the network address) from the options; false after
    // the reason has been shown.
    bool choose();
    // The exit status for a false choose(): 2 when an option's text itself was refused (a
    // refused command line), 1 for a choice the selection screen refuses.
    int refusalStatus() const { return m_commandLineRefused ? 2 : 1; }

    AppContext& app() { return *m_app; }
    ConsolePrompter& prompter() { return m_prompter; }
    Clock& clock() { return m_clock; }
    // The clock for the printer pauses of the setup screen (after Leave setup mode, after a
    // test page, before EXIT). KORVACTL_PAUSE_SCALE=N shortens them N times, so end-to-end tests
    // against a virtual printer with a short busy time need no multi-second waits; a real
    // printer needs the full pauses, which is the default.
    Clock& pauseClock() { return m_pauseClock; }
    // How many times the pause clock shortens the pauses (1 for a real printer).
    int pauseScale() const { return m_pauseClock.scale(); }
    std::uint16_t langId() const { return m_langId; }
    std::string summary() const;

    static std::uint16_t languageFrom(const std::string& option);

private:
    bool chooseDefaultPort(int family, int kind);
    bool searchUsbPrinter(int family);
    bool chooseSerialParameters(int family);
    void show(int message);
    // Shows the message for an option's value that is refused: false, and status 2.
    bool refuse(int message);

    CliOptions m_options;
    bool m_commandLineRefused = false;
    std::uint16_t m_langId;
    RealClock m_clock;
    class PauseClock final : public Clock {
    public:
        PauseClock(Clock& real, int scale) : m_real(real), m_scale(scale) {}
        std::int64_t nowMs() override { return m_real.nowMs(); }
        void sleepMs(int ms) override { m_real.sleepMs(ms / m_scale); }
        int scale() const { return m_scale; }

    private:
        Clock& m_real;
        int m_scale;
    } m_pauseClock;
    ConsolePrompter m_prompter;
    std::unique_ptr<AppContext> m_app;
};

} // namespace korva::cli
