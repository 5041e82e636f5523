#include "base/Language.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace korva {

std::optional<std::uint16_t> parseLanguageId(const char* text) {
    // strtoul would take a sign or leading blanks; an id is digits only.
    if (!text || !std::isdigit(static_cast<unsigned char>(*text)))
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 0);
    if (errno != 0 || *end != '\0' || value > 0xFFFF)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::uint16_t systemLanguageId(const EnvLookup& env) {
    if (std::optional<std::uint16_t> forced = parseLanguageId(env("KORVASET_LANGID")))
        return *forced;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* locale = env(name);
        if (!locale || !*locale)
            continue;
        if (std::strncmp(locale, "ko", 2) == 0 &&
            (locale[2] == '\0' || locale[2] == '_' || locale[2] == '.' || locale[2] == '@'))
            return kLangKorean;
        if (std::strncmp(locale, "ja", 2) == 0 &&
            (locale[2] == '\0' || locale[2] == '_' || locale[2] == '.' || locale[2] == '@'))
            return kLangJapanese;
        return kLangEnglishUS;
    }
    return kLangEnglishUS;
}

std::uint16_t systemLanguageId() {
    return systemLanguageId([](const char* name) { return std::getenv(name); });
}

} // namespace korva
