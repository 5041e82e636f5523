#include "network/WifiModule.h"

#include "base/ErrorLog.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace korva {

WifiModule::WifiModule(ErrorLog& log, std::string path) : m_log(log), m_path(std::move(path)) {}

WifiModule::~WifiModule() {
    if (m_handle)
        dlclose(m_handle);
}

std::string WifiModule::defaultPath() {
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string exePath = n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
    return locate(std::getenv("KORVASET_WIFI_MODULE"), exePath);
}

std::string WifiModule::locate(const char* override, const std::string& exePath) {
    if (override && *override)
        return override;
    if (exePath.empty())
        return kFileName;
    auto slash = exePath.rfind('/');
    std::string dir = slash == std::string::npos ? std::string(".") : exePath.substr(0, slash);
    // An installed program keeps its plugins under the library folder; a program run from its
    // build folder (or copied elsewhere with its plugin) has it alongside.
    std::string installed = dir + "/" + kInstalledDir + "/" + kFileName;
    std::string beside = dir + "/" + kFileName;
    if (access(installed.c_str(), F_OK) == 0)
        return installed;
    if (access(beside.c_str(), F_OK) == 0)
        return beside;
    return installed;
}

bool WifiModule::load() {
    if (m_handle)
        return true;
    if (m_failed)
        return false;
    // A path without a slash would make dlopen search the library path; the module is only
    // ever taken from where we said.
    std::string path = m_path.find('/') == std::string::npos ? "./" + m_path : m_path;
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = dlerror();
        m_log.Print("[WifiModule] load fail : %s", why ? why : path.c_str());
        m_failed = true;
        return false;
    }
    return true;
}

bool WifiModule::call(const char* entry, unsigned long ownerWindow) {
    if (!load())
        return false;
    dlerror();
    void* symbol = dlsym(m_handle, entry);
    if (!symbol) {
        m_log.Print("[WifiModule] no entry point %s", entry);
        return false;
    }
    EntryPoint fn;
    static_assert(sizeof fn == sizeof symbol);
    std::memcpy(&fn, &symbol, sizeof fn); // dlsym gives data pointers; POSIX allows this
    fn(ownerWindow);
    return true;
}

bool WifiModule::infrastructure(unsigned long ownerWindow) {
    return call(kInfrastructureEntry, ownerWindow);
}

bool WifiModule::limitedAp(unsigned long ownerWindow) {
    return call(kLimitedApEntry, ownerWindow);
}

} // namespace korva
