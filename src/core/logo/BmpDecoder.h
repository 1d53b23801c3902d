#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kp70 {

// One colour table entry.
struct BitmapColour {
    std::uint8_t blue = 0;
    std::uint8_t green = 0;
    std::uint8_t red = 0;
};

// A Windows bitmap decoded into an uncompressed bottom-up image.
//
// Decoded layouts: palette images keep their depth (1, 2, 4, 8; RLE4 decodes to 8-bit
// indices); 16-bit 5-5-5 and 32-bit B,G,R,x files keep their pixels as stored, since the
// printer image depends on the stored channel values; 24-bit files stay B,G,R; any other
// bit-field layout becomes 24-bit B,G,R with every channel scaled to 8 bits.
struct DecodedBitmap {
    int width = 0;
    int height = 0;
    int rowStride = 0;                 // bytes per decoded row, a multiple of 4
    int bitsPerPixel = 0;              // decoded depth
    int fileBitsPerPixel = 0;          // depth stored in the file
    std::vector<std::uint8_t> pixels;  // bottom row first
    std::array<BitmapColour, 256> palette{};
    int paletteCount = 0;
};

// What ProbeBitmap learns of a file.
struct BitmapProbe {
    bool ok = false;
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;  // as stored in the file
    std::string error;     // why the file was refused, when !ok
};

// The largest decoded image the reader accepts (bytes); larger files are refused before
// anything is allocated.
inline constexpr std::int64_t kMaxDecodedBytes = 128LL * 1024 * 1024;

// Decodes a whole BMP file held in memory. Accepts 1, 2, 4, 8, 16, 24 and 32 bits per
// pixel; colour tables; top-down rows; RLE4 and RLE8; BITFIELDS and ALPHABITFIELDS masks
// (alpha ignored); the 40-byte information header and its 52, 56, 108 and 124-byte
// successors; OS/2 1.x (12-byte) and 2.x (16 or 64-byte) headers. The colour table is read
// after the header's real size. Every read is bounded by the real length of the data (the
// header's file-size field is not trusted). On failure returns nullopt and error says why.
std::optional<DecodedBitmap> DecodeBmp(const std::uint8_t* data, std::size_t size,
                                       std::string& error);

// The file's bytes; nullopt (with error set) when it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadBitmapFile(const std::string& path,
                                                        std::string& error);

// Decodes the file only to learn its size and depth; the decoded image is dropped again.
// Files the installed image decoder recognises (ImageDecoder.h) are decoded by it.
BitmapProbe ProbeBitmap(const std::string& path);
BitmapProbe ProbeBitmapMemory(const std::uint8_t* data, std::size_t size);

}  // namespace kp70
