#include "core/app/Language.h"

#include <cstdlib>

#include "core/app/Profile.h"

namespace kp70 {

bool IsKoreanLocale(const char* lcAll, const char* lcMessages, const char* lang) {
    for (const char* value : {lcAll, lcMessages, lang}) {
        if (value && *value) return std::string(value).rfind("ko", 0) == 0;
    }
    return false;
}

bool IsKoreanEnvironment() {
    return IsKoreanLocale(std::getenv("LC_ALL"), std::getenv("LC_MESSAGES"), std::getenv("LANG"));
}

std::vector<std::string> ProfileDeviceEntries(const Profile& profile) {
    std::vector<std::string> entries;
    for (const auto& [key, value] : profile.SectionEntries("DEVICELIST")) {
        if (!value.empty()) entries.push_back(value);
    }
    return entries;
}

}  // namespace kp70
