#include <unistd.h>

#include <iostream>

#include "cli/Cli.h"
#include "core/app/Language.h"
#include "core/app/Profile.h"
#include "platform/DurableFiles.h"
#include "platform/SystemClock.h"
#include "platform/UdevDeviceEnumerator.h"

int main(int argc, char** argv) {
    // Results (stdout) and progress (stderr) must reach a shared pipe or log in the order
    // they happen: stdout would otherwise hold its lines back until the program ends.
    std::cout << std::unitbuf;
    kp70::InstallDurableSaves();
    kp70::SystemClock clock;
    kp70::UdevDeviceEnumerator devices;
    kp70::CliContext context{std::cout, std::cerr, {}, {}, {}, &clock, &devices};
    context.catalogue.SelectLanguage(kp70::IsKoreanEnvironment());

    char cwd[4096];
    const std::string dir = getcwd(cwd, sizeof cwd) ? cwd : "";
    // The command line shares the GUI's profile, so both see one logo list.
    context.profilePath = kp70::ProfilePathFor(dir, "kp70tool");
    context.errorLogPath = dir + "/error.log";
    return kp70::RunCli(argc, argv, context);
}
