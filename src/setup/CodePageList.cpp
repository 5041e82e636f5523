#include "setup/CodePageList.h"

#include "base/Profile.h"

#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>

namespace korva {

const std::vector<CodePageEntry>& CodePageList::entries() {
    static const std::vector<CodePageEntry> list = {
        {"0| PC437 (USA, Std Europe)", "CodePage0", "0|PC437 (USA, Std Europe)"},
        {"1| Katakana", "CodePage1", "1|Katakana"},
        {"2| PC 850 (Multilingual)", "CodePage2", "2|PC 850 (Multilingual)"},
        {"3| PC 860 (Portuguese)", "CodePage3", "3|PC 860 (Portuguese)"},
        {"4| PC 863 (Canadian-French)", "CodePage4", "4|PC 863 (Canadian-French)"},
        {"5| PC 865 (Nordic)", "CodePage5", "5|PC 865 (Nordic)"},
        {"14| PC 737 (Greek)", "CodePage14", "14|PC 737 (Greek)"},
        {"16| PC1252 (Windows CP)", "CodePage16", "16|WPC1252 (Windows CP)"},
        {"17| PC 866 (Cyrillic #2)", "CodePage17", "17|PC 866 (Cyrillic #2)"},
        {"18| PC 852 (Latin 2)", "CodePage18", "18|PC 852 (Latin 2)"},
        {"19| PC 858 (West Euro)", "CodePage19", "19|PC 858 (West Euro)"},
        {"21| Thai 11", "CodePage21", "21|Thai 11"},
        {"26| Thai 18", "CodePage26", "26|Thai 18"},
        {"27| FARSI", "CodePage27", "27|FARSI"},
        {"33| PC 775 (Baltic)", "CodePage33", "33|PC 775 (Baltic)"},
        {"34| PC 855 (Cyrillic)", "CodePage34", "34|PC 855 (Cyrillic)"},
        {"36| PC 862 (Hebrew)", "CodePage36", "36|PC 862 (Hebrew)"},
        {"37| PC 864 (Arabic)", "CodePage37", "37|PC 864 (Arabic)"},
        {"45| WPC1250", "CodePage45", "45|WPC 1250"},
        {"46| WPC 1251 (Cyrillic)", "CodePage46", "46|WPC 1251 (Cyrillic)"},
        {"47| WPC1253", "CodePage47", "47|WPC 1253"},
        {"49| WPC1255", "CodePage49", "49|WPC 1255"},
        {"50| WPC1256", "CodePage50", "50|WPC 1256"},
        {"51| WPC 1257 (Baltic)", "CodePage51", "51|WPC 1257 (Baltic)"},
        {"95| TIS 620 (Thai)", "CodePage95", "95|TIS 620 (Thai)"},
        {"96| Thai 42", "CodePage96", "96|Thai 42"},
        {"97| Thai 14", "CodePage97", "97|Thai 14"},
        {"98| Thai 16", "CodePage98", "98|Thai 16"},
        {"99| IRAN SYSTEM (Arabic)", "CodePage99", "99|IRAN SYSTEM (Arabic)"},
        // The last page is numbered 254, but the profile has always called it 255.
        {"254| SPACE PAGE", "CodePage255", "254|SPACE PAGE"},
    };
    return list;
}

int CodePageList::numberOf(const CodePageEntry& entry) {
    return std::atoi(entry.label); // stops at the "|"
}

int CodePageList::positionOf(int number) {
    const auto& list = entries();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (numberOf(list[i]) == number)
            return static_cast<int>(i);
    return -1;
}

std::string CodePageList::labelOf(int number) {
    int p = positionOf(number);
    return p < 0 ? std::string() : std::string(entries()[static_cast<std::size_t>(p)].label);
}

bool CodePageList::writeProfile(Profile& profile) {
    // One replacement of the file for all thirty pairs, not one each.
    std::vector<std::pair<std::string_view, std::optional<std::string_view>>> pairs;
    pairs.reserve(entries().size());
    for (const CodePageEntry& e : entries())
        pairs.emplace_back(e.profileKey, std::string_view(e.profileValue));
    return profile.WriteStrings("USER", pairs);
}

} // namespace korva
