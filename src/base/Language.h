#pragma once
// The system's default language id, as the screens compare it (0x0412 means Korean).
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace korva {

constexpr std::uint16_t kLangKorean = 0x0412;
constexpr std::uint16_t kLangJapanese = 0x0411;
constexpr std::uint16_t kLangEnglishUS = 0x0409;

// Reads an environment variable; returns nullptr when unset (getenv's contract).
using EnvLookup = std::function<const char*(const char*)>;

// A language id as written in KORVASET_LANGID or korvactl's --lang: "0x0412", "1042", "0412"
// in C notation, at most 0xFFFF; nothing for any other text.
std::optional<std::uint16_t> parseLanguageId(const char* text);

// KORVASET_LANGID when set ("0x0412", "1042"), else the first set of LC_ALL, LC_MESSAGES and LANG:
// ko -> 0x0412, ja -> 0x0411, anything else (or nothing) -> 0x0409.
std::uint16_t systemLanguageId(const EnvLookup& env);
std::uint16_t systemLanguageId(); // from the process environment

inline bool isKorean(std::uint16_t langId) {
    return langId == kLangKorean;
}

} // namespace korva
