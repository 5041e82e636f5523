#pragma once
// Helpers for the virtual printer's tests: a client end of a pseudo-terminal, and the check
// that a report accounts for every byte a link received.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/PrinterCore.h"

namespace korva::test {

// The tool's end of a pty link, opened raw like a port the tools open.
class PtyClient {
public:
    explicit PtyClient(const std::string& path);
    ~PtyClient();
    PtyClient(const PtyClient&) = delete;
    PtyClient& operator=(const PtyClient&) = delete;

    bool ok() const { return m_fd >= 0; }
    bool write(const std::vector<std::uint8_t>& data);
    // Reads until `count` bytes have arrived or timeoutMs of real time have passed.
    std::vector<std::uint8_t> read(std::size_t count, int timeoutMs);

private:
    int m_fd = -1;
};

// Reads from a descriptor until count bytes or the time-out (used for sockets too).
std::vector<std::uint8_t> readFd(int fd, std::size_t count, int timeoutMs);

// "" when the link's commands, undecodable and ignored runs cover its received bytes exactly
// once, in order; otherwise what is wrong.
std::string accountingGaps(const nlohmann::json& report, const std::string& link);
// The same from the printer itself, without a report (the caller holds its lock).
std::string accountingGaps(const PrinterCore& core, const std::string& link);

// The commands of one link, in order, by their cmd names.
std::vector<std::string> commandNames(const nlohmann::json& report, const std::string& link);

} // namespace korva::test
