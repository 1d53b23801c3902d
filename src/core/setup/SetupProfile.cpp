#include "core/setup/SetupProfile.h"

#include <utility>

#include "core/app/Profile.h"
#include "core/setup/SetupLists.h"

namespace kp70 {

namespace {

constexpr const char* kSection = "USER";

std::vector<std::string> StoredReceiveBuffers(const Profile& profile) {
    std::vector<std::string> list;
    for (int i = 0;; ++i) {
        const std::string value = profile.GetString(kSection, "R_BUF_SZ" + std::to_string(i));
        if (value.empty()) break;
        list.push_back(value);
    }
    return list;
}

std::vector<std::string> BuiltInReceiveBuffers(bool korean) {
    std::vector<std::string> list = {"64", "32", "20"};
    if (!korean) list.push_back("4");
    return list;
}

}  // namespace

std::vector<std::string> ReadReceiveBufferList(const Profile& profile, bool korean) {
    std::vector<std::string> list = StoredReceiveBuffers(profile);
    return list.empty() ? BuiltInReceiveBuffers(korean) : list;
}

std::vector<std::string> LoadReceiveBufferList(Profile& profile, bool korean) {
    std::vector<std::string> list = StoredReceiveBuffers(profile);
    if (!list.empty()) return list;

    list = BuiltInReceiveBuffers(korean);
    for (int i = 0; i < 4; ++i)
        profile.WriteString(kSection, "R_BUF_SZ" + std::to_string(i),
                            setup::kBuiltInReceiveBuffers[static_cast<std::size_t>(i)]);
    return list;
}

void WriteCodePageKeys(Profile& profile) {
    // The key of the last entry is "CodePage255" although it holds code page 254, and the
    // texts have no blank after "|": other programs read them in this form.
    static const std::pair<const char*, const char*> kKeys[] = {
        {"CodePage0", "0|PC437 (USA, Std Europe)"},
        {"CodePage1", "1|Katakana"},
        {"CodePage2", "2|PC 850 (Multilingual)"},
        {"CodePage3", "3|PC 860 (Portuguese)"},
        {"CodePage4", "4|PC 863 (Canadian-French)"},
        {"CodePage5", "5|PC 865 (Nordic)"},
        {"CodePage14", "14|PC 737 (Greek)"},
        {"CodePage16", "16|WPC1252 (Windows CP)"},
        {"CodePage17", "17|PC 866 (Cyrillic #2)"},
        {"CodePage18", "18|PC 852 (Latin 2)"},
        {"CodePage19", "19|PC 858 (West Euro)"},
        {"CodePage21", "21|Thai 11"},
        {"CodePage26", "26|Thai 18"},
        {"CodePage27", "27|FARSI"},
        {"CodePage33", "33|PC 775 (Baltic)"},
        {"CodePage34", "34|PC 855 (Cyrillic)"},
        {"CodePage36", "36|PC 862 (Hebrew)"},
        {"CodePage37", "37|PC 864 (Arabic)"},
        {"CodePage45", "45|WPC 1250"},
        {"CodePage46", "46|WPC 1251 (Cyrillic)"},
        {"CodePage47", "47|WPC 1253"},
        {"CodePage49", "49|WPC 1255"},
        {"CodePage50", "50|WPC 1256"},
        {"CodePage51", "51|WPC 1257 (Baltic)"},
        {"CodePage95", "95|TIS 620 (Thai)"},
        {"CodePage96", "96|Thai 42"},
        {"CodePage97", "97|Thai 14"},
        {"CodePage98", "98|Thai 16"},
        {"CodePage99", "99|IRAN SYSTEM (Arabic)"},
        {"CodePage255", "254|SPACE PAGE"},
    };
    for (const auto& [key, text] : kKeys) profile.WriteString(kSection, key, text);
}

}  // namespace kp70
