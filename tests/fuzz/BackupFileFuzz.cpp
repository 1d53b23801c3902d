// Reads arbitrary bytes as a backup file (the first byte odd) or as a settings file (even):
// neither may crash, and what the backup reader accepts must write and read back the same.
// (The JSON underneath is nlohmann-json's, which has fuzzers of its own.)
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/service/Backup.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::string why;
    if ((data[0] & 1) == 0) {
        std::vector<kp70::BackupSetting> settings;
        kp70::ReadSettingsJson(text, settings, why);
        return 0;
    }
    kp70::Backup backup;
    if (!kp70::DecodeBackup(text, backup, why)) return 0;
    std::string file;
    kp70::Backup again;
    if (!kp70::EncodeBackup(backup, file, why) || !kp70::DecodeBackup(file, again, why))
        std::abort();
    if (again.settings.size() != backup.settings.size() ||
        again.logos.size() != backup.logos.size())
        std::abort();
    return 0;
}
