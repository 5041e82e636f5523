#pragma once

#include <string>

namespace korva {

// The running program's own path (/proc/self/exe), or empty when it cannot be read.
std::string ownExecutable();

// A file shipped with the program: <program dir>/<installedDir>/<name> when that exists, else
// <program dir>/<name> when that exists, else the installed path (so a failure names where the
// file belongs). An installed program keeps such files under its share or library folder; a
// program run from its build folder (or copied elsewhere with them) has them alongside.
std::string shippedFile(const std::string& exePath, const std::string& installedDir,
                        const std::string& name);

} // namespace korva
