#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <system_error>

#include "cli/Cli.h"
#include "core/app/FileLocations.h"
#include "platform/DurableFiles.h"
#include "platform/ProgramEnvironment.h"
#include "platform/SystemClock.h"
#include "platform/SystemDeviceEnumerator.h"

int main(int argc, char** argv) {
    // Results (stdout) and progress (stderr) must reach a shared pipe or log in the order
    // they happen: stdout would otherwise hold its lines back until the program ends.
    std::cout << std::unitbuf;
    kp70::PrepareConsoleText();
    kp70::InstallDurableSaves();
    // Scripted end-to-end runs (scripts/fault-matrix.sh) run the tool's clock as fast as
    // kp70sim's --time-scale runs the printer; not meant for operators, so not in --help.
    kp70::SystemClock clock(kp70::SystemClock::ScaleFromText(std::getenv("KP70_TEST_TIME_SCALE")));
    kp70::SystemDeviceEnumerator devices;
    kp70::CliContext context{std::cout, std::cerr, {}, {}, {}, &clock, &devices};
    context.catalogue.SelectLanguage(kp70::SystemLanguageIsKorean());
    context.stdinIsTerminal = kp70::StdinIsTerminal();
    context.stderrIsTerminal = kp70::StderrIsTerminal();

    std::error_code error;
    const std::filesystem::path cwd = std::filesystem::current_path(error);
    const std::string dir = error ? std::string() : cwd.string();
    // The command line shares the GUI's profile and log, found by the same rule, so both
    // see one logo list.
    const kp70::FileLocations files = kp70::PrepareProgramFiles(dir);
    context.profilePath = files.profilePath;
    context.errorLogPath = files.errorLogPath;
    return kp70::RunCli(argc, argv, context);
}
