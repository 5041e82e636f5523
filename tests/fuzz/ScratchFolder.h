#pragma once
// A fuzz target's private folder, removed when the fuzzer ends; on a RAM file system where there
// is one, since every input is written there and a disk's journal (or an fsync) would set the
// pace. path is empty when no folder could be made.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace korva::fuzz {

struct ScratchFolder {
    explicit ScratchFolder(const std::string& name) {
        for (const char* root : {"/dev/shm/", "/tmp/"}) {
            std::string pattern = root + name + ".XXXXXX";
            if (::mkdtemp(pattern.data())) {
                path = pattern;
                return;
            }
        }
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!path.empty())
            std::filesystem::remove_all(path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string path;
};

} // namespace korva::fuzz
