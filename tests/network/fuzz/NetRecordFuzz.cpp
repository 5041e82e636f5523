// libFuzzer target: any bytes as a run of received datagrams (each led by a length byte) through
// the record parser and the list's texts, and as typed text through the address and MAC
// readers. A parsed record must give its fields back unchanged when rebuilt.
#include "network/NetConfigRecord.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korva;
    std::span<const std::uint8_t> input(data, size);
    std::size_t pos = 0;
    while (pos < input.size()) {
        std::size_t length = std::min<std::size_t>(input[pos], input.size() - pos - 1);
        std::span<const std::uint8_t> datagram = input.subspan(pos + 1, length);
        pos += 1 + length;
        auto record = NetConfigRecord::parse(datagram);
        if (record.has_value() != (datagram.size() == NetConfigRecord::kSize))
            __builtin_trap();
        if (!record)
            continue;
        std::string row = record->ipText() + record->portText() + record->maskText() +
                          record->gatewayText() + record->macText();
        if (row.empty())
            __builtin_trap();
        NetConfigRecord again = NetConfigRecord::settings(
            record->command(), record->ip(), record->mask(), record->gateway(), record->mac(),
            record->dhcp(), record->port());
        for (std::size_t i = 2; i < 24; ++i)
            if (i != 21 && again.bytes()[i] != record->bytes()[i])
                __builtin_trap();
        Ip4 ip{};
        if (!parseDotted(dottedText(record->ip()), ip) || ip != record->ip())
            __builtin_trap();
        MacAddress mac{};
        if (!parseMacText(record->macText(), mac) || mac != record->mac())
            __builtin_trap();
    }
    std::string text(reinterpret_cast<const char*>(data), size);
    Ip4 ip{};
    if (parseDotted(text, ip) && !parseDotted(dottedText(ip), ip))
        __builtin_trap();
    MacAddress mac{};
    if (parseMacText(text, mac) && macAddressText(mac).size() != 17)
        __builtin_trap();
    return 0;
}
