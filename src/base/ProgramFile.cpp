#include "base/ProgramFile.h"

#include <unistd.h>

namespace korva {

std::string ownExecutable() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    return n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
}

std::string shippedFile(const std::string& exePath, const std::string& installedDir,
                        const std::string& name) {
    auto slash = exePath.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : exePath.substr(0, slash);
    std::string installed = dir + "/" + installedDir + "/" + name;
    std::string beside = dir + "/" + name;
    if (access(installed.c_str(), F_OK) == 0)
        return installed;
    if (access(beside.c_str(), F_OK) == 0)
        return beside;
    return installed;
}

} // namespace korva
