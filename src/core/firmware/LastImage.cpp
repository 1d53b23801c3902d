#include "core/firmware/LastImage.h"

#include <filesystem>

#include "core/app/FileLocations.h"
#include "core/app/Profile.h"
#include "core/firmware/FirmwareTexts.h"

namespace kp70 {

LastImage LoadLastImage(const Profile& profile, const char* section) {
    return {profile.GetString(section, firmwaretext::kFolderKey),
            profile.GetString(section, firmwaretext::kFileKey)};
}

bool SaveLastImage(Profile& profile, const char* section, const LastImage& image) {
    // By its absolute path, so the next opening finds it from any folder.
    return profile.WriteKeys(section, {{firmwaretext::kFolderKey, AbsolutePath(image.path)},
                                       {firmwaretext::kFileKey, image.name}});
}

std::string FileNameOf(const std::string& path) {
    // The system's separators: '/' here, '\\' and '/' on Windows.
    return std::filesystem::path(path).filename().string();
}

}  // namespace kp70
