// The process the crash test kills: saves the profile in DIR over and over, as the tool does
// after uploads and firmware downloads, with the system's durable saves, and logs each save
// to DIR/error.log. After each save it prints "saved N" on stdout, then logs the save.
//
//   kp70_crash_saver DIR FIRST      (makes saves FIRST, FIRST + 1, ... until killed)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ProfileSaveSequence.h"
#include "platform/DurableFiles.h"
#include "platform/SystemClock.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DIR FIRST\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    const long first = std::atol(argv[2]);
    kp70::InstallDurableSaves();
    kp70::SystemClock clock;
    kp70::ErrorLog log(clock);
    if (!log.Open(dir + "/error.log", kp70::ErrorLog::Mode::Append)) return 1;
    kp70::Profile profile(dir + "/kp70tool.INI");
    std::vector<std::string> bitmaps;
    for (int i = 0; i < 8; ++i) bitmaps.push_back(dir + "/logo" + std::to_string(i) + ".bmp");

    // A bound, in case the test that should kill it is gone.
    for (long n = first; n < first + 100000; ++n) {
        if (!kp70::test::MakeSave(n, profile, bitmaps)) {
            std::fprintf(stderr, "save %ld failed\n", n);
            return 1;
        }
        std::printf("saved %ld\n", n);
        std::fflush(stdout);
        log.LogLine("%s", kp70::test::SaveLogMessage(n).c_str());
    }
    return 0;
}
