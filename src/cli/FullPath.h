#pragma once
// Paths the profile keeps for the desktop program must name the file wherever that program is
// started from, so a path typed relative to the shell's folder is stored whole.
#include <filesystem>
#include <string>

namespace korva::cli {

inline std::string fullPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.lexically_normal().string();
}

} // namespace korva::cli
