// Writes the 512 x 760 24-bit gradient bitmap the logo conversion benchmarks use.
#include <cstdint>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kp70bench_logo_bmp OUT.bmp\n");
        return 2;
    }
    const int width = 512;
    const int height = 760;
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
    put32(18, width);
    put32(22, height);
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
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f || std::fwrite(b.data(), 1, b.size(), f) != b.size() || std::fclose(f) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
