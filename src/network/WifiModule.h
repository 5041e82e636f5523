#pragma once
// The WiFi module: a plugin, loaded at run time, that prepares a printer's wireless interface
// over USB. The program relies on two entry points only, each given the owner window and
// returning when the module has finished:
//
//   extern "C" int korva_wifi_infrastructure(unsigned long ownerWindow);
//   extern "C" int korva_wifi_limited_ap(unsigned long ownerWindow);
//
// ownerWindow is the native window id of the calling screen (an X11 window id; 0 when there is
// none). The return values are ignored. The plugin file is "libkorva-wifi.so", looked for at
// $KORVASET_WIFI_MODULE when that is set, else in the installed plugin folder relative to the
// program's executable (../lib/<triplet>/korvaset from /usr/bin), else beside the executable.
//
// Loaded on first use and unloaded when the object goes. Call from the user-interface thread.
#include <string>

namespace korva {

class ErrorLog;

class WifiModule {
public:
    static constexpr const char* kFileName = "libkorva-wifi.so";
    static constexpr const char* kInfrastructureEntry = "korva_wifi_infrastructure";
    static constexpr const char* kLimitedApEntry = "korva_wifi_limited_ap";
    // The plugin folder relative to the executable's folder, fixed by the build's install layout.
    static constexpr const char* kInstalledDir = KORVA_PLUGIN_RELDIR;

    WifiModule(ErrorLog& log, std::string path);
    ~WifiModule();
    WifiModule(const WifiModule&) = delete;
    WifiModule& operator=(const WifiModule&) = delete;

    // locate() for this process: $KORVASET_WIFI_MODULE and /proc/self/exe.
    static std::string defaultPath();
    // override when set and not empty; else the first of <exe folder>/kInstalledDir/kFileName
    // and <exe folder>/kFileName that exists; else the installed one (so a failure names where
    // the plugin belongs).
    static std::string locate(const char* override, const std::string& exePath);

    const std::string& path() const { return m_path; }

    // false when the plugin or the entry point is missing (the reason is logged once); true
    // when the entry point was called and has returned.
    bool infrastructure(unsigned long ownerWindow);
    bool limitedAp(unsigned long ownerWindow);

private:
    using EntryPoint = int (*)(unsigned long);
    bool call(const char* entry, unsigned long ownerWindow);
    bool load();

    ErrorLog& m_log;
    std::string m_path;
    void* m_handle = nullptr;
    bool m_failed = false;
};

} // namespace korva
