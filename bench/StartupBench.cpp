// Start-up benchmark: starts kp70tool and a minimal Qt Widgets dialog alternately, each with
// KP70_EXIT_WHEN_SHOWN set, and times process start to the line "shown" that each prints
// after its first window has painted. Prints the median and minimum of both and the ratio
// of the medians.
//
//   kp70bench_startup --tool PATH --minimal PATH [--runs N]
// KP70_BENCH_VERBOSE=1 keeps the programs' own messages on stderr.
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Milliseconds from fork to the child's "shown" line; negative when it never came.
double TimeToShown(const std::string& program) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) return -1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        // Qt's start-up chatter would mix into the report.
        if (!std::getenv("KP70_BENCH_VERBOSE")) freopen("/dev/null", "w", stderr);
        setenv("KP70_EXIT_WHEN_SHOWN", "1", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string output;
    double elapsed = -1;
    char buffer[256];
    for (;;) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
        if (output.find("shown\n") != std::string::npos) {
            elapsed =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                    .count();
            break;
        }
    }
    close(pipeFds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return elapsed;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::string tool, minimal;
    int runs = 10;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--tool") == 0)
            tool = argv[i + 1];
        else if (std::strcmp(argv[i], "--minimal") == 0)
            minimal = argv[i + 1];
        else if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[i + 1]));
    }
    if (tool.empty() || minimal.empty()) {
        std::fprintf(stderr, "usage: %s --tool PATH --minimal PATH [--runs N]\n", argv[0]);
        return 2;
    }

    // One unmeasured start of each warms the file cache.
    TimeToShown(tool);
    TimeToShown(minimal);
    std::vector<double> toolTimes, minimalTimes;
    for (int run = 0; run < runs; ++run) {
        const double t = TimeToShown(tool);
        const double m = TimeToShown(minimal);
        if (t < 0 || m < 0) {
            std::fprintf(stderr, "a program did not report its window as shown (%s)\n",
                         t < 0 ? tool.c_str() : minimal.c_str());
            return 1;
        }
        toolTimes.push_back(t);
        minimalTimes.push_back(m);
    }
    const double toolMedian = Median(toolTimes);
    const double minimalMedian = Median(minimalTimes);
    std::printf("start to first screen shown, %d runs each (median / minimum):\n", runs);
    std::printf("  kp70tool connection screen  %8.1f ms / %8.1f ms\n", toolMedian,
                *std::min_element(toolTimes.begin(), toolTimes.end()));
    std::printf("  minimal Qt Widgets dialog   %8.1f ms / %8.1f ms\n", minimalMedian,
                *std::min_element(minimalTimes.begin(), minimalTimes.end()));
    std::printf("  ratio (median kp70tool / median minimal): %.2f\n", toolMedian / minimalMedian);
    return 0;
}
