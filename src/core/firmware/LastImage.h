#pragma once

#include <string>

namespace kp70 {

class Profile;

// The last image a tool used, kept in its profile section (keys "FOLDER", the absolute path,
// and "FILE", the file's name).
struct LastImage {
    std::string path;
    std::string name;
};
LastImage LoadLastImage(const Profile& profile, const char* section);
// False when the profile could not be written.
bool SaveLastImage(Profile& profile, const char* section, const LastImage& image);
// The file's name without its folder.
std::string FileNameOf(const std::string& path);

}  // namespace kp70
