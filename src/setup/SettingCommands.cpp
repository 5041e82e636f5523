#include "setup/SettingCommands.h"

#include "base/Language.h"

#include <cstring>

namespace korva {

namespace {

ByteString text(const char* s, bool terminate) {
    ByteString out(s, s + std::strlen(s));
    if (terminate)
        out.push_back(0);
    return out;
}

// "한글출력테스트 漢子 한글 0123456789\n" in code page 949: it never changes, so the 36 bytes are
// kept as they are instead of converting at run time (a system without the CP949 converter
// must still print the same page).
const std::uint8_t kKoreanLine[] = {0xC7, 0xD1, 0xB1, 0xDB, 0xC3, 0xE2, 0xB7, 0xC2, 0xC5,
                                    0xD7, 0xBD, 0xBA, 0xC6, 0xAE, 0x20, 0xF9, 0xD3, 0xED,
                                    0xAD, 0x20, 0xC7, 0xD1, 0xB1, 0xDB, 0x20, 0x30, 0x31,
                                    0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38, 0x39, 0x0A};

} // namespace

ByteString SettingCommands::enterSetup() {
    return {0x1D, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4E};
}

ByteString SettingCommands::leaveSetup() {
    return {0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4F, 0x55, 0x54};
}

ByteString SettingCommands::query(std::uint8_t n) {
    return {0x1D, 0x28, 0x45, 0x02, 0x00, 0x06, n};
}

ByteString SettingCommands::statusBackOff() {
    return {0x1D, 0x61, 0x00};
}

ByteString SettingCommands::parallelFinish() {
    return ByteString(5, 0x00);
}

const std::vector<std::uint8_t>& SettingCommands::serialQueryOrder() {
    static const std::vector<std::uint8_t> order = {0x03, 0x74, 0x76, 0xF2, 0xF3, 0xF4,
                                                    0xF5, 0xF6, 0xF7, 0xF8, 0xF9, 0xFA,
                                                    0xFB, 0xFC, 0xFD, 0x01, 0x02, 0xFF};
    return order;
}

const std::vector<std::uint8_t>& SettingCommands::networkQueryOrder() {
    static const std::vector<std::uint8_t> order = [] {
        std::vector<std::uint8_t> o;
        for (std::uint8_t n : serialQueryOrder())
            if (n != 0xFD)
                o.push_back(n);
        return o;
    }();
    return order;
}

const std::vector<std::uint8_t>& SettingCommands::parallelQueryList() {
    static const std::vector<std::uint8_t> list = {0x01, 0x02, 0x03, 0x74, 0x76, 0xF2,
                                                   0xF3, 0xF4, 0xF5, 0xF6, 0xF7, 0xF8,
                                                   0xF9, 0xFA, 0xFB, 0xFC, 0xFF};
    return list;
}

std::vector<ByteString> SettingCommands::testPrint(std::uint16_t langId) {
    std::vector<ByteString> items;
    const ByteString lineFeed = {0x0A, 0x00};
    const ByteString init = {0x1B, 0x40};
    items.push_back(init);
    items.push_back(text("USER SETUP UTILITY TEST PRINT!\n", true));
    for (int i = 0; i < 10; ++i) {
        std::uint8_t colour = i % 2 == 0 ? 0x32 : 0x31;
        items.push_back({0x1D, 0x28, 0x4E, 0x02, 0x00, 0x30, colour});
        items.push_back(text("0123456789", true));
    }
    items.push_back(lineFeed);
    ByteString allHigh;
    for (int c = 0x80; c <= 0xFF; ++c)
        allHigh.push_back(static_cast<std::uint8_t>(c));
    items.push_back(allHigh);
    items.push_back(lineFeed);
    items.push_back(init);
    items.push_back(lineFeed);
    if (isKorean(langId)) {
        ByteString korean(std::begin(kKoreanLine), std::end(kKoreanLine));
        korean.push_back(0);
        items.push_back(korean);
    }
    for (int i = 0; i < 3; ++i)
        items.push_back(lineFeed);
    items.push_back({0x1B, 0x69});
    return items;
}

} // namespace korva
