#pragma once

#include <cstdint>
#include <vector>

namespace kp70::bench {

// A 24-bit BMP with smooth gradients in every channel, so the error diffusion has work on
// every dot. The logo benchmarks convert it in process and with kp70ctl and ImageMagick.
inline std::vector<std::uint8_t> MakeGradientBmp(int width, int height) {
    const int rowBytes = width * 3;
    std::vector<std::uint8_t> b(54 + static_cast<std::size_t>(rowBytes) * height, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<std::uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<std::uint32_t>(width));
    put32(22, static_cast<std::uint32_t>(height));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = &b[54 + static_cast<std::size_t>(y) * rowBytes + 3 * x];
            p[0] = static_cast<std::uint8_t>(x / 2);
            p[1] = static_cast<std::uint8_t>(y / 3);
            p[2] = static_cast<std::uint8_t>((x + y) / 5);
        }
    }
    return b;
}

}  // namespace kp70::bench
