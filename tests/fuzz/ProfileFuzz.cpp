// libFuzzer target: any bytes as the profile file, read and then changed. The input's first
// line names a section, a key and a value (tab-separated) to write; the rest is the file.
// Every write either reads back as written and leaves every other section's entries as they
// were, or fails and leaves the file byte for byte as it was.
#include "FuzzCheck.h"
#include "base/Profile.h"
#include "fuzz/ScratchFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

std::string upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// A value reads back trimmed of blanks and of one pair of enclosing quotes.
std::string readBack(std::string_view v) {
    v = trim(v);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return std::string(v);
}

// The section names a line-by-line look finds in the file (upper case, so each once).
std::vector<std::string> sectionNames(const std::string& text) {
    std::vector<std::string> names;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        std::string_view line(text.data() + pos,
                              (end == std::string::npos ? text.size() : end) - pos);
        pos = end == std::string::npos ? text.size() : end + 1;
        line = trim(line);
        if (!line.empty() && line.front() == '[') {
            std::string name(trim(line.substr(1, line.find(']') == std::string_view::npos
                                                     ? std::string_view::npos
                                                     : line.find(']') - 1)));
            name = upper(name);
            bool seen = false;
            for (const std::string& n : names)
                seen = seen || n == name;
            if (!seen)
                names.push_back(name);
        }
    }
    return names;
}

Entries without(Entries entries, const std::string& key) {
    std::erase_if(entries, [&](const auto& e) { return upper(e.first) == upper(key); });
    return entries;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace korva;
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t firstLine = input.find('\n');
    if (firstLine == std::string::npos)
        return 0;
    const std::string request = input.substr(0, firstLine);
    const std::string content = input.substr(firstLine + 1);
    const std::size_t tab1 = request.find('\t');
    const std::size_t tab2 = tab1 == std::string::npos ? tab1 : request.find('\t', tab1 + 1);
    if (tab2 == std::string::npos)
        return 0;
    const std::string section = request.substr(0, tab1);
    const std::string key = request.substr(tab1 + 1, tab2 - tab1 - 1);
    const std::string value = request.substr(tab2 + 1);

    static const fuzz::ScratchFolder folder("korva-profile-fuzz");
    if (folder.path.empty())
        return 0;
    const std::string path = folder.path + "/korvaset.INI";
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << content;
    }
    Profile profile(path);
    std::vector<std::string> names = sectionNames(content);
    names.push_back(upper(section));
    std::vector<Entries> before;
    for (const std::string& name : names)
        before.push_back(profile.Entries(name));

    // A key is found in its section as the section's first entry of that name gives it.
    for (std::size_t i = 0; i < names.size(); ++i)
        for (const auto& [k, v] : before[i]) {
            std::string first;
            for (const auto& [k2, v2] : before[i])
                if (upper(k2) == upper(k)) {
                    first = v2;
                    break;
                }
            KORVA_FUZZ_CHECK(profile.GetString(names[i], k, "\x01") == first);
        }

    const auto othersKept = [&] {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (names[i] != upper(section))
                KORVA_FUZZ_CHECK(profile.Entries(names[i]) == before[i]);
    };
    const std::size_t own = names.size() - 1;

    if (profile.WriteString(section, key, std::string_view(value))) {
        KORVA_FUZZ_CHECK(profile.GetString(section, key, "\x01") == readBack(value));
        KORVA_FUZZ_CHECK(without(profile.Entries(section), key) == without(before[own], key));
        othersKept();
        if (profile.WriteString(section, key, std::nullopt))
            othersKept();
    } else {
        KORVA_FUZZ_CHECK(fileText(path) == content);
    }
    const std::string kept = fileText(path);
    if (profile.DeleteSection(section)) {
        KORVA_FUZZ_CHECK(profile.Entries(section).empty());
        othersKept();
    } else {
        KORVA_FUZZ_CHECK(fileText(path) == kept);
    }
    return 0;
}
