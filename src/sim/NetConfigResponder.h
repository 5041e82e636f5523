#pragma once
// The printer's side of the network record protocol (35-byte records AA AA cmd ... 55 55 on
// UDP port 2918): a search request (cmd 00) is answered with the printer's record (cmd 01);
// a new-settings record (cmd 02) carrying this printer's MAC is stored as pending and answered
// (cmd 03, the stored values); the following cmd 04 with the same MAC "restarts" the printer
// with the pending values. Records for another MAC are ignored; datagrams that are not exactly
// 35 bytes, lack the AA AA / 55 55 frame or carry an unknown command are reported as malformed
// and ignored. Pure logic, no sockets; not thread-safe: the owner locks.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace korva {

class NetConfigResponder {
public:
    static constexpr std::size_t kRecordSize = 35;

    struct Config {
        std::array<std::uint8_t, 4> ip{}, mask{}, gateway{};
        std::array<std::uint8_t, 6> mac{};
        bool dhcp = false;
        std::uint16_t port = 6001;

        bool operator==(const Config&) const = default;
    };

    // Dotted quad and "00:1A:2B:3C:4D:5E" parsing for the printer's own options.
    static bool parseIp(const std::string& text, std::array<std::uint8_t, 4>& out);
    static bool parseMac(const std::string& text, std::array<std::uint8_t, 6>& out);

    explicit NetConfigResponder(Config initial) : m_record(initial) {}

    // One received datagram; returns the reply to send back to the sender (empty for none).
    std::vector<std::uint8_t> handle(std::span<const std::uint8_t> datagram,
                                     const std::string& from, bool answer);

    const Config& record() const { return m_record; }
    nlohmann::json toJson() const;

    bool operator==(const NetConfigResponder&) const = default;

private:
    struct Change {
        Config config;
        bool restarted = false;

        bool operator==(const Change&) const = default;
    };
    std::vector<std::uint8_t> encode(std::uint8_t command, const Config& config) const;
    void malformed(std::span<const std::uint8_t> datagram, const std::string& from,
                   const char* reason);

    Config m_record;
    std::optional<std::size_t> m_pending; // index into m_changes
    std::vector<Change> m_changes;
    int m_searches = 0;
    int m_restarts = 0;
    int m_ignored = 0;
    nlohmann::json m_malformed = nlohmann::json::array();
};

} // namespace korva
