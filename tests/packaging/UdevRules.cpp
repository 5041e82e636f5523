#include "packaging/UdevRules.h"

#include <fnmatch.h>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace korva::test {

namespace {

const std::set<std::string> kMatchKeys = {"ACTION",     "SUBSYSTEM", "KERNEL", "ENV",
                                          "SUBSYSTEMS", "KERNELS",   "ATTRS"};
const std::set<std::string> kParentKeys = {"SUBSYSTEMS", "KERNELS", "ATTRS"};
const std::set<std::string> kAssignKeys = {"ENV", "TAG", "SYMLINK", "OPTIONS", "GOTO", "LABEL"};

// udev patterns: shell globs, with '|' separating alternatives.
bool globMatch(const std::string& pattern, const std::string& value) {
    std::stringstream alternatives(pattern);
    std::string one;
    while (std::getline(alternatives, one, '|'))
        if (fnmatch(one.c_str(), value.c_str(), 0) == 0)
            return true;
    return pattern.empty() && value.empty();
}

std::string lookup(const std::map<std::string, std::string>& map, const std::string& key) {
    auto it = map.find(key);
    return it == map.end() ? std::string() : it->second;
}

} // namespace

bool UdevRules::parse(const std::string& text, const std::string& name, std::string& error) {
    static const std::regex token(
        R"re(\s*([A-Z_]+)(\{([^}]*)\})?\s*(==|!=|\+=|:=|=)\s*"([^"]*)"\s*(,|$))re");
    std::istringstream in(text);
    std::string line, logical;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\\') {
            logical += line.substr(0, line.size() - 1);
            continue;
        }
        logical += line;
        std::string rule = logical;
        logical.clear();
        auto first = rule.find_first_not_of(" \t");
        if (first == std::string::npos || rule[first] == '#')
            continue;
        Rule parsed;
        std::string rest = rule.substr(first);
        std::smatch m;
        while (!rest.empty()) {
            if (!std::regex_search(rest, m, token, std::regex_constants::match_continuous)) {
                error = name + ":" + std::to_string(lineNo) + ": cannot parse: " + rest;
                return false;
            }
            Token t{m[1], m[3], m[4], m[5]};
            bool match = t.op == "==" || t.op == "!=";
            if (match ? !kMatchKeys.count(t.key) : !kAssignKeys.count(t.key)) {
                error = name + ":" + std::to_string(lineNo) + ": unsupported " + t.key + t.op;
                return false;
            }
            if (t.key == "OPTIONS" && t.value != "string_escape=replace") {
                error = name + ":" + std::to_string(lineNo) + ": unsupported option " + t.value;
                return false;
            }
            if (t.key == "LABEL")
                parsed.label = t.value;
            parsed.tokens.push_back(t);
            rest = m.suffix();
        }
        m_rules.push_back(parsed);
    }
    return true;
}

UdevResult UdevRules::apply(const UdevEvent& event) const {
    UdevResult result;
    const FakeUdevDevice& dev = event.chain.front();
    bool escapeReplace = false;
    for (std::size_t r = 0; r < m_rules.size(); ++r) {
        const Rule& rule = m_rules[r];
        // The parent keys of one rule must all hold at one device of the chain (the device
        // itself included); that device answers $attr{} for attributes the device lacks.
        std::size_t parent = 0;
        bool hasParentKeys = false;
        for (const Token& t : rule.tokens)
            hasParentKeys |= kParentKeys.count(t.key) > 0;
        if (hasParentKeys) {
            bool found = false;
            for (parent = 0; parent < event.chain.size() && !found; ++parent) {
                const FakeUdevDevice& d = event.chain[parent];
                bool all = true;
                for (const Token& t : rule.tokens) {
                    if (!kParentKeys.count(t.key))
                        continue;
                    std::string v = t.key == "SUBSYSTEMS"  ? d.subsystem
                                    : t.key == "KERNELS"   ? d.kernel
                                    : d.attrs.count(t.arg) ? d.attrs.at(t.arg)
                                                           : std::string("\x01");
                    all &= globMatch(t.value, v) == (t.op == "==");
                }
                found = all;
            }
            if (!found)
                continue;
            --parent;
        }
        auto substitute = [&](const std::string& in) {
            static const std::regex sub(R"(\$(attr|env)\{([^}]*)\}|\$kernel|%k)");
            std::string out;
            auto begin = std::sregex_iterator(in.begin(), in.end(), sub);
            std::size_t last = 0;
            for (auto it = begin; it != std::sregex_iterator(); ++it) {
                out += in.substr(last, it->position() - last);
                std::string what = (*it)[1];
                std::string key = (*it)[2];
                if (what == "attr")
                    out += dev.attrs.count(key) ? dev.attrs.at(key)
                                                : lookup(event.chain[parent].attrs, key);
                else if (what == "env")
                    out += lookup(result.env, key);
                else
                    out += dev.kernel;
                last = it->position() + it->length();
            }
            out += in.substr(last);
            if (out.find('$') != std::string::npos || out.find('%') != std::string::npos)
                throw std::runtime_error("unsupported substitution in " + in);
            return out;
        };
        bool matched = true;
        for (const Token& t : rule.tokens) {
            if (t.op != "==" && t.op != "!=")
                continue;
            if (kParentKeys.count(t.key))
                continue;
            std::string v = t.key == "ACTION"      ? event.action
                            : t.key == "SUBSYSTEM" ? dev.subsystem
                            : t.key == "KERNEL"    ? dev.kernel
                                                   : lookup(result.env, t.arg);
            matched &= globMatch(t.value, v) == (t.op == "==");
        }
        if (!matched)
            continue;
        for (const Token& t : rule.tokens) {
            if (t.op == "==" || t.op == "!=" || t.key == "LABEL")
                continue;
            if (t.key == "GOTO") {
                std::size_t target = r;
                while (target < m_rules.size() && m_rules[target].label != t.value)
                    ++target;
                if (target == m_rules.size())
                    throw std::runtime_error("GOTO without its LABEL: " + t.value);
                r = target;
                break;
            }
            if (t.key == "OPTIONS") {
                escapeReplace = true;
            } else if (t.key == "ENV") {
                result.env[t.arg] = substitute(t.value);
            } else if (t.key == "TAG") {
                result.tags.insert(t.value);
            } else if (t.key == "SYMLINK") {
                std::string links = substitute(t.value);
                // Characters outside udev's set become '_'; with string_escape=replace a space
                // does too, otherwise it separates two links.
                for (char& c : links) {
                    bool allowed = std::isalnum(static_cast<unsigned char>(c)) ||
                                   std::string("#+-.:=@_/").find(c) != std::string::npos;
                    if (!allowed && !(c == ' ' && !escapeReplace))
                        c = '_';
                }
                std::istringstream words(links);
                std::string link;
                while (words >> link)
                    result.symlinks.push_back(link);
            }
        }
    }
    return result;
}

} // namespace korva::test
