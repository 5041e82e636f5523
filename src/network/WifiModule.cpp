#include "network/WifiModule.h"

#include "base/ErrorLog.h"
#include "base/ProgramFile.h"

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
    return locate(std::getenv("KORVASET_WIFI_MODULE"), ownExecutable());
}

std::string WifiModule::locate(const char* override, const std::string& exePath) {
    if (override && *override)
        return override;
    if (exePath.empty())
        return kFileName;
    return shippedFile(exePath, kInstalledDir, kFileName);
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
