#pragma once

// The saves the crash test interrupts, shared by the process that makes them
// (CrashSaver.cpp) and the test that works out what the profile holds after each one
// (CrashSafeSaveTest.cpp). Save number n (from 1) changes one thing, as the tool does:
//  - n % 3 == 1: the logo list after a complete upload (LogoList::StoreUploadedList) of
//    1 + k % 8 of the eight bitmaps, k = n / 3, so consecutive lists differ in length;
//  - n % 3 == 2: the F/W Update tool's last image (section FWDN20);
//  - n % 3 == 0: the TALVO10 tool's last image (section FWDN15).
// Every save leaves contents no other save leaves, so the contents name the save.
#include <string>
#include <vector>

#include "core/app/ErrorLog.h"
#include "core/app/Profile.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/firmware/LastImage.h"
#include "core/logo/LogoList.h"

namespace kp70::test {

// The profile every run starts from, with the line endings a Windows-made file has.
inline const char* const kBaseProfile =
    "[DEVICELIST]\r\nKP70=KP70 S\r\n\r\n[LOGO]\r\nLogofile1=old.bmp\r\n\r\n"
    "[FWDN20]\r\n\r\n[FWDN15]\r\n";

// The error.log line of save n, long enough that its write spans a good stretch.
inline std::string SaveLogMessage(long n) {
    return "save " + std::to_string(n) + " " + std::string(180, 'x') + " end";
}

// Makes save n on the profile; false when the profile could not be written.
inline bool MakeSave(long n, Profile& profile, const std::vector<std::string>& bitmaps) {
    const long k = n / 3;
    switch (n % 3) {
        case 1: {
            LogoList list;
            const std::size_t count = 1 + static_cast<std::size_t>(k % 8);
            for (std::size_t i = 0; i < count; ++i) {
                if (!list.AddBitmap(0, bitmaps.at((i + static_cast<std::size_t>(k)) % 8)).accepted)
                    return false;
            }
            return list.StoreUploadedList(profile, list.UploadOrder());
        }
        case 2:
            return SaveLastImage(profile, firmwaretext::kFwdn20Section,
                                 {"/firmware/r" + std::to_string(k) + "/KP70.SHC", "KP70.SHC"});
        default:
            return SaveLastImage(profile, firmwaretext::kFwdn15Section,
                                 {"/firmware/t10-" + std::to_string(k) + ".bin",
                                  "t10-" + std::to_string(k) + ".bin"});
    }
}

}  // namespace kp70::test
