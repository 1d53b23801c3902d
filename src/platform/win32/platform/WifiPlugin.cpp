#include "platform/WifiPlugin.h"

#include <windows.h>

#include <filesystem>

#include "platform/Win32Io.h"

namespace kp70 {

WifiPlugin::WifiPlugin(std::vector<std::string> folders) : m_folders(std::move(folders)) {}

WifiPlugin::~WifiPlugin() {
    if (m_handle) ::FreeLibrary(static_cast<HMODULE>(m_handle));
}

std::string WifiPlugin::ProgramFolder() {
    wchar_t path[MAX_PATH * 4];
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) return "";
    return std::filesystem::path(win32::Narrow(path)).parent_path().string();
}

std::string WifiPlugin::SearchPlaces() const {
    std::string places;
    for (const std::string& folder : m_folders) {
        if (folder.empty()) continue;
        places += folder + ", ";
    }
    return places + "then the system's DLL search path";
}

bool WifiPlugin::Load() {
    if (m_handle) return true;
    std::vector<std::string> candidates;
    for (const std::string& folder : m_folders)
        if (!folder.empty())
            candidates.push_back((std::filesystem::path(folder) / kLibraryName).string());
    // A bare name makes the system search its DLL path.
    candidates.push_back(kLibraryName);

    m_error = std::string(kLibraryName) + " was not found";
    m_notFound = true;
    for (const std::string& candidate : candidates) {
        const bool inFolder = candidate != kLibraryName;
        std::error_code ec;
        if (inFolder && !std::filesystem::exists(candidate, ec)) continue;
        if (inFolder) m_notFound = false;
        HMODULE handle = ::LoadLibraryA(candidate.c_str());
        if (!handle) {
            // A library that is there but cannot be loaded is worth telling about; one
            // that is simply not on the search path is the usual case.
            if (inFolder) m_error = candidate + ": " + win32::SystemErrorText(::GetLastError());
            continue;
        }
        // GetProcAddress gives every export one function type; the component's are these.
        auto infrastructure = reinterpret_cast<Function>(
            reinterpret_cast<void*>(::GetProcAddress(handle, kInfrastructureSymbol)));
        auto limitedAp = reinterpret_cast<Function>(
            reinterpret_cast<void*>(::GetProcAddress(handle, kLimitedApSymbol)));
        if (!infrastructure || !limitedAp) {
            m_notFound = false;
            m_error =
                candidate + " does not offer " + kInfrastructureSymbol + " and " + kLimitedApSymbol;
            ::FreeLibrary(handle);
            continue;
        }
        m_handle = handle;
        m_infrastructure = infrastructure;
        m_limitedAp = limitedAp;
        m_error.clear();
        m_notFound = false;
        return true;
    }
    return false;
}

void WifiPlugin::Infrastructure(std::uintptr_t parentWindow) {
    if (m_infrastructure) m_infrastructure(parentWindow);
}

void WifiPlugin::LimitedAp(std::uintptr_t parentWindow) {
    if (m_limitedAp) m_limitedAp(parentWindow);
}

}  // namespace kp70
