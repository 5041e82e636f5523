#pragma once
// The KEY=VALUE names of korvactl's setup commands: one key per setting, its values in the
// setup screen's wording (README, "Setting keys"). Parsing checks a value without touching the
// printer; applying goes through the setup screen's own controls, so its rules (questions,
// limits, disabled rows) hold on the command line too.
#include "setup/UserSetupScreen.h"

#include <optional>
#include <string>
#include <vector>

namespace korva::cli {

struct SettingRequest {
    int key = -1; // index into SettingKeys::all()
    std::string value;
};

class SettingKeys {
public:
    struct Key {
        const char* name;
        const char* caption;    // the screen's row, in English
        int number;             // the setting number that answers it; -1 for write-only
        const char* valuesText; // the accepted values, for messages and the README
    };

    static const std::vector<Key>& all();
    static int find(const std::string& name); // -1 for an unknown key

    // "KEY=VALUE"; false with the reason (unknown key, value out of range). receiveBuffer is
    // the screen's receive buffer list (from the profile).
    static bool parse(const std::string& text, const std::vector<std::string>& receiveBuffer,
                      SettingRequest& request, std::string& why);

    // Sets the value through the screen's controls; false with the reason when the screen
    // refuses it (a row disabled or hidden on this model).
    static bool apply(UserSetupScreen& screen, const SettingRequest& request, std::string& why);

    // The value the screen holds, as a KEY value ("58/32", "2color"); nothing when unset.
    static std::optional<std::string> value(const UserSetupScreen& screen, int key);
    // The same in the screen's wording ("58mm, 32 Column").
    static std::string wording(const UserSetupScreen& screen, int key);

    // The row's caption as the screen shows it where the screen translates it (Korean),
    // otherwise the key's English caption.
    static std::string rowCaption(const UserSetupScreen& screen, int key);

    // Whether two spellings name the same value ("2Color" and "2color", "016" and "16").
    static bool sameValue(const std::string& a, const std::string& b);

    // The keys of the settings a Get Value asks for on this screen's port, in query order.
    static std::vector<int> answeredKeys(const UserSetupScreen& screen);
};

} // namespace korva::cli
