#include "setup/ReceiveBufferList.h"

#include "base/Profile.h"

#include <array>

namespace korva {

namespace {
constexpr std::array<int, 4> kKnownKb = {64, 32, 20, 4};
}

std::vector<std::string> ReceiveBufferList::load(Profile& profile) {
    std::vector<std::string> list;
    for (int i = 0; i < kMaxEntries; ++i) {
        std::string value = profile.GetString("USER", "R_BUF_SZ" + std::to_string(i));
        if (value.empty())
            break;
        list.push_back(value);
    }
    if (list.empty()) {
        list = {"64", "32", "20", "4"};
        for (std::size_t i = 0; i < list.size(); ++i)
            profile.WriteString("USER", "R_BUF_SZ" + std::to_string(i), std::string_view(list[i]));
    }
    return list;
}

int ReceiveBufferList::positionOfKb(int kb) {
    for (std::size_t i = 0; i < kKnownKb.size(); ++i)
        if (kKnownKb[i] == kb)
            return static_cast<int>(i);
    return -1;
}

int ReceiveBufferList::kbOfPosition(int position) {
    if (position < 0 || position >= static_cast<int>(kKnownKb.size()))
        return -1;
    return kKnownKb[static_cast<std::size_t>(position)];
}

} // namespace korva
