#pragma once
// The print page's "Selection" text: NV image numbers and ranges such as "1,3-5,9", "-3" (1 to
// 3), "250-" (250 to 255), "5-3" (3 to 5). Only digits, '-' and ',' are allowed; ",," and "--"
// are refused; one leading and one trailing comma are dropped; every bound is 1..255.
//
// The parsed list keeps the printing dialog's encoding: a range a-b is two entries,
// min(a, b) then max(a, b) (1..255); a single number n is one entry n + 256 (257..511).
// Pure functions; any thread.
#include <string_view>
#include <vector>

namespace korva {

struct NvSelection {
    std::vector<int> entries;
    int count = 0; // images the selection prints (numbers may repeat)

    // The image numbers in printing order.
    std::vector<int> numbers() const;
};

// False for an invalid selection (out is then empty).
bool parseNvSelection(std::string_view text, NvSelection& out);

} // namespace korva
