#pragma once

#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/app/Outcome.h"

namespace kp70 {

// Where kp70tool and kp70ctl keep their profile (kp70tool.INI) and diagnostic trace
// (error.log). A profile in the start directory keeps both there, as always; a tool started
// elsewhere (from the desktop menu it starts in the home directory) keeps the profile in
// $XDG_CONFIG_HOME/kp70tool and the log in $XDG_STATE_HOME/kp70tool, defaulting to
// ~/.config and ~/.local/state. Relative or empty XDG values are ignored, as the base
// directory rules ask; with no usable home either, the start directory is used. When the
// start directory cannot be found either (it was removed while the tool started in it),
// no folder can be used: both paths stay empty, nothing is written anywhere (least of all
// into "/"), and the operator is told.
struct FileLocationInputs {
    std::string startDirectory;
    bool profileInStartDirectory = false;
    std::string home;        // $HOME (Windows: none, the two folders below are always known)
    std::string configHome;  // $XDG_CONFIG_HOME (Windows: the roaming application data folder)
    std::string stateHome;   // $XDG_STATE_HOME (Windows: the local application data folder)
};

struct FileLocations {
    std::string profilePath;   // empty when no folder can be used
    std::string errorLogPath;  // empty when no folder can be used

    bool Usable() const { return !profilePath.empty(); }
};

inline constexpr BilingualText kNoFolderForFiles{
    "No folder can be used for kp70tool.INI and error.log: the folder the tool was started "
    "in cannot be found and HOME is not set. Settings are not kept and nothing is logged; "
    "start the tool in a folder that exists, or set HOME.",
    "kp70tool.INI와 error.log를 둘 폴더가 없습니다: 도구를 시작한 폴더를 찾을 수 없고 HOME이 "
    "설정되어 있지 않습니다. 설정이 저장되지 않고 로그도 남지 않습니다. 존재하는 폴더에서 "
    "도구를 시작하거나 HOME을 설정하십시오."};
inline constexpr BilingualText kProfileUnusable{
    "The settings file kp70tool.INI cannot be used: the tool goes on without its stored "
    "settings and leaves the file as it is.",
    "설정 파일 kp70tool.INI를 사용할 수 없습니다: 저장된 설정 없이 계속하며 파일은 그대로 "
    "둡니다."};

// The rule itself, without looking at the system.
FileLocations ChooseFileLocations(const FileLocationInputs& inputs);

// The rule applied to the system's folders in inputs (profileInStartDirectory is looked up
// here: whether kp70tool.INI exists in the start directory). Creates the folders of both
// files when they are missing (a failure is left for the first write to report). A system
// whose folders are not the XDG ones (Windows: the roaming application data folder for
// configHome, the local one for stateHome, no home) passes them in this way.
FileLocations PrepareFileLocationsFor(FileLocationInputs inputs);

// The same with the XDG folders of this process's environment ($HOME, $XDG_CONFIG_HOME,
// $XDG_STATE_HOME).
FileLocations PrepareFileLocations(const std::string& startDirectory);

// What both programs tell the operator at start-up about these files: that no folder can
// be used (kNoFolderForFiles), or that the profile there cannot be read (kProfileUnusable,
// with the reason on its second line). Empty when all is well.
std::vector<Notice> FileNotices(const FileLocations& locations);

// A file name the operator gave, as it is kept in the profile: absolute (relative names
// are taken from the current directory), so it names the same file from any other folder.
// "." parts are left out; ".." parts stay, since a symbolic link before them decides where
// they lead. Unchanged when it is empty or the current directory cannot be found.
std::string AbsolutePath(const std::string& path);

}  // namespace kp70
