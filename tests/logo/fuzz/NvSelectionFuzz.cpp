// libFuzzer target: any text as the print page's Selection. A text the parser accepts must hold
// only digits, '-' and ',', and must print exactly `count` images, every one numbered 1..255.
#include "logo/NvSelection.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korva;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    NvSelection selection;
    if (!parseNvSelection(text, selection)) {
        if (!selection.entries.empty() || selection.count != 0)
            std::abort(); // a refused text leaves nothing to print
        return 0;
    }
    for (char c : text)
        if (c != '-' && c != ',' && (c < '0' || c > '9'))
            std::abort();
    const std::vector<int> numbers = selection.numbers();
    if (numbers.empty() || static_cast<int>(numbers.size()) != selection.count)
        std::abort();
    for (int n : numbers)
        if (n < 1 || n > 255)
            std::abort();
    return 0;
}
