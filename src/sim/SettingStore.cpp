#include "sim/SettingStore.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace korva {

namespace {

struct SettingInfo {
    int number;
    const char* name;
};

constexpr std::array<SettingInfo, 26> kSettings = {{
    {0x01, "nvUserMemory"},
    {0x02, "nvGraphicMemory"},
    {0x03, "paperWidth"},
    {0x74, "paperType"},
    {0x76, "secondColourDensity"},
    {0xF2, "waterMark"},
    {0xF3, "cuttingPosition"},
    {0xF4, "drawerWithCutting"},
    {0xF5, "kitchenBellType"},
    {0xF6, "codePage"},
    {0xF7, "cuttingMode"},
    {0xF8, "boldKoreanFont"},
    {0xF9, "maxPrintSpeed"},
    {0xFA, "leftMargin"},
    {0xFB, "drawerInSelfTest"},
    {0xFC, "receiveBuffer"},
    {0xFD, "stopBit"},
    {0xFF, "setupCode"},
    {0xCC, "emulation"},
    {0xCD, "kitchenBell"},
    {0xCE, "autoCutter"},
    {0xCF, "selfTestKey"},
    {0xD0, "printDensity"},
    {0xD2, "usbMode"},
    {0xD4, "sleepMode"},
    {0xD5, "paperSaveMode"},
}};

bool inRange(int v, int lo, int hi) {
    return v >= lo && v <= hi;
}

// The value text for a two-byte record, or nullopt when the bytes are outside what the
// printer accepts for that setting.
std::optional<std::string> textOf(int number, int b1, int b2) {
    auto dec = [](int v) { return std::to_string(v); };
    switch (number) {
    case 0x01:
        return b2 == 0 && inRange(b1, 1, 5) ? std::optional(dec(b1)) : std::nullopt;
    case 0x02:
        return b2 == 0 && inRange(b1, 1, 7) ? std::optional(dec(b1)) : std::nullopt;
    case 0x03:
        return b2 == 0 && (b1 == 6 || b1 == 2 || b1 == 3) ? std::optional(dec(b1)) : std::nullopt;
    case 0x74:
        return b1 == 1 && (b2 == 0 || b2 == 1) ? std::optional(dec(b1 + 256 * b2)) : std::nullopt;
    case 0x76:
        return b2 == 0 && (b1 == 70 || b1 == 85 || b1 == 100) ? std::optional(dec(b1))
                                                              : std::nullopt;
    case 0xF2: // water mark: 0 n enables image n, 0 0 disables
        if (b1 != 0)
            return std::nullopt;
        return b2 == 0 ? std::string("0") : "1" + dec(b2);
    case 0xF3: // cutting position: 1 n is ON with n lines, 0 0 is OFF
        if (b1 == 1)
            return "1" + dec(b2);
        return b1 == 0 && b2 == 0 ? std::optional<std::string>("0") : std::nullopt;
    case 0xF4:
        return b1 == 0 && (b2 == 0 || b2 == 1) ? std::optional(dec(b2)) : std::nullopt;
    case 0xF5:
        return inRange(b1, 0, 4) && inRange(b2, 1, 5) ? std::optional(dec(b1) + dec(b2))
                                                      : std::nullopt;
    case 0xF6:
        return b2 == 0 ? std::optional(dec(b1)) : std::nullopt;
    case 0xF7:
    case 0xF8:
    case 0xFB:
    case 0xFD:
        return b2 == 1 && (b1 == 0 || b1 == 1) ? std::optional(dec(b1)) : std::nullopt;
    case 0xF9: {
        int speed = b1 + 256 * b2;
        return speed == 150 || speed == 180 || speed == 200 || speed == 220
                   ? std::optional(dec(speed))
                   : std::nullopt;
    }
    case 0xFA: {
        int dots = b1 + 256 * b2;
        return dots <= 512 ? std::optional(dec(dots)) : std::nullopt;
    }
    case 0xFC: {
        std::string text{static_cast<char>(b1), static_cast<char>(b2)};
        return text == "64" || text == "32" || text == "20" || text == "04" ? std::optional(text)
                                                                            : std::nullopt;
    }
    case 0xCC:
    case 0xCD:
    case 0xCE:
    case 0xCF:
    case 0xD2:
        return b2 == 0 && inRange(b1, 1, 2) ? std::optional(dec(b1)) : std::nullopt;
    case 0xD0:
        return b2 == 0 && inRange(b1, 1, 4) ? std::optional(dec(b1)) : std::nullopt;
    case 0xD4:
        return b2 == 0 && inRange(b1, 0, 3) ? std::optional(dec(b1)) : std::nullopt;
    case 0xD5:
        return b2 == 0 && inRange(b1, 0, 2) ? std::optional(dec(b1)) : std::nullopt;
    default:
        return std::nullopt;
    }
}

} // namespace

SettingStore::SettingStore(int modelKind, int nvGraphicKB) {
    // Factory values: the choices the setup screen's Default button makes on an English system.
    m_values = {
        {0x01, "1"}, {0x03, "6"},   {0x74, "1"},  {0x76, "85"}, {0xF2, "0"},
        {0xF3, "0"}, {0xF4, "0"},   {0xF5, "13"}, {0xF6, "0"},  {0xF7, "0"},
        {0xF8, "1"}, {0xF9, "220"}, {0xFA, "0"},  {0xFB, "1"},  {0xFC, "04"},
        {0xFD, "0"}, {0xFF, "0"},   {0xCC, "2"},  {0xCD, "2"},  {0xCE, "1"},
        {0xCF, "2"}, {0xD0, "2"},   {0xD2, "1"},  {0xD4, "0"},  {0xD5, "0"},
    };
    std::sort(m_values.begin(), m_values.end());
    // NV graphic memory: list position + 1 of 0, 64, ..., 384 KB.
    int position = nvGraphicKB / 64;
    if (position > 6)
        position = 6;
    store(0x02, std::to_string(position + 1));
    (void)modelKind;
}

void SettingStore::store(int number, std::string text) {
    auto it = std::lower_bound(m_values.begin(), m_values.end(), number,
                               [](const auto& v, int n) { return v.first < n; });
    if (it != m_values.end() && it->first == number)
        it->second = std::move(text);
    else
        m_values.insert(it, {number, std::move(text)});
}

const std::string& SettingStore::value(int number) const {
    static const std::string none;
    auto it = std::lower_bound(m_values.begin(), m_values.end(), number,
                               [](const auto& v, int n) { return v.first < n; });
    return it != m_values.end() && it->first == number ? it->second : none;
}

std::vector<SettingStore::Record> SettingStore::apply(std::span<const std::uint8_t> data) {
    std::vector<Record> out;
    std::size_t i = 0;
    while (i < data.size()) {
        Record r;
        r.number = data[i];
        std::size_t need = r.number == 0xFF ? 5 : 2;
        if (data.size() - i - 1 < need) {
            r.verdict = Record::Verdict::Truncated;
            r.raw.assign(data.begin() + static_cast<std::ptrdiff_t>(i) + 1, data.end());
            out.push_back(std::move(r));
            break;
        }
        auto body = data.subspan(i + 1, need);
        r.raw.assign(body.begin(), body.end());
        i += 1 + need;
        if (!isKnown(r.number)) {
            r.verdict = Record::Verdict::Unknown;
        } else if (r.number == 0xFF) {
            std::uint32_t code = static_cast<std::uint32_t>(body[0]) |
                                 static_cast<std::uint32_t>(body[1]) << 8 |
                                 static_cast<std::uint32_t>(body[2]) << 16 |
                                 static_cast<std::uint32_t>(body[3]) << 24;
            if (body[4] == 0x04) {
                r.value = std::to_string(code);
                store(0xFF, r.value);
            } else {
                r.verdict = Record::Verdict::Invalid;
            }
        } else if (auto text = textOf(r.number, body[0], body[1])) {
            r.value = *text;
            store(r.number, r.value);
        } else {
            r.verdict = Record::Verdict::Invalid;
        }
        out.push_back(std::move(r));
    }
    return out;
}

std::optional<std::string> SettingStore::queryText(int number) const {
    if (!isKnown(number) || isWriteOnly(number))
        return std::nullopt;
    const std::string& text = value(number);
    if (text.empty())
        return std::nullopt;
    return text;
}

const char* SettingStore::nameOf(int number) {
    for (const SettingInfo& s : kSettings)
        if (s.number == number)
            return s.name;
    return "";
}

bool SettingStore::isKnown(int number) {
    return *nameOf(number) != '\0';
}

bool SettingStore::isWriteOnly(int number) {
    return number >= 0xCC && number <= 0xD5;
}

} // namespace korva
