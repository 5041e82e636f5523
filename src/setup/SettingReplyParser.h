#pragma once
// Cuts the printer's setting replies out of a byte stream and decodes them.
//
// A reply is 0x37 0x27, the setting number as decimal ASCII digits, 0x1F, the value as ASCII
// text, 0x00. Replies may arrive split or joined in any way; bytes before 0x37 and between
// 0x37 and 0x27 (automatic status blocks, noise) are dropped. A reply whose value text does not
// fit the 100-byte data buffer is dropped whole when its 0x00 arrives, since a cut text could
// decode to a wrong value. One thread feeds a parser; it holds no other state.
#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace korva {

// One decoded reply, as the screen receives it: the setting number, the integer the decoding
// table gives for it, and for the settings that hand text over (0x76, 0xF2, 0xF3, 0xF5, 0xF6,
// 0xF9, 0xFA) that text, at most kTextSlot characters.
struct SettingReply {
    static constexpr std::size_t kTextSlot = 15;
    int number = 0;
    long long value = 0;
    std::string text;
    bool operator==(const SettingReply&) const = default;
};

class SettingReplyParser {
public:
    static constexpr std::size_t kDataSize = 100;

    // Advances the state machine by one byte; a completed reply that decodes yields its event.
    std::optional<SettingReply> feed(std::uint8_t byte);
    void reset();

    // Decodes one complete reply (number taken modulo 256); nothing for an unknown number or a
    // value text the table ignores.
    static std::optional<SettingReply> decode(int number, const std::string& text);

private:
    bool m_header = false;
    bool m_identifier = false;
    bool m_separator = false;
    int m_digits = 0;
    int m_number = 0;
    bool m_overflow = false;
    std::size_t m_fill = 0;
    std::array<char, kDataSize> m_data{};
};

} // namespace korva
