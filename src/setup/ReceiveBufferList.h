#pragma once
// The Receive Buffer Size list, kept in the profile section "USER" as "R_BUF_SZ0",
// "R_BUF_SZ1", ... and read in order until the first empty value. When not even "R_BUF_SZ0"
// exists the list is "64", "32", "20", "4", and those four are written to the profile.
// The write record depends only on the list position: only the first four positions have one.
#include <string>
#include <vector>

namespace korva {

class Profile;

class ReceiveBufferList {
public:
    // Reads the list (and writes the default list when the profile has none).
    static std::vector<std::string> load(Profile& profile);

    // Positions the printer's replies and records know: 64, 32, 20 and 4 KB.
    static int positionOfKb(int kb);       // -1 for another size
    static int kbOfPosition(int position); // -1 past the fourth position

    static constexpr int kMaxEntries = 256; // a broken profile cannot make the list endless
};

} // namespace korva
