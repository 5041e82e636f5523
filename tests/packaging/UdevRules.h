#pragma once
// A small udev rules interpreter for testing rule files without hardware or the machine's udev:
// it parses a rules file and applies it to a fake device (the device and its parents with their
// sysfs attributes), as udevd would on an event. It knows the keys, operators and substitutions
// the project's rules use and refuses anything else, so a rule it cannot judge fails the test
// instead of passing unchecked.
#include <map>
#include <set>
#include <string>
#include <vector>

namespace korva::test {

struct FakeUdevDevice {
    std::string subsystem;
    std::string kernel;
    std::map<std::string, std::string> attrs;
};

struct UdevEvent {
    std::string action = "add";
    std::vector<FakeUdevDevice> chain; // the device first, then its parents up to the root
};

struct UdevResult {
    std::set<std::string> tags;
    std::vector<std::string> symlinks;
    std::map<std::string, std::string> env;
};

class UdevRules {
public:
    // false with a reason (file:line) when the text has a rule this interpreter cannot judge.
    bool parse(const std::string& text, const std::string& name, std::string& error);
    UdevResult apply(const UdevEvent& event) const;

private:
    struct Token {
        std::string key, arg, op, value;
    };
    struct Rule {
        std::vector<Token> tokens;
        std::string label; // LABEL="..." rules only
    };
    std::vector<Rule> m_rules;
};

} // namespace korva::test
