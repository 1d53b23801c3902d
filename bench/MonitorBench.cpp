// Monitor benchmark: kp70sim plays 253 printers over TCP (127.0.0.1 .. 127.0.0.253, in a
// network namespace of the benchmark's own where the system allows it) and kp70ctl monitor
// polls them every second for a minute while the benchmark scrapes /metrics every second, as
// a Prometheus server with gzip would. Prints the slowest poll round and the slowest scrape
// as ratios of the interval, the rounds that ran late, and the exporter's CPU (of one core)
// and peak resident memory, each against its goal; exits 1 when one is missed.
//
//   kp70bench_monitor [--printers N] [--seconds N] [--interval S] [--kp70ctl PATH]
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/ChildProcess.h"
#include "support/IsolatedNetwork.h"
#include "support/SimProcess.h"

namespace {

// The CPU time the process has used, in seconds (user and system).
double CpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // After the command's closing parenthesis: state is field 3, utime 14, stime 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int i = 3; fields >> field && i <= 15; ++i)
        if (i >= 14) ticks += std::stod(field);
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A "VmRSS:" or "VmHWM:" figure of the process, in MB.
double MemoryMb(pid_t pid, const std::string& key) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stod(line.substr(key.size())) / 1024.0;
    return 0;
}

// The value of a sample line "NAME VALUE" in a metrics text, -1 when it is not there.
double Sample(const std::string& metrics, const std::string& name) {
    const auto at = metrics.find("\n" + name + " ");
    if (at == std::string::npos) return -1;
    return std::stod(metrics.substr(at + name.size() + 2));
}

// How many printers the metrics show up.
std::size_t UpCount(const std::string& metrics) {
    std::size_t n = 0;
    std::istringstream lines(metrics);
    for (std::string line; std::getline(lines, line);)
        n += line.rfind("kp70_printer_up{", 0) == 0 && line.size() > 3 &&
             line.compare(line.size() - 3, 3, "} 1") == 0;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    const bool isolated = kp70::test::EnterIsolatedNetwork();
    int printers = 253;
    int seconds = 60;
    double interval = 1.0;
    std::string kp70ctl = KP70CTL_PATH;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--kp70ctl") == 0) kp70ctl = argv[i + 1];
        if (std::strcmp(argv[i], "--printers") == 0) printers = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--seconds") == 0) seconds = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--interval") == 0) interval = std::atof(argv[i + 1]);
    }
    kp70::test::SimProcess sim;
    if (!sim.Start({"--tcp-printers", std::to_string(printers - 1)}, std::chrono::seconds(30))) {
        std::fprintf(stderr, "kp70sim did not start: %s\n", sim.Log().c_str());
        return 1;
    }
    kp70::test::TempDir dir;
    std::string targets;
    for (const std::string& line : sim.ReadyLines())
        if (line.rfind("tcp ", 0) == 0) targets += line.substr(4) + "\n";
    kp70::test::WriteFile(dir.File("targets"), targets);

    kp70::test::ChildProcess monitor;
    const std::string home = dir.File("home");
    std::filesystem::create_directories(home);
    char intervalText[32];
    std::snprintf(intervalText, sizeof intervalText, "%g", interval);
    if (!monitor.Start({kp70ctl, "monitor", "--targets", dir.File("targets"), "--listen",
                        "127.0.0.1:0", "--interval", intervalText},
                       dir.File("monitor.log"), home,
                       {"HOME=" + home, "XDG_CONFIG_HOME=" + home, "XDG_STATE_HOME=" + home})) {
        std::fprintf(stderr, "kp70ctl monitor did not start\n");
        return 1;
    }
    std::smatch match;
    const std::string line = monitor.WaitForLine("metrics at http://");
    if (!std::regex_search(line, match, std::regex("127\\.0\\.0\\.1:([0-9]+)/metrics"))) {
        std::fprintf(stderr, "kp70ctl monitor is not listening: %s\n", monitor.Log().c_str());
        return 1;
    }
    httplib::Client client("127.0.0.1", std::stoi(match[1]));
    client.set_read_timeout(5);
    const httplib::Headers gzip = {{"Accept-Encoding", "gzip"}};
    auto scrape = [&] {
        auto response = client.Get("/metrics", gzip);
        return response && response->status == 200 ? response->body : std::string();
    };

    // Every printer answering first, so the minute measures the steady state.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::string metrics;
    while (UpCount(metrics = scrape()) < static_cast<std::size_t>(printers)) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "not every printer answered within 60 s:\n%s%s\n", metrics.c_str(),
                         monitor.Log().c_str());
            return 1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }

    const pid_t pid = monitor.Pid();
    const double rounds0 = Sample(metrics, "kp70_poll_rounds_total");
    const double late0 = Sample(metrics, "kp70_poll_rounds_late_total");
    const double cpu0 = CpuSeconds(pid);
    const auto start = std::chrono::steady_clock::now();
    double slowestRound = 0, slowestScrapeMs = 0, mostRss = 0;
    for (int s = 1; s <= seconds; ++s) {
        std::this_thread::sleep_until(start + std::chrono::seconds(s));
        const auto before = std::chrono::steady_clock::now();
        metrics = scrape();
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - before;
        slowestScrapeMs = std::max(slowestScrapeMs, took.count());
        slowestRound = std::max(slowestRound, Sample(metrics, "kp70_poll_round_duration_seconds"));
        mostRss = std::max(mostRss, MemoryMb(pid, "VmRSS:"));
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double cpuShare = (CpuSeconds(pid) - cpu0) / wall;
    const double peakRss = std::max(mostRss, MemoryMb(pid, "VmHWM:"));
    const double rounds = Sample(metrics, "kp70_poll_rounds_total") - rounds0;
    const double late = Sample(metrics, "kp70_poll_rounds_late_total") - late0;
    const std::size_t up = UpCount(metrics);
    monitor.Stop();

    const bool roundsOk = late == 0 && slowestRound < interval && slowestRound >= 0;
    const bool scrapeOk = slowestScrapeMs < 50;
    const bool cpuOk = cpuShare < 0.05;
    const bool rssOk = peakRss < 30;
    std::printf(
        "monitor: %d printers over TCP on %s, polled every %g s for %d s (%g rounds), /metrics "
        "scraped every second with gzip; %zu printers up at the end\n"
        "  slowest round %.3f s: %.2fx the interval (goal: under 1x), %g rounds late (goal: 0) "
        "%s\n"
        "  slowest scrape %.1f ms: %.3fx the interval (goal: under 50 ms) %s\n"
        "  CPU %.2f%% of one core (goal: under 5%%) %s\n"
        "  peak RSS %.1f MB (goal: under 30 MB) %s\n",
        printers,
        isolated ? "the loopback network of a namespace of its own"
                 : "the machine's loopback network",
        interval, seconds, rounds, up, slowestRound, slowestRound / interval, late,
        roundsOk ? "met" : "MISSED", slowestScrapeMs, slowestScrapeMs / 1000.0 / interval,
        scrapeOk ? "met" : "MISSED", cpuShare * 100.0, cpuOk ? "met" : "MISSED", peakRss,
        rssOk ? "met" : "MISSED");
    return roundsOk && scrapeOk && cpuOk && rssOk ? 0 : 1;
}
