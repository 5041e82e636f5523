#include "network/NetConfigRecord.h"

#include <cstdio>

namespace korva {

namespace {

std::string trimmed(const std::string& text) {
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

NetConfigRecord NetConfigRecord::searchRequest() {
    NetConfigRecord r;
    r.m_bytes[0] = r.m_bytes[1] = 0xAA;
    r.m_bytes[2] = kSearch;
    r.m_bytes[33] = r.m_bytes[34] = 0x55;
    return r;
}

NetConfigRecord NetConfigRecord::settings(std::uint8_t command, const Ip4& ip, const Ip4& mask,
                                          const Ip4& gateway, const MacAddress& mac, bool dhcp,
                                          std::uint16_t port) {
    NetConfigRecord r = searchRequest();
    r.m_bytes[2] = command;
    for (std::size_t i = 0; i < 4; ++i) {
        r.m_bytes[3 + i] = ip[i];
        r.m_bytes[7 + i] = mask[i];
        r.m_bytes[11 + i] = gateway[i];
    }
    for (std::size_t i = 0; i < 6; ++i)
        r.m_bytes[15 + i] = mac[i];
    r.m_bytes[21] = dhcp ? 1 : 0;
    r.m_bytes[22] = static_cast<std::uint8_t>(port >> 8);
    r.m_bytes[23] = static_cast<std::uint8_t>(port & 0xFF);
    return r;
}

std::optional<NetConfigRecord> NetConfigRecord::parse(std::span<const std::uint8_t> datagram) {
    if (datagram.size() != kSize)
        return std::nullopt;
    NetConfigRecord r;
    for (std::size_t i = 0; i < kSize; ++i)
        r.m_bytes[i] = datagram[i];
    return r;
}

MacAddress NetConfigRecord::mac() const {
    MacAddress m{};
    for (std::size_t i = 0; i < 6; ++i)
        m[i] = m_bytes[15 + i];
    return m;
}

std::string NetConfigRecord::ipText() const {
    std::string text = dottedText(ip());
    return dhcp() ? text + " (DHCP)" : text;
}

std::string dottedText(const Ip4& ip) {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
    return text;
}

std::string macAddressText(const MacAddress& m) {
    char text[18];
    std::snprintf(text, sizeof text, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return text;
}

bool parseDotted(const std::string& raw, Ip4& out) {
    std::string text = trimmed(raw);
    Ip4 value{};
    std::size_t pos = 0;
    for (std::size_t field = 0; field < 4; ++field) {
        std::size_t start = pos;
        int number = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3)
            number = number * 10 + (text[pos++] - '0');
        if (pos == start || number > 255)
            return false;
        value[field] = static_cast<std::uint8_t>(number);
        if (field < 3) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
    }
    if (pos != text.size())
        return false;
    out = value;
    return true;
}

bool parseMacText(const std::string& raw, MacAddress& out) {
    std::string text = trimmed(raw);
    if (text.size() != 17)
        return false;
    MacAddress value{};
    for (std::size_t i = 0; i < 6; ++i) {
        int high = hexValue(text[i * 3]);
        int low = hexValue(text[i * 3 + 1]);
        if (high < 0 || low < 0 || (i < 5 && text[i * 3 + 2] != ':'))
            return false;
        value[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    out = value;
    return true;
}

Ip4 directedBroadcast(const Ip4& address, const Ip4& mask) {
    Ip4 b{};
    for (std::size_t i = 0; i < 4; ++i)
        b[i] = static_cast<std::uint8_t>(address[i] | static_cast<std::uint8_t>(~mask[i]));
    return b;
}

} // namespace korva
