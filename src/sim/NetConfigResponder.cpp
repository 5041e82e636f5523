#include "sim/NetConfigResponder.h"

#include <cstdio>

namespace korva {

namespace {

std::string dotted(const std::array<std::uint8_t, 4>& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

std::string macText(const std::array<std::uint8_t, 6>& m) {
    char buf[18];
    std::snprintf(buf, sizeof buf, "%02X:%02X:%02X:%02X:%02X:%02X", m[0], m[1], m[2], m[3], m[4],
                  m[5]);
    return buf;
}

nlohmann::json configJson(const NetConfigResponder::Config& c) {
    return {{"ip", dotted(c.ip)},    {"mask", dotted(c.mask)}, {"gateway", dotted(c.gateway)},
            {"mac", macText(c.mac)}, {"dhcp", c.dhcp},         {"port", c.port}};
}

NetConfigResponder::Config decode(std::span<const std::uint8_t> d) {
    NetConfigResponder::Config c;
    for (int i = 0; i < 4; ++i) {
        c.ip[i] = d[3 + i];
        c.mask[i] = d[7 + i];
        c.gateway[i] = d[11 + i];
    }
    for (int i = 0; i < 6; ++i)
        c.mac[i] = d[15 + i];
    c.dhcp = d[21] != 0;
    c.port = static_cast<std::uint16_t>(d[22] << 8 | d[23]);
    return c;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool NetConfigResponder::parseIp(const std::string& text, std::array<std::uint8_t, 4>& out) {
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= text.size())
            return false;
        int value = 0;
        std::size_t start = pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 3)
            value = value * 10 + (text[pos++] - '0');
        if (pos == start || value > 255)
            return false;
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value);
        if (i < 3) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
    }
    return pos == text.size();
}

bool NetConfigResponder::parseMac(const std::string& text, std::array<std::uint8_t, 6>& out) {
    if (text.size() != 17)
        return false;
    for (std::size_t i = 0; i < 6; ++i) {
        int hi = hexDigit(text[i * 3]);
        int lo = hexDigit(text[i * 3 + 1]);
        if (hi < 0 || lo < 0 || (i < 5 && text[i * 3 + 2] != ':'))
            return false;
        out[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return true;
}

std::vector<std::uint8_t> NetConfigResponder::encode(std::uint8_t command, const Config& c) const {
    std::vector<std::uint8_t> r(kRecordSize, 0);
    r[0] = r[1] = 0xAA;
    r[2] = command;
    for (std::size_t i = 0; i < 4; ++i) {
        r[3 + i] = c.ip[i];
        r[7 + i] = c.mask[i];
        r[11 + i] = c.gateway[i];
    }
    for (std::size_t i = 0; i < 6; ++i)
        r[15 + i] = c.mac[i];
    r[21] = c.dhcp ? 1 : 0;
    r[22] = static_cast<std::uint8_t>(c.port >> 8);
    r[23] = static_cast<std::uint8_t>(c.port & 0xFF);
    r[33] = r[34] = 0x55;
    return r;
}

void NetConfigResponder::malformed(std::span<const std::uint8_t> d, const std::string& from,
                                   const char* reason) {
    std::string hex;
    char buf[3];
    for (std::size_t i = 0; i < d.size() && i < 64; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", d[i]);
        hex += buf;
    }
    m_malformed.push_back({{"from", from}, {"size", d.size()}, {"hex", hex}, {"reason", reason}});
}

std::vector<std::uint8_t> NetConfigResponder::handle(std::span<const std::uint8_t> d,
                                                     const std::string& from, bool answer) {
    if (d.size() != kRecordSize) {
        malformed(d, from, "not 35 bytes");
        return {};
    }
    if (d[0] != 0xAA || d[1] != 0xAA || d[33] != 0x55 || d[34] != 0x55) {
        malformed(d, from, "no AA AA / 55 55 frame");
        return {};
    }
    switch (d[2]) {
    case 0x00:
        ++m_searches;
        return answer ? encode(0x01, m_record) : std::vector<std::uint8_t>{};
    case 0x02: {
        Config c = decode(d);
        if (c.mac != m_record.mac) {
            ++m_ignored;
            return {};
        }
        m_changes.push_back({c, false});
        m_pending = m_changes.size() - 1;
        return answer ? encode(0x03, c) : std::vector<std::uint8_t>{};
    }
    case 0x04: {
        Config c = decode(d);
        if (c.mac != m_record.mac || !m_pending) {
            ++m_ignored;
            return {};
        }
        Change& change = m_changes[*m_pending];
        change.restarted = true;
        m_record = change.config;
        m_pending.reset();
        ++m_restarts;
        return {};
    }
    default:
        malformed(d, from, "unknown command");
        return {};
    }
}

nlohmann::json NetConfigResponder::toJson() const {
    nlohmann::json changes = nlohmann::json::array();
    for (const Change& c : m_changes) {
        nlohmann::json j = configJson(c.config);
        j["restarted"] = c.restarted;
        changes.push_back(std::move(j));
    }
    return {{"record", configJson(m_record)},
            {"pending", m_pending ? configJson(m_changes[*m_pending].config) : nlohmann::json()},
            {"changes", changes},
            {"searches", m_searches},
            {"restarts", m_restarts},
            {"ignored", m_ignored},
            {"malformed", m_malformed}};
}

} // namespace korva
