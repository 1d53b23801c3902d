#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kp70 {

// The WiFi set-up component: an optional shared library that sets up a WiFi printer over
// USB with a user interface of its own. It is not part of this tool; when it is installed,
// the network connection dialog's "Infrastructure" and "Limited AP" buttons call it.
//
// The library is called kp70wifi.dll on Windows and exports two C functions, each taking
// the native window handle of the dialog (its HWND, for the component's own windows to stay
// above it) and returning once the operator has finished:
//
//   extern "C" void kp70_wifi_infrastructure(std::uintptr_t parentWindow);
//   extern "C" void kp70_wifi_limited_ap(std::uintptr_t parentWindow);
//
// It is looked for in the given folders (by default the folder of the running program),
// then where the system looks for DLLs (its own folders and PATH). It is loaded on first
// use with LoadLibrary and stays loaded.
class WifiPlugin {
public:
    static constexpr const char* kLibraryName = "kp70wifi.dll";
    static constexpr const char* kInfrastructureSymbol = "kp70_wifi_infrastructure";
    static constexpr const char* kLimitedApSymbol = "kp70_wifi_limited_ap";

    explicit WifiPlugin(std::vector<std::string> folders = {ProgramFolder()});
    ~WifiPlugin();
    WifiPlugin(const WifiPlugin&) = delete;
    WifiPlugin& operator=(const WifiPlugin&) = delete;

    // Loads the library when it is not loaded yet. False when it is not installed or does
    // not offer both functions; Error() then says why.
    bool Load();
    bool Loaded() const { return m_handle != nullptr; }
    // Why the last Load failed: not found anywhere, or found but not usable (and why).
    bool NotFound() const { return m_notFound; }
    const std::string& Error() const { return m_error; }
    // Where the library is looked for, in words ("C:\Program Files\kp70tool, then the
    // system's DLL search path").
    std::string SearchPlaces() const;

    // The two operations; nothing happens unless Load() succeeded.
    void Infrastructure(std::uintptr_t parentWindow);
    void LimitedAp(std::uintptr_t parentWindow);

    // The folder of the running program ("" when the system does not say).
    static std::string ProgramFolder();

private:
    using Function = void (*)(std::uintptr_t);

    std::vector<std::string> m_folders;
    void* m_handle = nullptr;
    Function m_infrastructure = nullptr;
    Function m_limitedAp = nullptr;
    std::string m_error;
    bool m_notFound = false;
};

}  // namespace kp70
