#pragma once
// The program's INI profile file, with the profile-string semantics the screens rely on.
//
// Contract:
// - GetString gives the caller's default when the section or key is missing. Values are
//   trimmed of surrounding blanks, and one pair of enclosing quotes is removed.
// - Section and key names compare case-insensitively (ASCII).
// - WriteString with no value (std::nullopt) deletes the key; DeleteSection deletes the whole
//   section. Everything else in the file (other sections, comments, blank lines, unreadable
//   lines) is kept as it was, byte for byte.
// - A section, key or value that cannot stay on one text line (a control character other than
//   tab; "]" in a section, "=" in a key), and a section or key that would not read back as
//   itself (blanks around it; a key starting with "[" or ";"), is not written: false, logged,
//   the file untouched. So is any write to a file too large to be read whole (over 4 MiB),
//   which would otherwise lose its end.
// - Every write replaces the file atomically (temporary file, fsync, rename): a crash leaves
//   either the old or the new profile, never half of one. Returns false (and logs) on failure;
//   the old file is then untouched. The temporary file of a writer that was killed before its
//   rename is removed by the next write.
// - A corrupt or binary file never stops the program: lines that are not text are skipped
//   when reading (and logged once per read), kept when writing.
// Not thread-safe: the screens use it from one thread.
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace korva {

class ErrorLog;

class Profile {
public:
    explicit Profile(std::string path, ErrorLog* log = nullptr);

    // The profile of a program: "<working directory>/<programName>.INI", fixed at start-up;
    // just "<programName>.INI" when the working directory cannot be named.
    static std::string pathFor(std::string_view programName);

    const std::string& path() const { return m_path; }

    std::string GetString(std::string_view section, std::string_view key,
                          std::string_view defaultValue = "") const;
    // Missing key: the default. Present: its leading decimal number (0 when it has none).
    int GetInt(std::string_view section, std::string_view key, int defaultValue) const;
    // The section's entries in file order (empty when the section is missing).
    std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

    bool WriteString(std::string_view section, std::string_view key,
                     std::optional<std::string_view> value);
    // Several keys of one section in one atomic replacement, in the given order, each as
    // WriteString would write it: the file holds all of them or, after a failure or a crash,
    // none. An entry that cannot stay on one line is left out (false, logged).
    bool WriteStrings(
        std::string_view section,
        std::span<const std::pair<std::string_view, std::optional<std::string_view>>> entries);
    bool WriteInt(std::string_view section, std::string_view key, int value);
    bool DeleteSection(std::string_view section);

private:
    struct Line;
    // cutShort, when given, tells whether the file was larger than the reader takes.
    std::vector<Line> load(bool& exists, std::string& newline, bool* cutShort = nullptr) const;
    bool store(const std::vector<Line>& lines, const std::string& newline);
    // Logs and refuses a section, key or value that cannot stay on one line.
    bool writable(std::string_view section, std::string_view key,
                  std::optional<std::string_view> value) const;
    // Sets or deletes one key in lines; false when nothing changed.
    static bool edit(std::vector<Line>& lines, std::string_view section, std::string_view key,
                     std::optional<std::string_view> value);

    std::string m_path;
    ErrorLog* m_log;
};

} // namespace korva
