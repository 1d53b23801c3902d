#pragma once

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace kp70::test {

// Image files for the firmware tests, built here from the file layout alone (not with the
// tool's own code), so the tests compare two readings of the format.

inline constexpr std::size_t kImageSize = 0x800000;

// An 8 MB F/W Update image: every byte different from its neighbours (0x11 and 0x13, which
// XON/XOFF would take, among them), the boot enable byte and the signature "KVRN" at the
// end. signatureOk false spoils the signature's first letter.
inline std::vector<std::uint8_t> MakeImage(std::uint8_t bootEnable = 1, bool signatureOk = true) {
    std::vector<std::uint8_t> image(kImageSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8) * 3 + (i >> 16));
    image[0x7FFFFB] = bootEnable;
    image[0x7FFFFC] = signatureOk ? 'K' : 'X';
    image[0x7FFFFD] = 'V';
    image[0x7FFFFE] = 'R';
    image[0x7FFFFF] = 'N';
    return image;
}

// A TALVO10 image of `size` bytes (2 MB holds every area).
inline std::vector<std::uint8_t> MakeTalvo10Image(std::size_t size = 0x200000) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + (i >> 9));
    return image;
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// The sum of the bytes modulo 65,536.
inline std::uint16_t Sum16(const std::uint8_t* data, std::size_t size) {
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i < size; ++i) sum += data[i];
    return static_cast<std::uint16_t>(sum);
}

// CRC-32 (IEEE, as zlib computes it): the virtual printer records it for every flashed area.
inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

}  // namespace kp70::test
