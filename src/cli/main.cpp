#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "cli/Cli.h"
#include "core/app/FileLocations.h"
#include "core/app/Language.h"
#include "platform/DurableFiles.h"
#include "platform/SystemClock.h"
#include "platform/UdevDeviceEnumerator.h"

int main(int argc, char** argv) {
    // Results (stdout) and progress (stderr) must reach a shared pipe or log in the order
    // they happen: stdout would otherwise hold its lines back until the program ends.
    std::cout << std::unitbuf;
    kp70::InstallDurableSaves();
    // Scripted end-to-end runs (scripts/fault-matrix.sh) run the tool's clock as fast as
    // kp70sim's --time-scale runs the printer; not meant for operators, so not in --help.
    kp70::SystemClock clock(kp70::SystemClock::ScaleFromText(std::getenv("KP70_TEST_TIME_SCALE")));
    kp70::UdevDeviceEnumerator devices;
    kp70::CliContext context{std::cout, std::cerr, {}, {}, {}, &clock, &devices};
    context.catalogue.SelectLanguage(kp70::IsKoreanEnvironment());

    char cwd[4096];
    const std::string dir = getcwd(cwd, sizeof cwd) ? cwd : "";
    // The command line shares the GUI's profile and log, found by the same rule, so both
    // see one logo list.
    const kp70::FileLocations files = kp70::PrepareFileLocations(dir);
    context.profilePath = files.profilePath;
    context.errorLogPath = files.errorLogPath;
    return kp70::RunCli(argc, argv, context);
}
