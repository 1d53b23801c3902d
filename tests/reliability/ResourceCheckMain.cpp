// Runs a command (kp70ctl, say) and checks what it leaves behind: no process it started may
// still run once it has ended, and every watched process (kp70sim) must hold no more
// descriptors than before the command once it has noticed the command's links closing.
//
//   kp70_resource_check [--watch PID]... [--report FILE] [--timeout SECONDS] -- COMMAND...
//
// The command runs in a session of its own, with this program's stdin, stdout and stderr.
// What was left goes to FILE (appended; default stderr), one "leak: ..." line each, then
// "leaks: N found". Exit status: the command's own, 125 when something was left behind,
// 124 when the command ran longer than --timeout (its whole session is then killed),
// 2 for a wrong command line.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "support/ResourceSnapshot.h"

namespace {

using kp70::test::ProcessesOfSession;
using kp70::test::ResourceSnapshot;

std::string CommandOf(int pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

int Usage() {
    std::cerr << "usage: kp70_resource_check [--watch PID]... [--report FILE] "
                 "[--timeout SECONDS] -- COMMAND [ARGS...]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<int> watched;
    std::string reportPath;
    int timeoutSeconds = 0;
    int at = 1;
    for (; at < argc && std::string(argv[at]) != "--"; ++at) {
        const std::string option = argv[at];
        if (at + 1 >= argc) return Usage();
        if (option == "--watch") {
            watched.push_back(std::atoi(argv[++at]));
        } else if (option == "--report") {
            reportPath = argv[++at];
        } else if (option == "--timeout") {
            timeoutSeconds = std::atoi(argv[++at]);
        } else {
            return Usage();
        }
    }
    if (at + 1 >= argc) return Usage();
    char** command = argv + at + 1;

    std::vector<std::size_t> baseline;
    for (int pid : watched) baseline.push_back(ResourceSnapshot::Of(pid).fds.size());

    const pid_t child = fork();
    if (child < 0) return 2;
    if (child == 0) {
        setsid();
        execvp(command[0], command);
        std::perror(command[0]);
        _exit(127);
    }
    // Waits for the command, boundedly when asked to (a watchdog, not a measurement).
    int status = 0;
    bool hung = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    for (;;) {
        const pid_t done = waitpid(child, &status, timeoutSeconds > 0 ? WNOHANG : 0);
        if (done == child) break;
        if (done < 0) return 2;
        if (std::chrono::steady_clock::now() >= deadline) {
            hung = true;
            kill(-child, SIGKILL);
            waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    std::vector<std::string> leaks;
    if (!hung) {
        for (int pid : ProcessesOfSession(child)) {
            leaks.push_back("process " + std::to_string(pid) + " (" + CommandOf(pid) +
                            ") still runs after the command ended");
            kill(pid, SIGKILL);
        }
    }
    for (std::size_t i = 0; i < watched.size(); ++i) {
        // The watched process closes its end when it notices ours closed: give it a moment.
        std::size_t now = 0;
        const auto settle = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while ((now = ResourceSnapshot::Of(watched[i]).fds.size()) > baseline[i] &&
               std::chrono::steady_clock::now() < settle) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (now > baseline[i]) {
            leaks.push_back("process " + std::to_string(watched[i]) + " (" + CommandOf(watched[i]) +
                            ") holds " + std::to_string(now) + " descriptors, " +
                            std::to_string(baseline[i]) + " before");
        }
    }

    std::ofstream file;
    if (!reportPath.empty()) file.open(reportPath, std::ios::app);
    std::ostream& report = reportPath.empty() ? std::cerr : file;
    for (const auto& leak : leaks) report << "leak: " << leak << "\n";
    report << "leaks: " << leaks.size() << " found" << std::endl;

    if (hung) return 124;
    if (!leaks.empty()) return 125;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
