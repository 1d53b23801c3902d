// Reading the logo list from a profile: one at the largest size a profile may have
// (Profile::kMaxBytes, 255 logo entries and comment lines), which must read once and list
// in well under a second, and one of 60 MB, which is refused without being read. Goal: the
// list from the largest profile within 100 ms, the refusal within 1 ms.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/app/Profile.h"
#include "core/logo/LogoList.h"

namespace {

std::string ProfileOf(std::uintmax_t size, const char* name) {
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::string text = "[LOGO]\r\n";
    for (int n = 1; n <= kp70::LogoList::kMaxImages; ++n)
        text += "Logofile" + std::to_string(n) + "=/missing/logo" + std::to_string(n) + ".bmp\r\n";
    const std::string comment = "; " + std::string(1000, '-') + "\r\n";
    while (text.size() + comment.size() <= size) text += comment;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
}

void BM_LogoListFromTheLargestProfile(benchmark::State& state) {
    const std::string path = ProfileOf(kp70::Profile::kMaxBytes, "kp70bench-largest.INI");
    for (auto _ : state) {
        kp70::LogoList list;
        const kp70::Profile profile(path);
        benchmark::DoNotOptimize(list.LoadStoredList(profile));
        if (list.StoredCount() != kp70::LogoList::kMaxImages) state.SkipWithError("not read");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_LogoListFromTheLargestProfile)->Unit(benchmark::kMillisecond);

void BM_A60MegabyteProfileIsRefused(benchmark::State& state) {
    const std::string path = ProfileOf(60u * 1024 * 1024, "kp70bench-60mb.INI");
    for (auto _ : state) {
        kp70::LogoList list;
        const kp70::Profile profile(path);
        benchmark::DoNotOptimize(list.LoadStoredList(profile));
        if (profile.ReadProblem().empty()) state.SkipWithError("read");
    }
    std::filesystem::remove(path);
}
BENCHMARK(BM_A60MegabyteProfileIsRefused)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
