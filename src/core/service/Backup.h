#pragma once

// A printer's backup, as one file (".kp70"): a ustar archive holding manifest.json and the
// logo bitmaps under logos/. The manifest:
//
//   {
//     "format": "kp70-backup", "version": 1,
//     "tool": "1.1.0.0", "time": "2026-12-08T11:45:00",
//     "model": 6, "device": "KP70 E-II",
//     "settings": {"paper-width": "80mm", "left-margin": "0", ...},
//     "logos": {
//       "gray": false, "diverging": 128, "area": 512, "star": false,
//       "images": [{"number": 1, "file": "logos/001-shop.bmp", "name": "shop.bmp",
//                   "center": true}, ...]
//     }
//   }
//
// Settings carry the names and value texts of the setting table (kp70ctl setup get --json
// prints the same object, which is why `setup set --from` reads either). "logos" is left
// out when the backup holds none: a restore then leaves the printer's logos alone.

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/logo/LogoOptions.h"

namespace kp70 {

struct BackupSetting {
    std::string name;
    std::string value;
};

struct BackupLogo {
    int number = 0;    // the image number the printer gives it (1..n in order)
    std::string file;  // the archive entry holding the bitmap
    std::string name;  // the file's name when it was backed up
    bool center = false;
    std::string data;  // the bitmap file's bytes
};

struct Backup {
    static constexpr int kVersion = 1;

    std::string tool;  // the tool version that wrote it
    std::string time;  // local time, "YYYY-MM-DDTHH:MM:SS"
    int model = 0;     // the model code the settings were read from (0: not known)
    std::string device;
    std::vector<BackupSetting> settings;  // in the setting table's order
    bool hasLogos = false;
    // The conversion options of the logo list (gray, diverging point, area, Star emulation).
    bool gray = false;
    int diverging = 128;
    int area = 512;
    bool star = false;
    std::vector<BackupLogo> logos;  // in image-number order

    // The logo tool's options for an upload of these logos (each logo's centring mark is
    // its own: BackupLogo::center).
    LogoOptions Options() const;
};

// The .kp70 file's bytes. False, with `why`, when an entry cannot be stored.
bool EncodeBackup(const Backup& backup, std::string& file, std::string& why);

// Reads a .kp70 file. Everything is checked before anything is used: the archive (see
// ReadTar), the manifest's format and version, value types, option ranges (diverging
// 0..255, area 1..512), image numbers 1..255 in ascending order without gaps, and a
// bitmap in the archive for every image. False, with `why`.
bool DecodeBackup(const std::string& file, Backup& backup, std::string& why);

// The settings of a JSON text: either an object of NAME: VALUE (kp70ctl setup get --json;
// null values, settings that did not answer, are left out) or a backup manifest with its
// "settings". Numbers are taken as their text. False, with `why`, for anything else.
bool ReadSettingsJson(const std::string& text, std::vector<BackupSetting>& settings,
                      std::string& why);

// "YYYY-MM-DDTHH:MM:SS" of a local time.
std::string BackupTimeText(const std::tm& time);

// The archive name for logo `number` taken from a file called fileName: "logos/001-NAME"
// with NAME reduced to letters, digits, '.', '-' and '_' and kept short.
std::string LogoEntryName(int number, const std::string& fileName);

}  // namespace kp70
