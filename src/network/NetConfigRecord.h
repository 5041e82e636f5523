#pragma once
// The 35-byte record of the network search and settings protocol on UDP port 2918, and the text
// forms the settings screen shows and reads.
//
//   0..1  AA AA            2  command (00 search, 02 new settings, 04 after the new settings)
//   3..6  IP address       7..10 subnet mask     11..14 gateway   (most significant field first)
//  15..20 MAC address     21  DHCP (0 fixed, any other value DHCP)
//  22..23 TCP port, big-endian                   24..32 not interpreted      33..34 55 55
//
// A printer's reply is read at these offsets only; its frame bytes and 24..34 are not examined.
// parse() takes exactly 35 bytes and nothing else, so a short or long datagram is never read.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace korva {

using Ip4 = std::array<std::uint8_t, 4>;
using MacAddress = std::array<std::uint8_t, 6>;

// "%d.%d.%d.%d" and "%02X:%02X:%02X:%02X:%02X:%02X".
std::string dottedText(const Ip4& ip);
std::string macAddressText(const MacAddress& mac);

class NetConfigRecord {
public:
    static constexpr std::size_t kSize = 35;
    static constexpr std::uint16_t kUdpPort = 2918;
    static constexpr std::uint8_t kSearch = 0x00;
    static constexpr std::uint8_t kNewSettings = 0x02;
    static constexpr std::uint8_t kAfterSettings = 0x04;

    using Bytes = std::array<std::uint8_t, kSize>;

    // AA AA 00, zeros, 55 55.
    static NetConfigRecord searchRequest();
    // AA AA command with the given values, zeros at 24..32, 55 55.
    static NetConfigRecord settings(std::uint8_t command, const Ip4& ip, const Ip4& mask,
                                    const Ip4& gateway, const MacAddress& mac, bool dhcp,
                                    std::uint16_t port);
    // A received datagram: std::nullopt unless it is exactly 35 bytes long.
    static std::optional<NetConfigRecord> parse(std::span<const std::uint8_t> datagram);

    const Bytes& bytes() const { return m_bytes; }
    std::uint8_t command() const { return m_bytes[2]; }
    void setCommand(std::uint8_t command) { m_bytes[2] = command; }

    Ip4 ip() const { return quad(3); }
    Ip4 mask() const { return quad(7); }
    Ip4 gateway() const { return quad(11); }
    MacAddress mac() const;
    bool dhcp() const { return m_bytes[21] != 0; }
    std::uint16_t port() const {
        return static_cast<std::uint16_t>(m_bytes[22] << 8 | m_bytes[23]);
    }

    // The list row's five texts: "%d.%d.%d.%d" with " (DHCP)" when the flag is set, "%u",
    // the subnet and gateway quads, "%02X:%02X:%02X:%02X:%02X:%02X".
    std::string ipText() const;
    std::string portText() const { return std::to_string(port()); }
    std::string maskText() const { return dottedText(mask()); }
    std::string gatewayText() const { return dottedText(gateway()); }
    std::string macText() const { return macAddressText(mac()); }

private:
    Ip4 quad(std::size_t offset) const {
        return {m_bytes[offset], m_bytes[offset + 1], m_bytes[offset + 2], m_bytes[offset + 3]};
    }

    Bytes m_bytes{};
};

// Four decimal fields 0..255 separated by dots, nothing else (surrounding blanks allowed); the
// address fields' text and the command line's. False for anything else: a field above 255 is
// refused rather than cut to its low 8 bits.
bool parseDotted(const std::string& text, Ip4& out);

// Six groups of two hexadecimal digits, either case, separated by ':' (surrounding blanks
// allowed). False for any other text, so a mistyped MAC never turns into other bytes.
bool parseMacText(const std::string& text, MacAddress& out);

// The directed broadcast address of an interface address and its mask (address | ~mask).
Ip4 directedBroadcast(const Ip4& address, const Ip4& mask);

} // namespace korva
