#include "support/Bytes.h"

#include <cstdio>
#include <stdexcept>

namespace korva::test {

Bytes bytes(std::string_view text) {
    Bytes out;
    int nibble = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        else if (c == ' ' || c == ',' || c == '\n')
            continue;
        else
            throw std::invalid_argument("bad hex text");
        if (nibble < 0) {
            nibble = v;
        } else {
            out.push_back(static_cast<std::uint8_t>(nibble << 4 | v));
            nibble = -1;
        }
    }
    if (nibble >= 0)
        throw std::invalid_argument("odd number of hex digits");
    return out;
}

std::string hex(const std::uint8_t* data, std::size_t length) {
    std::string out;
    char buf[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", data[i]);
        out += buf;
    }
    return out;
}

std::string hex(const Bytes& data) { return hex(data.data(), data.size()); }

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace korva::test
