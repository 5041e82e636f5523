#include "base/Profile.h"

#include "base/ErrorLog.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace korva {

namespace {

constexpr std::size_t kMaxProfileBytes = 4u << 20;

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z')
            x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z')
            y = static_cast<unsigned char>(y - 32);
        if (x != y)
            return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

// Text lines hold no control characters but tab; anything else marks a corrupt line.
bool isTextLine(std::string_view s) {
    for (char c : s)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            return false;
    return true;
}

// Whether a text can be stored as (part of) one text line: a control character other than tab
// would make the reader skip the whole line, so what was written could never be read.
bool fitsOneLine(std::string_view s, std::string_view forbidden = "") {
    for (char c : s)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') ||
            forbidden.find(c) != std::string_view::npos)
            return false;
    return true;
}

// Names are trimmed when read, and a line starting with "[" or ";" is a section or a comment:
// a name that would read back as another (or as no entry at all) is not written.
bool nameReadsBack(std::string_view name, bool key) {
    if (trim(name).size() != name.size())
        return false;
    return !key || name.empty() || (name.front() != '[' && name.front() != ';');
}

// The temporary file of a write: "<profile>.tmp<pid>.XXXXXX", so a later write can tell whose
// it is.
std::string temporaryPrefix(const std::string& path) {
    return path + ".tmp";
}

// A writer killed between creating its temporary file and the rename leaves that file behind
// (the profile itself is whole). The next write removes those of writers that no longer run.
void removeStaleTemporaries(const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path profile(path);
    const std::string prefix = temporaryPrefix(profile.filename().string());
    std::error_code ec;
    const fs::path dir = profile.has_parent_path() ? profile.parent_path() : fs::path(".");
    for (const fs::directory_entry& e : fs::directory_iterator(dir, ec)) {
        const std::string name = e.path().filename().string();
        if (!name.starts_with(prefix))
            continue;
        const std::string rest = name.substr(prefix.size());
        const std::size_t dot = rest.find('.');
        if (dot == 0 || dot == std::string::npos || dot > 9 ||
            rest.find_first_not_of("0123456789") != dot || rest.size() != dot + 7)
            continue;
        const pid_t pid = static_cast<pid_t>(std::stol(rest.substr(0, dot)));
        if (pid > 0 && pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            fs::remove(e.path(), ec);
    }
}

} // namespace

struct Profile::Line {
    enum Kind { Other, Section, Entry, Unreadable } kind = Other;
    std::string raw;   // exactly as in the file, without its line end
    std::string name;  // section name or key
    std::string value; // entry value, trimmed and unquoted
};

Profile::Profile(std::string path, ErrorLog* log) : m_path(std::move(path)), m_log(log) {}

std::string Profile::pathFor(std::string_view programName) {
    const std::string name = std::string(programName) + ".INI";
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::current_path(ec);
    // A working directory that cannot be named (removed meanwhile) leaves the name relative:
    // "/" + name would be a profile in the root folder, shared by every program run there.
    if (ec || dir.empty())
        return name;
    return (dir / name).string();
}

std::vector<Profile::Line> Profile::load(bool& exists, std::string& newline, bool* cutShort) const {
    std::vector<Line> lines;
    newline = "\n";
    if (cutShort)
        *cutShort = false;
    std::ifstream in(m_path, std::ios::binary);
    exists = static_cast<bool>(in);
    if (!in)
        return lines;
    // Read in pieces up to one byte past the limit: every look-up reads the file, and a buffer
    // of the limit's size, filled first, would cost a few MiB each time however small the file.
    std::string data;
    char piece[16384];
    while (in && data.size() <= kMaxProfileBytes) {
        in.read(piece, static_cast<std::streamsize>(
                           std::min(sizeof piece, kMaxProfileBytes + 1 - data.size())));
        data.append(piece, static_cast<std::size_t>(in.gcount()));
    }
    if (data.size() > kMaxProfileBytes) {
        if (m_log)
            m_log->Print("Profile %s is larger than %zu bytes; the rest is ignored", m_path.c_str(),
                         kMaxProfileBytes);
        data.resize(kMaxProfileBytes);
        if (cutShort)
            *cutShort = true;
    }
    if (data.find("\r\n") != std::string::npos)
        newline = "\r\n";

    int unreadable = 0;
    std::size_t pos = 0;
    while (pos < data.size()) {
        std::size_t end = data.find('\n', pos);
        std::string raw =
            data.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        pos = end == std::string::npos ? data.size() : end + 1;
        Line line;
        std::string_view text = raw;
        if (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        // A file without CRLF can still end in a carriage return with no line feed after it:
        // it is read without that CR but kept, or a write (which ends the line) would make a
        // CRLF of it and the next read would find another line than this one.
        line.raw.assign(newline == "\r\n" ? text : std::string_view(raw));
        std::string_view t = trim(text);
        if (!isTextLine(text)) {
            line.kind = Line::Unreadable;
            ++unreadable;
        } else if (!t.empty() && t.front() == '[') {
            std::size_t close = t.find(']');
            line.kind = Line::Section;
            line.name.assign(
                trim(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1)));
        } else if (!t.empty() && t.front() != ';' && t.find('=') != std::string_view::npos) {
            std::size_t eq = t.find('=');
            line.kind = Line::Entry;
            line.name.assign(trim(t.substr(0, eq)));
            std::string_view v = trim(t.substr(eq + 1));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.substr(1, v.size() - 2);
            line.value.assign(v);
        }
        lines.push_back(std::move(line));
    }
    if (unreadable && m_log)
        m_log->Print("Profile %s: %d line(s) are not text and were skipped", m_path.c_str(),
                     unreadable);
    return lines;
}

bool Profile::store(const std::vector<Line>& lines, const std::string& newline) {
    std::string data;
    for (const Line& line : lines) {
        data += line.raw;
        data += newline;
    }
    removeStaleTemporaries(m_path);
    std::string tmp = temporaryPrefix(m_path) + std::to_string(::getpid()) + ".XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0) {
        if (m_log)
            m_log->Print("Profile %s: cannot create a temporary file (%d)", m_path.c_str(), errno);
        return false;
    }
    ::fchmod(fd, 0644);
    const char* p = data.data();
    std::size_t left = data.size();
    bool ok = true;
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(tmp.c_str(), m_path.c_str()) == 0)
        return true;
    int err = errno;
    ::unlink(tmp.c_str());
    if (m_log)
        m_log->Print("Profile %s: write failed (%d)", m_path.c_str(), err);
    return false;
}

std::string Profile::GetString(std::string_view section, std::string_view key,
                               std::string_view defaultValue) const {
    bool exists = false;
    std::string newline;
    bool inSection = false;
    for (const Line& line : load(exists, newline)) {
        if (line.kind == Line::Section)
            inSection = equalsNoCase(line.name, section);
        else if (inSection && line.kind == Line::Entry && equalsNoCase(line.name, key))
            return line.value;
    }
    return std::string(defaultValue);
}

int Profile::GetInt(std::string_view section, std::string_view key, int defaultValue) const {
    const std::string missing = "\x01";
    std::string value = GetString(section, key, missing);
    if (value == missing)
        return defaultValue;
    return static_cast<int>(std::strtol(value.c_str(), nullptr, 10));
}

std::vector<std::pair<std::string, std::string>> Profile::Entries(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> entries;
    bool exists = false;
    std::string newline;
    bool inSection = false;
    for (const Line& line : load(exists, newline)) {
        if (line.kind == Line::Section)
            inSection = equalsNoCase(line.name, section);
        else if (inSection && line.kind == Line::Entry)
            entries.emplace_back(line.name, line.value);
    }
    return entries;
}

bool Profile::writable(std::string_view section, std::string_view key,
                       std::optional<std::string_view> value) const {
    if (fitsOneLine(section, "]") && fitsOneLine(key, "=") && (!value || fitsOneLine(*value)) &&
        nameReadsBack(section, false) && nameReadsBack(key, true))
        return true;
    if (m_log)
        m_log->Print("Profile %s: [%.*s] %.*s cannot be written as one line", m_path.c_str(),
                     static_cast<int>(std::min<std::size_t>(section.size(), 64)), section.data(),
                     static_cast<int>(std::min<std::size_t>(key.size(), 64)), key.data());
    return false;
}

bool Profile::edit(std::vector<Line>& lines, std::string_view section, std::string_view key,
                   std::optional<std::string_view> value) {
    auto makeEntry = [&](std::string_view v) {
        Line line;
        line.kind = Line::Entry;
        line.name.assign(key);
        line.value.assign(v);
        line.raw = std::string(key) + "=" + std::string(v);
        return line;
    };

    // A hand-edited file may hold the section twice; reads see its entries in both, so a key
    // found in any of them is the one changed, and a deletion removes it from each.
    bool inSection = false, inFirstSection = false, sectionFound = false;
    std::size_t insertAt = lines.size();
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        if (line.kind == Line::Section) {
            inSection = equalsNoCase(line.name, section);
            inFirstSection = inSection && !sectionFound;
            if (inFirstSection) {
                sectionFound = true;
                insertAt = i + 1;
            }
        } else if (inSection && line.kind == Line::Entry) {
            if (equalsNoCase(line.name, key))
                found.push_back(i);
            if (inFirstSection)
                insertAt = i + 1; // a new key goes behind the section's last entry
        }
    }
    if (!value) {
        for (auto it = found.rbegin(); it != found.rend(); ++it)
            lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(*it));
        return !found.empty(); // deleting what is not there changes nothing
    }
    if (!found.empty()) {
        lines[found.front()] = makeEntry(*value);
        return true;
    }
    if (!sectionFound) {
        Line header;
        header.kind = Line::Section;
        header.name.assign(section);
        header.raw = "[" + std::string(section) + "]";
        lines.push_back(header);
        insertAt = lines.size();
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), makeEntry(*value));
    return true;
}

bool Profile::WriteString(std::string_view section, std::string_view key,
                          std::optional<std::string_view> value) {
    const std::pair<std::string_view, std::optional<std::string_view>> one{key, value};
    return WriteStrings(section, std::span(&one, 1));
}

bool Profile::WriteStrings(
    std::string_view section,
    std::span<const std::pair<std::string_view, std::optional<std::string_view>>> entries) {
    // An entry that cannot be written is left out (and logged); the others still go in.
    std::vector<bool> fits;
    fits.reserve(entries.size());
    for (const auto& [key, value] : entries)
        fits.push_back(writable(section, key, value));
    const bool allFit = std::find(fits.begin(), fits.end(), false) == fits.end();
    if (std::find(fits.begin(), fits.end(), true) == fits.end())
        return allFit;
    bool exists = false, cutShort = false;
    std::string newline;
    std::vector<Line> lines = load(exists, newline, &cutShort);
    if (cutShort)
        return false; // writing back only what was read would lose the rest of the file
    bool changed = false;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (fits[i])
            changed = edit(lines, section, entries[i].first, entries[i].second) || changed;
    return (!changed || store(lines, newline)) && allFit;
}

bool Profile::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

bool Profile::DeleteSection(std::string_view section) {
    bool exists = false, cutShort = false;
    std::string newline;
    std::vector<Line> lines = load(exists, newline, &cutShort);
    if (cutShort)
        return false; // writing back only what was read would lose the rest of the file
    std::vector<Line> kept;
    bool inSection = false, removed = false;
    for (Line& line : lines) {
        if (line.kind == Line::Section)
            inSection = equalsNoCase(line.name, section);
        if (inSection)
            removed = true;
        else
            kept.push_back(std::move(line));
    }
    return removed ? store(kept, newline) : true;
}

} // namespace korva
