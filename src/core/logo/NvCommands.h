#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kp70 {

class LogoBitmap;

using Bytes = std::vector<std::uint8_t>;

// Print sizes of the print command (m).
enum class NvPrintMode : std::uint8_t {
    Normal = 0,
    DoubleWidth = 1,
    DoubleHeight = 2,
    Quadruple = 3,
};

// Define NV bit images: [1B] 1C 71 n, then n images follow (the printer first erases its
// NV graphics memory). n is 1..255.
Bytes DefineNvImagesCommand(int count, bool starEmulation);
// Delete all NV bit images: 1C 71 01 00 00 00 00 (defines one empty image). Never gets the
// ESC prefix, also under Star emulation.
Bytes DeleteAllNvImagesCommand();
// Print NV bit image n (1..255) in size m: [1B] 1C 70 n m.
Bytes PrintNvImageCommand(int number, NvPrintMode mode, bool starEmulation);
// Initialize printer: 1B 40.
Bytes InitializePrinterCommand();
// Printer identity request, used as the printer check: 1D 49 01.
Bytes PrinterIdentityRequest();
// The header of an empty image: four zero bytes.
Bytes EmptyNvImage();

// The 4-byte header sent before an image's data: width and height in units of 8 dots,
// low byte first, the width's high byte ORed with 0xA0 for gray (4 bits per dot) data.
std::array<std::uint8_t, 4> NvImageHeader(int paddedWidth, int paddedHeight, bool gray);

// The order in which list positions are uploaded: ascending image number, by exchange sort
// (for i = 1..n-1, for j = i..n-1: if number[j] < number[i-1], swap). The printer numbers
// the images 1..n in the order they arrive.
std::vector<int> UploadOrder(const std::vector<int>& numbers);

}  // namespace kp70
