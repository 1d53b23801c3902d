#include "core/app/FileLocations.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "core/app/Profile.h"

namespace kp70 {

namespace {

constexpr const char* kProgramName = "kp70tool";
constexpr const char* kErrorLogName = "error.log";

// The system's notion: "/home/u" on Linux, "C:\Users\u" on Windows; a network share
// ("\\server\share", which the C++ library of Windows builds takes for relative) too.
bool IsAbsolute(const std::string& path) {
    const bool windows = std::filesystem::path::preferred_separator == '\\';
    const bool share =
        windows && path.size() > 2 && (path[0] == '\\' || path[0] == '/') && path[1] == path[0];
    return share || (!path.empty() && std::filesystem::path(path).is_absolute());
}

// Folder and name joined with the system's separator.
std::string Joined(const std::string& folder, const char* name) {
    return folder + static_cast<char>(std::filesystem::path::preferred_separator) + name;
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
    if (config.empty() && !IsAbsolute(start)) return locations;  // no folder can be used
    if (inputs.profileInStartDirectory || config.empty()) {
        locations.profilePath = ProfilePathFor(start, kProgramName);
        locations.errorLogPath = Joined(start, kErrorLogName);
        return locations;
    }
    locations.profilePath = ProfilePathFor(Joined(config, kProgramName), kProgramName);
    // The log follows the profile when only the configuration folder can be found.
    const std::string logDirectory = state.empty() ? config : state;
    locations.errorLogPath = Joined(Joined(logDirectory, kProgramName), kErrorLogName);
    return locations;
}

FileLocations PrepareFileLocationsFor(FileLocationInputs inputs) {
    std::error_code error;
    inputs.profileInStartDirectory =
        IsAbsolute(inputs.startDirectory) &&
        std::filesystem::exists(ProfilePathFor(inputs.startDirectory, kProgramName), error);
    const FileLocations locations = ChooseFileLocations(inputs);
    if (!locations.Usable()) return locations;
    for (const std::string& file : {locations.profilePath, locations.errorLogPath}) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path(), error);
    }
    return locations;
}

FileLocations PrepareFileLocations(const std::string& startDirectory) {
    FileLocationInputs inputs;
    inputs.startDirectory = startDirectory;
    inputs.home = Environment("HOME");
    inputs.configHome = Environment("XDG_CONFIG_HOME");
    inputs.stateHome = Environment("XDG_STATE_HOME");
    return PrepareFileLocationsFor(inputs);
}

std::vector<Notice> FileNotices(const FileLocations& locations) {
    Notice notice;
    notice.icon = MessageIcon::Exclamation;
    if (!locations.Usable()) {
        notice.text = kNoFolderForFiles;
        return {notice};
    }
    const std::string problem = Profile(locations.profilePath).ReadProblem();
    if (problem.empty()) return {};
    notice.text = kProfileUnusable;
    notice.secondLine = problem;
    return {notice};
}

std::string AbsolutePath(const std::string& path) {
    namespace fs = std::filesystem;
    if (path.empty()) return path;
    std::error_code error;
    const fs::path absolute = fs::absolute(path, error);
    if (error) return path;
    fs::path kept;
    for (const fs::path& part : absolute) {
        if (part == "." || part.empty()) continue;
        kept /= part;
    }
    return kept.string();
}

}  // namespace kp70
