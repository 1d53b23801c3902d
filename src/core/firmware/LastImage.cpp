#include "core/firmware/LastImage.h"

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
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace kp70
