#pragma once
// The program's file version, read back from its own executable file.
#include <string>

namespace korva {

struct FileVersion {
    int major = 0, minor = 0, build = 0, revision = 0;
    bool operator==(const FileVersion&) const = default;
};

// Reads the version block from the ELF file at path; all four numbers are 0 when the file
// cannot be read, has no ".korva_version" section, or the block's signature or translation
// table is missing.
FileVersion readFileVersion(const std::string& path);

// The running program's version (/proc/self/exe).
FileVersion currentFileVersion();

// "1.0.0.3".
std::string dottedVersion(const FileVersion& version);

} // namespace korva
