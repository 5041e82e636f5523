#pragma once
// A temporary folder for one test, removed with everything in it when the object goes.
#include <string>

namespace korva::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

    // Small helpers for building fixtures.
    void write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;

private:
    std::string m_path;
};

// Runs a test body with the working directory switched to a folder, restoring it afterwards.
class ScopedCwd {
public:
    explicit ScopedCwd(const std::string& dir);
    ~ScopedCwd();

private:
    std::string m_old;
};

} // namespace korva::test
