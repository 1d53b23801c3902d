#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace kp70::test {

// Builds small uncompressed BMP files with a 40-byte header. pixel(x, y) returns the
// stored value of the pixel at printer position (x, y) (y from the top): a colour index
// for palette depths, 0xRRGGBB for 24/32 bits, the raw 16-bit word for 16 bits.
struct BmpSpec {
    int width = 8;
    int height = 8;
    int bitsPerPixel = 24;
    std::vector<std::uint32_t> palette;  // 0xRRGGBB entries
    bool topDown = false;
    std::function<std::uint32_t(int, int)> pixel = [](int, int) { return 0xFFFFFFu; };
};

inline void PutU16(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::vector<std::uint8_t> BuildBmp(const BmpSpec& s) {
    const int rowBytes = (s.width * s.bitsPerPixel + 31) / 32 * 4;
    const std::size_t tableBytes = s.palette.size() * 4;
    const std::size_t offset = 54 + tableBytes;
    std::vector<std::uint8_t> b(offset + static_cast<std::size_t>(rowBytes) * s.height, 0);
    b[0] = 'B';
    b[1] = 'M';
    PutU32(b, 2, static_cast<std::uint32_t>(b.size()));
    PutU32(b, 10, static_cast<std::uint32_t>(offset));
    PutU32(b, 14, 40);
    PutU32(b, 18, static_cast<std::uint32_t>(s.width));
    PutU32(b, 22, static_cast<std::uint32_t>(s.topDown ? -s.height : s.height));
    PutU16(b, 26, 1);
    PutU16(b, 28, static_cast<std::uint32_t>(s.bitsPerPixel));
    PutU32(b, 46, static_cast<std::uint32_t>(s.palette.size()));
    for (std::size_t i = 0; i < s.palette.size(); ++i) PutU32(b, 54 + 4 * i, s.palette[i]);
    for (int y = 0; y < s.height; ++y) {
        const int fileRow = s.topDown ? y : s.height - 1 - y;
        const std::size_t row = offset + static_cast<std::size_t>(fileRow) * rowBytes;
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t v = s.pixel(x, y);
            switch (s.bitsPerPixel) {
                case 1:
                    b[row + x / 8] |= static_cast<std::uint8_t>((v & 1) << (7 - x % 8));
                    break;
                case 2:
                    b[row + x / 4] |= static_cast<std::uint8_t>((v & 3) << (6 - 2 * (x % 4)));
                    break;
                case 4:
                    b[row + x / 2] |= static_cast<std::uint8_t>((v & 15) << (4 - 4 * (x % 2)));
                    break;
                case 8:
                    b[row + x] = static_cast<std::uint8_t>(v);
                    break;
                case 16:
                    PutU16(b, row + 2 * x, v);
                    break;
                case 24:
                    b[row + 3 * x] = static_cast<std::uint8_t>(v);
                    b[row + 3 * x + 1] = static_cast<std::uint8_t>(v >> 8);
                    b[row + 3 * x + 2] = static_cast<std::uint8_t>(v >> 16);
                    break;
                case 32:
                    PutU32(b, row + 4 * x, v);
                    break;
            }
        }
    }
    return b;
}

inline std::string WriteBmp(const TempDir& dir, const std::string& name, const BmpSpec& layout) {
    const auto bytes = BuildBmp(layout);
    const std::string path = dir.File(name);
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

// A uniform 24-bit image.
inline BmpSpec Solid24(int width, int height, std::uint32_t rgb) {
    BmpSpec s;
    s.width = width;
    s.height = height;
    s.bitsPerPixel = 24;
    s.pixel = [rgb](int, int) { return rgb; };
    return s;
}

}  // namespace kp70::test
