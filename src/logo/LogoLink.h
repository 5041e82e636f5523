#pragma once
// The logo tool's way to the printer, by the chosen port name: CPorts for COM, LPT, USB and
// FILE, the PrinterSocket for ETHERNET_II. Shared by the upload, the print page and the setup
// page's OK, so each prepares the port the same way and every write is bounded and checked.
//
// Not a window: the controllers own one for the length of a job. The destructor closes what
// open() opened (CPorts only; the socket is closed by the job that connected it).
#include "comm/PortName.h"

#include <cstdint>
#include <string>
#include <vector>

namespace korva {

class CPorts;
class Clock;
class ErrorLog;
class MessageCatalogue;
class PrinterSocket;
class Prompter;
struct EthernetSettings;

// What a logo job works with; every reference outlives the job.
struct LogoContext {
    CPorts& ports;
    PrinterSocket& socket;
    const EthernetSettings& ethernet;
    ErrorLog& log;
    const MessageCatalogue& catalogue;
    Prompter& prompter;
    Clock& clock;
    int modelKind;
};

enum class LogoPortKind { Parallel, Network, File, Other };

LogoPortKind logoPortKindOf(const std::string& portName);

class LogoLink {
public:
    static constexpr int kCheckReplyMs = 500;
    static constexpr int kPollMs = 10;
    static constexpr std::uint8_t kPrinterCheck[3] = {0x1D, 0x49, 0x01};
    static constexpr std::uint8_t kInitialise[2] = {0x1B, 0x40};

    LogoLink(const LogoContext& context, std::string portName);
    ~LogoLink();
    LogoLink(const LogoLink&) = delete;
    LogoLink& operator=(const LogoLink&) = delete;

    LogoPortKind kind() const { return m_kind; }
    bool network() const { return m_kind == LogoPortKind::Network; }

    // CPorts Open (after a Close when closeFirst); false when it failed.
    bool open(bool closeFirst);
    // The connection probe on the socket; false after ten failures (socket closed).
    bool probe();
    // Writes all bytes; false when the port took fewer (or the socket refused). A zero-length
    // write succeeds without touching the port.
    bool write(const std::uint8_t* data, std::size_t length);
    bool write(const std::vector<std::uint8_t>& bytes) { return write(bytes.data(), bytes.size()); }
    // GS I 1, then one reply byte read and discarded, waiting at most waitMs on the clock. False
    // (after "ERROR : Write to port.") only when the command could not be written.
    bool printerCheck(int waitMs = kCheckReplyMs);
    // Closes CPorts if open() opened it.
    void close();
    void closeSocket();

    void showMessage(int message, bool icon = true);
    // After open() failed: the text, then the device and the system's reason, as every job
    // words a port that did not open.
    std::string withOpenFailure(std::string text) const;
    void showOpenFailure(int message);

private:
    const LogoContext& m_ctx;
    std::string m_portName;
    LogoPortKind m_kind;
    bool m_opened = false;
};

} // namespace korva
