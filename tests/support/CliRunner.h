#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/Cli.h"

namespace kp70::test {

// What one kp70ctl run printed and returned.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs kp70ctl in process with the given arguments (without the program name), the
// profile and error log at the given paths and the given seams; the output is captured.
inline CliRun RunKp70ctl(std::vector<std::string> args, const std::string& profilePath,
                         const std::string& errorLogPath, Clock* clock, DeviceEnumerator* devices,
                         bool korean = false) {
    args.insert(args.begin(), "kp70ctl");
    std::vector<const char*> argv;
    for (const auto& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    CliContext context{out, err, {}, profilePath, errorLogPath, clock, devices};
    context.catalogue.SelectLanguage(korean);
    CliRun run;
    run.status = RunCli(static_cast<int>(argv.size()), argv.data(), context);
    run.out = out.str();
    run.err = err.str();
    return run;
}

}  // namespace kp70::test
