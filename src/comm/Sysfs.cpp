#include "comm/Sysfs.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korva::sysfs {

bool readText(const std::string& path, std::string& text) {
    text.clear();
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    char buffer[4096];
    bool ok = true;
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
            if (text.size() > 65536) // attribute files are small; refuse anything else
                break;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        ok = n == 0;
        break;
    }
    ::close(fd);
    return ok;
}

std::string ueventValue(const std::string& ueventPath, const std::string& key) {
    std::string text;
    if (!readText(ueventPath, text))
        return "";
    std::string wanted = key + "=";
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (line.starts_with(wanted))
            return line.substr(wanted.size());
        pos = end + 1;
    }
    return "";
}

std::string resolveDir(const std::string& path) {
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return "";
    std::string out(resolved);
    std::free(resolved);
    struct stat st {};
    if (::stat(out.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "";
    return out;
}

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        bool da = a[i] >= '0' && a[i] <= '9';
        bool db = b[j] >= '0' && b[j] <= '9';
        if (da && db) {
            std::size_t ei = i, ej = j;
            while (ei < a.size() && a[ei] >= '0' && a[ei] <= '9')
                ++ei;
            while (ej < b.size() && b[ej] >= '0' && b[ej] <= '9')
                ++ej;
            std::string na = a.substr(i, ei - i), nb = b.substr(j, ej - j);
            na.erase(0, std::min(na.find_first_not_of('0'), na.size()));
            nb.erase(0, std::min(nb.find_first_not_of('0'), nb.size()));
            if (na.size() != nb.size())
                return na.size() < nb.size();
            if (na != nb)
                return na < nb;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return a[i] < b[j];
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> listDir(const std::string& path, bool& ok, int& error) {
    std::vector<std::string> names;
    ok = false;
    error = 0;
    DIR* dir = ::opendir(path.c_str());
    if (!dir) {
        error = errno;
        return names;
    }
    while (dirent* entry = ::readdir(dir)) {
        std::string name = entry->d_name;
        if (name != "." && name != "..")
            names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(), naturalLess);
    ok = true;
    return names;
}

int numberAfter(const std::string& name, const std::string& stem) {
    if (!name.starts_with(stem) || name.size() == stem.size() || name.size() - stem.size() > 6)
        return -1;
    int n = 0;
    for (std::size_t i = stem.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

} // namespace korva::sysfs
