#include "base/Language.h"

#include <cstdlib>
#include <cstring>

namespace korva {

std::uint16_t systemLanguageId(const EnvLookup& env) {
    if (const char* forced = env("KORVASET_LANGID"); forced && *forced) {
        char* end = nullptr;
        unsigned long value = std::strtoul(forced, &end, 0);
        if (end != forced && *end == '\0' && value <= 0xFFFF)
            return static_cast<std::uint16_t>(value);
    }
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* locale = env(name);
        if (!locale || !*locale)
            continue;
        if (std::strncmp(locale, "ko", 2) == 0 && (locale[2] == '\0' || locale[2] == '_' ||
                                                   locale[2] == '.' || locale[2] == '@'))
            return kLangKorean;
        if (std::strncmp(locale, "ja", 2) == 0 && (locale[2] == '\0' || locale[2] == '_' ||
                                                   locale[2] == '.' || locale[2] == '@'))
            return kLangJapanese;
        return kLangEnglishUS;
    }
    return kLangEnglishUS;
}

std::uint16_t systemLanguageId() {
    return systemLanguageId([](const char* name) { return std::getenv(name); });
}

} // namespace korva
