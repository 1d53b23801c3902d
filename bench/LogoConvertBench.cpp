// ConvertMono and ConvertGray on a 512 x 760 24-bit image: a full-width logo whose gray data
// (194,560 bytes) fills half the NV graphics memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "GradientBmp.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoOptions.h"

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 760;

std::vector<std::uint8_t> MakeBmp() {
    return kp70::bench::MakeGradientBmp(kWidth, kHeight);
}

void BM_ConvertMono(benchmark::State& state) {
    const auto bmp = MakeBmp();
    auto bitmap = std::make_unique<kp70::LogoBitmap>();
    bitmap->LoadFromMemory(bmp.data(), bmp.size());
    kp70::LogoOptions options;
    for (auto _ : state) {
        kp70::ConvertMono(*bitmap, options, false);
        benchmark::DoNotOptimize(bitmap->OutputBuffer()[0]);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ConvertMono)->Unit(benchmark::kMillisecond);

void BM_ConvertGray(benchmark::State& state) {
    const auto bmp = MakeBmp();
    auto bitmap = std::make_unique<kp70::LogoBitmap>();
    bitmap->LoadFromMemory(bmp.data(), bmp.size());
    kp70::LogoOptions options;
    for (auto _ : state) {
        kp70::ConvertGray(*bitmap, options);
        benchmark::DoNotOptimize(bitmap->OutputBuffer()[0]);
    }
    state.SetItemsProcessed(state.iterations() * kWidth * kHeight);
}
BENCHMARK(BM_ConvertGray)->Unit(benchmark::kMillisecond);

// Reading the file as well, as an upload does for every image.
void BM_LoadAndConvertMono(benchmark::State& state) {
    const auto bmp = MakeBmp();
    auto bitmap = std::make_unique<kp70::LogoBitmap>();
    kp70::LogoOptions options;
    for (auto _ : state) {
        bitmap->LoadFromMemory(bmp.data(), bmp.size());
        kp70::ConvertMono(*bitmap, options, false);
        benchmark::DoNotOptimize(bitmap->OutputBuffer()[0]);
    }
}
BENCHMARK(BM_LoadAndConvertMono)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
