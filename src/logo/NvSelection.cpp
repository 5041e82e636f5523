#include "logo/NvSelection.h"

#include <cstdlib>
#include <string>

namespace korva {

namespace {

constexpr int kSingle = 256;

// A bound of 1..255 from digits only; -1 otherwise (also for an empty text).
int bound(std::string_view digits) {
    while (digits.size() > 1 && digits.front() == '0')
        digits.remove_prefix(1);
    if (digits.empty() || digits.size() > 3)
        return -1;
    int v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        v = v * 10 + (c - '0');
    }
    return v >= 1 && v <= 255 ? v : -1;
}

} // namespace

bool parseNvSelection(std::string_view text, NvSelection& out) {
    out = {};
    for (char c : text)
        if (c != '-' && c != ',' && (c < '0' || c > '9'))
            return false;
    if (text.find(",,") != std::string_view::npos || text.find("--") != std::string_view::npos)
        return false;
    if (text.empty() || text == ",")
        return false;
    if (text.front() == ',')
        text.remove_prefix(1);
    if (!text.empty() && text.back() == ',')
        text.remove_suffix(1);
    if (text.empty())
        return false;

    NvSelection result;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string_view item = text.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        std::size_t dash = item.find('-');
        if (dash == std::string_view::npos) {
            int n = bound(item);
            if (n < 0)
                return false;
            result.entries.push_back(n + kSingle);
            result.count += 1;
        } else {
            std::string_view lo = item.substr(0, dash);
            std::string_view hi = item.substr(dash + 1);
            int a = lo.empty() ? 1 : bound(lo);
            int b = hi.empty() ? 255 : bound(hi);
            if (a < 0 || b < 0)
                return false;
            result.entries.push_back(a < b ? a : b);
            result.entries.push_back(a < b ? b : a);
            result.count += std::abs(a - b) + 1;
        }
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    out = std::move(result);
    return true;
}

std::vector<int> NvSelection::numbers() const {
    std::vector<int> out;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] > kSingle) {
            out.push_back(entries[i] - kSingle);
        } else if (i + 1 < entries.size()) {
            for (int n = entries[i]; n <= entries[i + 1]; ++n)
                out.push_back(n);
            ++i;
        }
    }
    return out;
}

} // namespace korva
