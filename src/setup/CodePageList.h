#pragma once
// The 30 code pages of the Default Code Page list, with their profile pairs.
//
// Each entry has its list label ("16| PC1252 (Windows CP)"), a profile key and a profile value.
// The code page number of an entry is the decimal number in front of the "|" of its label.
// Whenever the setup screen opens it writes all 30 pairs to the profile section "USER";
// nothing reads them back.
#include <string>
#include <vector>

namespace korva {

class Profile;

struct CodePageEntry {
    const char* label;
    const char* profileKey;
    const char* profileValue;
};

class CodePageList {
public:
    static const std::vector<CodePageEntry>& entries();

    // The decimal number in front of the first "|" of a label.
    static int numberOf(const CodePageEntry& entry);
    // The first entry whose number matches, scanning from the top; -1 for none.
    static int positionOf(int number);
    // The label of the entry with that number; "" for none.
    static std::string labelOf(int number);

    // Writes the 30 pairs to section "USER". False when a write failed (the profile logs why).
    static bool writeProfile(Profile& profile);
};

} // namespace korva
