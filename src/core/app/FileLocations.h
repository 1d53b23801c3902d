#pragma once

#include <string>

namespace kp70 {

// Where kp70tool and kp70ctl keep their profile (kp70tool.INI) and diagnostic trace
// (error.log). A profile in the start directory keeps both there, as always; a tool started
// elsewhere (from the desktop menu it starts in the home directory) keeps the profile in
// $XDG_CONFIG_HOME/kp70tool and the log in $XDG_STATE_HOME/kp70tool, defaulting to
// ~/.config and ~/.local/state. Relative or empty XDG values are ignored, as the base
// directory rules ask; with no usable home either, the start directory is used.
struct FileLocationInputs {
    std::string startDirectory;
    bool profileInStartDirectory = false;
    std::string home;        // $HOME
    std::string configHome;  // $XDG_CONFIG_HOME
    std::string stateHome;   // $XDG_STATE_HOME
};

struct FileLocations {
    std::string profilePath;
    std::string errorLogPath;
};

// The rule itself, without looking at the system.
FileLocations ChooseFileLocations(const FileLocationInputs& inputs);

// The rule applied to this process: the environment and whether kp70tool.INI exists in
// startDirectory. Creates the folders of both files when they are missing (a failure is
// left for the first write to report).
FileLocations PrepareFileLocations(const std::string& startDirectory);

}  // namespace kp70
