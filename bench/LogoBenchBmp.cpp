// Writes the 512 x 760 24-bit gradient bitmap the logo conversion benchmarks use.
#include <cstdint>
#include <cstdio>
#include <vector>

#include "GradientBmp.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kp70bench_logo_bmp OUT.bmp\n");
        return 2;
    }
    const std::vector<std::uint8_t> b = kp70::bench::MakeGradientBmp(512, 760);
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
