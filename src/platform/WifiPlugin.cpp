#include "platform/WifiPlugin.h"

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace kp70 {

WifiPlugin::WifiPlugin(std::vector<std::string> folders) : m_folders(std::move(folders)) {}

WifiPlugin::~WifiPlugin() {
    if (m_handle) ::dlclose(m_handle);
}

std::string WifiPlugin::ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : program.parent_path().string();
}

std::string WifiPlugin::SearchPlaces() const {
    std::string places;
    for (const std::string& folder : m_folders) {
        if (folder.empty()) continue;
        places += folder + ", ";
    }
    return places + "then the system's library path";
}

bool WifiPlugin::Load() {
    if (m_handle) return true;
    std::vector<std::string> candidates;
    for (const std::string& folder : m_folders)
        if (!folder.empty())
            candidates.push_back((std::filesystem::path(folder) / kLibraryName).string());
    // A bare name makes dlopen search the library path.
    candidates.push_back(kLibraryName);

    m_error = std::string(kLibraryName) + " was not found";
    m_notFound = true;
    for (const std::string& candidate : candidates) {
        const bool inFolder = candidate != kLibraryName;
        std::error_code ec;
        if (inFolder && !std::filesystem::exists(candidate, ec)) continue;
        if (inFolder) m_notFound = false;
        void* handle = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) {
            // A library that is there but cannot be loaded is worth telling about; one
            // that is simply not on the library path is the usual case.
            const char* why = ::dlerror();
            if (inFolder && why) m_error = why;
            continue;
        }
        auto infrastructure = reinterpret_cast<Function>(::dlsym(handle, kInfrastructureSymbol));
        auto limitedAp = reinterpret_cast<Function>(::dlsym(handle, kLimitedApSymbol));
        if (!infrastructure || !limitedAp) {
            m_notFound = false;
            m_error =
                candidate + " does not offer " + kInfrastructureSymbol + " and " + kLimitedApSymbol;
            ::dlclose(handle);
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
