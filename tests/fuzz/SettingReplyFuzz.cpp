// libFuzzer target: any bytes as the printer's side of a Get Value, through the reply parser
// into the settings the screen shows. A complete reply leaves nothing behind, so a parser that
// has just taken one must decode what follows exactly as a fresh one does.
#include "FuzzCheck.h"
#include "setup/PrinterSettings.h"
#include "setup/SettingReplyParser.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korva;
    SettingReplyParser fresh;
    SettingReplyParser primed;
    std::optional<SettingReply> first;
    for (int b : {0x37, 0x27, 0x32, 0x35, 0x35, 0x1F, 0x31, 0x32, 0x00}) // 255 = "12"
        first = primed.feed(static_cast<std::uint8_t>(b));
    KORVA_FUZZ_CHECK(first && first->number == 0xFF && first->value == 12);

    PrinterSettings settings;
    for (std::size_t i = 0; i < size; ++i) {
        const std::optional<SettingReply> a = fresh.feed(data[i]);
        const std::optional<SettingReply> b = primed.feed(data[i]);
        KORVA_FUZZ_CHECK(a == b);
        if (!a)
            continue;
        KORVA_FUZZ_CHECK(a->number >= 0 && a->number <= 0xFF);
        KORVA_FUZZ_CHECK(a->text.size() <= SettingReply::kTextSlot);
        (void)settings.applyReply(*a);
    }

    // The first byte as a setting number, the rest as its value text.
    if (size > 0) {
        const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
        const std::optional<SettingReply> r = SettingReplyParser::decode(data[0], text);
        if (r) {
            KORVA_FUZZ_CHECK(r->number == data[0]);
            KORVA_FUZZ_CHECK(r->text.size() <= SettingReply::kTextSlot);
            (void)settings.applyReply(*r);
            // Framed as the printer sends it, the same text decodes the same way, unless it
            // holds the terminator or does not fit the parser's buffer.
            if (text.find('\0') == std::string::npos &&
                text.size() <= SettingReplyParser::kDataSize) {
                SettingReplyParser framed;
                std::optional<SettingReply> got;
                const std::string head = "\x37\x27" + std::to_string(data[0]) + "\x1F";
                for (char c : head + text)
                    KORVA_FUZZ_CHECK(!framed.feed(static_cast<std::uint8_t>(c)));
                got = framed.feed(0);
                KORVA_FUZZ_CHECK(got == r);
            }
        }
    }
    return 0;
}
