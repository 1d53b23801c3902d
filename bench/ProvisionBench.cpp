// Provisioning benchmark: kp70sim plays 20 printers over TCP (127.0.0.1 .. 127.0.0.20), one
// of them is given settings and 10 logos and backed up, and kp70ctl provision applies the
// backup to all 20 with --jobs 20. Prints the wall time of the whole run against the slowest
// single printer's time; the goal is close to 1x, which shows the printers are served in
// parallel rather than one after the other. Tool and printer run at --scale (default 0.1,
// ten times real speed; 1 for the printers' real pace); times are in the tool's ms.
//
//   kp70bench_provision [--printers N] [--jobs N] [--scale F]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/BmpBuilder.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace {

std::string WriteBmp(const std::string& path, int seed) {
    kp70::test::BmpSpec layout;
    layout.width = 160 + seed * 8;
    layout.height = 48;
    layout.pixel = [seed](int x, int y) -> std::uint32_t {
        const std::uint32_t v = static_cast<std::uint32_t>((x * 5 + y * 11 + seed * 29) % 256);
        return (v << 16) | (v << 8) | v;
    };
    const auto bytes = kp70::test::BuildBmp(layout);
    kp70::test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

}  // namespace

int main(int argc, char** argv) {
    int printers = 20;
    int jobs = 20;
    double scale = 0.1;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--printers") == 0) printers = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--jobs") == 0) jobs = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--scale") == 0) scale = std::atof(argv[i + 1]);
    }
    kp70::test::ScaledClock clock(scale);
    kp70::test::SimProcess sim;
    std::vector<std::string> args = {"--tcp-printers", std::to_string(printers - 1)};
    for (const std::string& a : clock.SimArgs()) args.push_back(a);
    if (!sim.Start(args, std::chrono::milliseconds(20000))) {
        std::fprintf(stderr, "kp70sim did not start: %s\n", sim.Log().c_str());
        return 1;
    }
    std::vector<std::string> nets;
    for (const std::string& line : sim.ReadyLines())
        if (line.rfind("tcp ", 0) == 0) nets.push_back(line.substr(4));

    kp70::test::TempDir dir;
    kp70::test::FakeDeviceEnumerator devices;
    auto run = [&](std::vector<std::string> a) {
        return kp70::test::RunKp70ctl(std::move(a), dir.File("kp70tool.INI"), dir.File("error.log"),
                                      &clock, &devices);
    };
    std::vector<std::string> upload = {"logo", "upload"};
    for (int i = 0; i < 10; ++i)
        upload.push_back(WriteBmp(dir.File("logo" + std::to_string(i) + ".bmp"), i));
    upload.insert(upload.end(), {"--net", nets[0]});
    const std::string file = dir.File("shop.kp70");
    for (const auto& step :
         {upload,
          std::vector<std::string>{"setup", "set", "--timeout", "60000", "--net", nets[0],
                                   "left-margin=120", "code-page=16"},
          std::vector<std::string>{"backup", file, "--timeout", "60000", "--net", nets[0]}}) {
        const kp70::test::CliRun r = run(step);
        if (r.status != 0) {
            std::fprintf(stderr, "%s failed: %s\n", step[0].c_str(), r.err.c_str());
            return 1;
        }
    }

    std::vector<std::string> provision = {
        "provision", file, "--yes", "--json", "--jobs", std::to_string(jobs), "--timeout", "60000"};
    for (const std::string& net : nets) provision.insert(provision.end(), {"--net", net});
    const std::int64_t start = clock.Now();
    const kp70::test::CliRun r = run(provision);
    const std::int64_t wall = clock.Now() - start;
    if (r.status != 0) {
        std::fprintf(stderr, "provision failed:\n%s%s\n", r.out.c_str(), r.err.c_str());
        return 1;
    }
    std::int64_t slowest = 0;
    for (const auto& row : nlohmann::json::parse(r.out))
        slowest = std::max<std::int64_t>(slowest, row["ms"].get<std::int64_t>());
    std::printf(
        "provision: %zu printers over TCP, settings and 10 logos each, --jobs %d (time scale "
        "%g)\n  wall %lld ms, slowest printer %lld ms: %.2fx (goal: close to 1x)\n",
        nets.size(), jobs, scale, static_cast<long long>(wall), static_cast<long long>(slowest),
        slowest > 0 ? static_cast<double>(wall) / static_cast<double>(slowest) : 0.0);
    return 0;
}
