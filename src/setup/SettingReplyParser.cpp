#include "setup/SettingReplyParser.h"

#include "setup/PrinterSettings.h"

namespace korva {

namespace {

// The decimal number at the start of at most the first 15 characters; 0 when there is none.
long long leadingDecimal(const std::string& text) {
    long long value = 0;
    for (std::size_t i = 0; i < text.size() && i < SettingReply::kTextSlot; ++i) {
        char c = text[i];
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string slot(const std::string& text, std::size_t from = 0) {
    if (from >= text.size())
        return "";
    return text.substr(from, SettingReply::kTextSlot);
}

} // namespace

std::optional<SettingReply> SettingReplyParser::feed(std::uint8_t byte) {
    if (!m_header) {
        m_header = byte == 0x37;
        return std::nullopt;
    }
    if (!m_identifier) {
        m_identifier = byte == 0x27;
        return std::nullopt;
    }
    if (!m_separator) {
        if (byte == 0x1F) {
            m_separator = true;
        } else {
            // Only the first three digits count; a longer number is taken as its first three.
            if (m_digits == 0)
                m_number = byte - 0x30;
            else if (m_digits < 3)
                m_number = m_number * 10 + (byte - 0x30);
            ++m_digits;
        }
        return std::nullopt;
    }
    if (byte != 0) {
        if (m_fill < kDataSize)
            m_data[m_fill++] = static_cast<char>(byte);
        else
            m_overflow = true;
        return std::nullopt;
    }
    std::optional<SettingReply> event;
    if (!m_overflow)
        event = decode(m_number, std::string(m_data.data(), m_fill));
    reset();
    return event;
}

void SettingReplyParser::reset() {
    m_header = m_identifier = m_separator = m_overflow = false;
    m_digits = 0;
    m_number = 0;
    m_fill = 0;
    m_data.fill(0);
}

std::optional<SettingReply> SettingReplyParser::decode(int rawNumber, const std::string& text) {
    // Non-digit bytes before the separator can make the number negative; modulo 256 as a byte.
    int number = static_cast<int>(static_cast<std::uint8_t>(rawNumber & 0xFF));
    char first = text.empty() ? '\0' : text[0];
    SettingReply r;
    r.number = number;
    switch (number) {
    case SetNvUserMemory:
        r.value = first >= '2' && first <= '5' ? first - '1' : 0;
        return r;
    case SetNvGraphicMemory:
        r.value = first >= '1' && first <= '6' ? first - '1' : 6;
        return r;
    case SetPaperWidth:
        if (first == '6')
            r.value = 1;
        else if (first == '2')
            r.value = 2;
        else if (first == '3')
            r.value = 3;
        else
            return std::nullopt;
        return r;
    case SetPaperType:
        if (text == "1")
            r.value = 1;
        else if (text == "257")
            r.value = 2;
        else
            return std::nullopt;
        return r;
    case SetDrawerWithCut:
    case SetCuttingMode:
    case SetBoldKorean:
        if (first != '0' && first != '1')
            return std::nullopt;
        r.value = first == '1' ? 2 : 1;
        return r;
    case SetDrawerSelfTest:
        r.value = first == '1' ? 2 : 1;
        return r;
    case SetStopBit:
        if (first != '0' && first != '1')
            return std::nullopt;
        r.value = first - 47;
        return r;
    case SetWaterMark:
    case SetCutPosition:
        if (first == '1') {
            r.value = 2;
            r.text = slot(text, 1);
        } else if (first == '0') {
            r.value = 1;
        } else {
            return std::nullopt;
        }
        return r;
    case SetBellTypeTimes:
        // An empty text has no brand sound: "Other Bell", with the times left as they are.
        r.value = static_cast<unsigned char>(first);
        r.text = slot(text, 1);
        return r;
    case SetReceiveBuffer:
        if (text == "64")
            r.value = 64;
        else if (text == "32")
            r.value = 32;
        else if (text == "20")
            r.value = 20;
        else if (text == "04" || text == "4")
            r.value = 4;
        else
            return std::nullopt;
        return r;
    case SetSetupCode: {
        // The value is a 32-bit number sent in decimal; anything else is not a setup code.
        if (text.empty() || text.size() > 10)
            return std::nullopt;
        unsigned long long v = 0;
        for (char c : text) {
            if (c < '0' || c > '9')
                return std::nullopt;
            v = v * 10 + static_cast<unsigned>(c - '0');
        }
        if (v > 0xFFFFFFFFull)
            return std::nullopt;
        r.value = static_cast<long long>(v);
        return r;
    }
    case SetLeftMargin:
        // 0..512 dots: anything else is not a margin the printer holds, so the query stays
        // unanswered rather than showing a made-up value.
        if (text.empty() || text.size() > 3 ||
            text.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        r.value = leadingDecimal(text);
        if (r.value > 512)
            return std::nullopt;
        r.text = text;
        return r;
    case SetColorDensity:
    case SetCodePage:
    case SetPrintSpeed:
        r.text = slot(text);
        r.value = leadingDecimal(r.text);
        return r;
    default:
        return std::nullopt;
    }
}

} // namespace korva
