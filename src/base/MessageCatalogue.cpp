#include "base/MessageCatalogue.h"

#include "base/Language.h"

namespace korva {

namespace {
#include "base/MessageTables.inc"
} // namespace

void MessageCatalogue::selectLanguage(std::uint16_t langId) { m_korean = isKorean(langId); }

const char* MessageCatalogue::text(int n) const { return m_korean ? koreanText(n) : english(n); }

const char* MessageCatalogue::english(int n) { return n >= 0 && n < kMessageCount ? kEnglish[n] : ""; }

const char* MessageCatalogue::koreanText(int n) {
    return n >= 0 && n < kMessageCount ? kKorean[n] : "";
}

} // namespace korva
