// libFuzzer target: any bytes as the profile the logo tool restores its list from. Whatever the
// "LOGO" section holds, the list must stay within its limits and consistent: at most 255
// entries with distinct numbers 1..255, the total the sum of the sizes, gray on and off giving
// the same sizes back, the upload order a permutation sorted by number, and the numbers still
// distinct after a row is removed and files are added again.
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/RecordingPrompter.h"
#include "fuzz/ScratchFolder.h"
#include "logo/LogoList.h"
#include "logo/LogoOptions.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void check(bool condition) {
    if (!condition)
        std::abort();
}

void checkConsistent(const korva::LogoList& list) {
    check(list.entryCount() <= korva::LogoList::kMaxEntries);
    std::int64_t total = 0;
    std::set<int> numbers;
    for (const korva::LogoEntry& e : list.entries()) {
        check(e.size > 0);
        check(e.number >= 1 && e.number <= korva::LogoList::kMaxEntries);
        check(numbers.insert(e.number).second);
        total += e.size;
    }
    check(total == list.totalBytes());
    const std::vector<int> order = list.uploadOrder();
    check(static_cast<int>(order.size()) == list.entryCount());
    std::set<int> positions(order.begin(), order.end());
    check(static_cast<int>(positions.size()) == list.entryCount());
    for (std::size_t i = 1; i < order.size(); ++i)
        check(list.entry(order[i - 1]).number < list.entry(order[i]).number);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korva;
    static const fuzz::ScratchFolder scratch("korva-listfuzz");
    static const std::string file = scratch.path + "/korvaset.INI";
    if (scratch.path.empty())
        std::abort();
    std::FILE* f = std::fopen(file.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    const bool written = std::fwrite(data, 1, size, f) == size;
    if (std::fclose(f) != 0 || !written)
        std::abort();

    const Profile profile(file);
    LogoOptions options;
    MessageCatalogue catalogue;
    RecordingPrompter prompter;
    LogoList list(options, catalogue, prompter);
    (void)list.LoadFromProfile(profile);
    checkConsistent(list);

    std::vector<std::int64_t> sizes;
    for (const LogoEntry& e : list.entries())
        sizes.push_back(e.size);
    list.setGraySizes(true);
    checkConsistent(list);
    list.setGraySizes(false);
    for (std::size_t i = 0; i < sizes.size(); ++i)
        check(list.entry(static_cast<int>(i)).size == sizes[i]);

    // A row removed, then "&Open File..." with two files: every number stays distinct.
    if (list.entryCount() > 0) {
        const LogoEntry first = list.entry(0);
        check(list.RemoveEntry(first.number));
        checkConsistent(list);
        list.takeFailedAsPending();
        (void)list.AddEntry(0, first.path);
        (void)list.AddEntry(0, first.path);
        checkConsistent(list);
    }
    list.ResetList();
    check(list.entryCount() == 0 && list.totalBytes() == 0);
    return 0;
}
