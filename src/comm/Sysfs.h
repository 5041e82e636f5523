#pragma once
// Reading the kernel's device tree (or a fake one in a temporary folder). Nothing here throws;
// missing or unreadable entries give false / "" / an empty list.
#include <string>
#include <vector>

namespace korva::sysfs {

// The whole content of a small attribute file; false when it cannot be read.
bool readText(const std::string& path, std::string& text);

// The value of KEY=value in a uevent file ("" when absent or unreadable).
std::string ueventValue(const std::string& ueventPath, const std::string& key);

// Where a path (usually a symlink) leads, made absolute and free of symlinks; "" when it does
// not resolve to an existing directory.
std::string resolveDir(const std::string& path);

// The entry names of a folder (without "." and ".."), sorted with numbers compared by value
// (ttyS2 before ttyS10). ok is false and error holds errno when the folder cannot be read.
std::vector<std::string> listDir(const std::string& path, bool& ok, int& error);

// Name order with embedded numbers compared by value.
bool naturalLess(const std::string& a, const std::string& b);

// The number at the end of a name such as lp3 or ttyACM12 after the given stem; -1 when the
// name is not stem followed by decimal digits only.
int numberAfter(const std::string& name, const std::string& stem);

} // namespace korva::sysfs
