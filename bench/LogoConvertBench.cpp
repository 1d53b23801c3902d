// ConvertMono and ConvertGray on a 512 x 760 24-bit image: the widest printable logo, as
// tall as the work buffer allows in one piece.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoOptions.h"

namespace {

constexpr int kWidth = 512;
constexpr int kHeight = 760;

// A 24-bit BMP with smooth gradients, so the diffusion has work on every dot.
std::vector<std::uint8_t> MakeBmp() {
    const int rowBytes = kWidth * 3;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(rowBytes) * kHeight, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, kWidth);
    put32(22, kHeight);
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint8_t* p = &b[54 + static_cast<std::size_t>(y) * rowBytes + 3 * x];
            p[0] = static_cast<std::uint8_t>(x / 2);
            p[1] = static_cast<std::uint8_t>(y / 3);
            p[2] = static_cast<std::uint8_t>((x + y) / 5);
        }
    }
    return b;
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
