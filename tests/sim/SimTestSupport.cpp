#include "sim/SimTestSupport.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <tuple>
#include <unistd.h>

namespace korva::test {

PtyClient::PtyClient(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    termios tio{};
    ::tcgetattr(m_fd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(m_fd, TCSANOW, &tio);
}

PtyClient::~PtyClient() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool PtyClient::write(const std::vector<std::uint8_t>& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(m_fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<std::uint8_t> PtyClient::read(std::size_t count, int timeoutMs) {
    return readFd(m_fd, count, timeoutMs);
}

std::vector<std::uint8_t> readFd(int fd, std::size_t count, int timeoutMs) {
    std::vector<std::uint8_t> out;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (out.size() < count) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                        deadline - std::chrono::steady_clock::now())
                        .count();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, static_cast<int>(left));
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            break;
        std::uint8_t buf[4096];
        ssize_t n = ::read(fd, buf, std::min(sizeof buf, count - out.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

namespace {

using Spans = std::vector<std::tuple<std::uint64_t, std::uint64_t, std::string>>;

std::string gapsIn(Spans spans, std::uint64_t received) {
    std::sort(spans.begin(), spans.end());
    std::uint64_t at = 0;
    for (const auto& [offset, length, list] : spans) {
        if (offset != at)
            return "entry in " + list + " at " + std::to_string(offset) + ", expected " +
                   std::to_string(at);
        if (length == 0)
            return "empty entry in " + list + " at " + std::to_string(offset);
        at += length;
    }
    if (at != received)
        return "entries cover " + std::to_string(at) + " of " + std::to_string(received) + " bytes";
    return "";
}

} // namespace

std::string accountingGaps(const nlohmann::json& report, const std::string& link) {
    Spans spans;
    for (const char* list : {"commands", "undecodable", "ignored"})
        for (const auto& e : report[list])
            if (e["link"] == link)
                spans.emplace_back(e["offset"].get<std::uint64_t>(),
                                   e["length"].get<std::uint64_t>(), list);
    return gapsIn(std::move(spans), report["received"].contains(link)
                                        ? report["received"][link].get<std::uint64_t>()
                                        : 0);
}

std::string accountingGaps(const PrinterCore& core, const std::string& link) {
    Spans spans;
    for (const PrinterCore::EntrySpan& s : core.entrySpans(link))
        spans.emplace_back(s.offset, s.length, s.list);
    return gapsIn(std::move(spans), core.received(link));
}

std::vector<std::string> commandNames(const nlohmann::json& report, const std::string& link) {
    std::vector<std::string> names;
    for (const auto& c : report["commands"])
        if (c["link"] == link)
            names.push_back(c["cmd"]);
    return names;
}

} // namespace korva::test
