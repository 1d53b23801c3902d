#include "core/app/FileLocations.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/app/Profile.h"

namespace kp70 {

namespace {

constexpr const char* kProgramName = "kp70tool";
constexpr const char* kErrorLogName = "error.log";

bool IsAbsolute(const std::string& path) {
    return !path.empty() && path.front() == '/';
}

// $XDG_..._HOME when it is an absolute path, else HOME + the default below it; empty when
// neither can be used.
std::string BaseDirectory(const std::string& xdgValue, const std::string& home,
                          const char* defaultBelowHome) {
    if (IsAbsolute(xdgValue)) return xdgValue;
    if (IsAbsolute(home)) return home + defaultBelowHome;
    return "";
}

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

FileLocations ChooseFileLocations(const FileLocationInputs& inputs) {
    const std::string& start = inputs.startDirectory;
    const std::string config = BaseDirectory(inputs.configHome, inputs.home, "/.config");
    const std::string state = BaseDirectory(inputs.stateHome, inputs.home, "/.local/state");
    FileLocations locations;
    if (inputs.profileInStartDirectory || config.empty()) {
        locations.profilePath = ProfilePathFor(start, kProgramName);
        locations.errorLogPath = start + "/" + kErrorLogName;
        return locations;
    }
    locations.profilePath = ProfilePathFor(config + "/" + kProgramName, kProgramName);
    // The log follows the profile when only the configuration folder can be found.
    const std::string logDirectory = state.empty() ? config : state;
    locations.errorLogPath = logDirectory + "/" + kProgramName + "/" + kErrorLogName;
    return locations;
}

FileLocations PrepareFileLocations(const std::string& startDirectory) {
    FileLocationInputs inputs;
    inputs.startDirectory = startDirectory;
    std::error_code error;
    inputs.profileInStartDirectory =
        std::filesystem::exists(ProfilePathFor(startDirectory, kProgramName), error);
    inputs.home = Environment("HOME");
    inputs.configHome = Environment("XDG_CONFIG_HOME");
    inputs.stateHome = Environment("XDG_STATE_HOME");
    const FileLocations locations = ChooseFileLocations(inputs);
    for (const std::string& file : {locations.profilePath, locations.errorLogPath}) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    }
    return locations;
}

}  // namespace kp70
