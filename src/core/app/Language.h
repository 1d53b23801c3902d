#pragma once

#include <string>
#include <vector>

namespace kp70 {

// True when the locale that decides the language of messages (LC_ALL, else LC_MESSAGES,
// else LANG, the first that is set and not empty) begins with "ko".
bool IsKoreanLocale(const char* lcAll, const char* lcMessages, const char* lang);

// The same test on this process's environment.
bool IsKoreanEnvironment();

// The DEVICELIST entries of the profile: the section's values in file order, empty values
// skipped.
class Profile;
std::vector<std::string> ProfileDeviceEntries(const Profile& profile);

}  // namespace kp70
