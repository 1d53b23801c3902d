#pragma once

#include <cstdint>
#include <vector>

namespace kp70 {

class LogoBitmap;
struct LogoOptions;

// The encoded size in bytes of a width x height image: the padded width times the padded
// height / 8 (monochrome), four times that in gray mode. The listed size of an image.
std::int64_t EncodedSize(std::int64_t width, std::int64_t height, bool gray);

// True when the header of an NV image can describe a width x height image: the width in
// 8-dot units fits 13 bits (the top bits of xH carry the gray flag), the height in 8-dot
// units 16 bits.
bool HeaderFits(std::int64_t width, std::int64_t height);
// True when the printer can take the image as one NV image: the header can describe it and
// its data fits the NV graphics memory (384 KB). The conversions produce nothing for any
// other image, and centring is skipped where the centred image would not fit.
bool FitsNvImage(std::int64_t width, std::int64_t height, bool gray);

// The bytes of blank columns centring puts in front of a monochrome image of paddedWidth x
// paddedHeight dots to centre it in `area` dots: none when the image is as wide as the area
// or wider, or when the centred image would not fit the printer.
std::int64_t CentringBytes(std::int64_t paddedWidth, std::int64_t paddedHeight, int area);
// The image data the printer gets for a width x height image: its encoded size, and in
// monochrome with `centre` set the blank columns centring adds. What counts against the NV
// graphics memory in an upload.
std::int64_t SentSize(std::int64_t width, std::int64_t height, bool gray, bool centre, int area);

// Fills the bitmap's output buffer with monochrome NV image data: column-major, each byte
// 8 vertically adjacent dots with the topmost in bit 7, 1 = dot. 1-bit images are taken
// dot by dot (MonoDot); other depths go through the brightness pass and Floyd-Steinberg
// error diffusion. With `centre` set and the image narrower than the options' printable
// area, blank columns are put in front of it so it prints centred. Returns the number of
// bytes centring added (0 without). Produces nothing (output length 0) when no image is
// loaded or it does not fit the printer (FitsNvImage). The buffers are sized from the image.
std::int64_t ConvertMono(LogoBitmap& bitmap, const LogoOptions& options, bool centre);

// Fills the output buffer with gray NV image data: row-major, two dots per byte (left dot
// in the high nibble), levels 0 (white) .. 5 (darkest). Never centred.
void ConvertGray(LogoBitmap& bitmap, const LogoOptions& options);

// The printer's dots of the last conversion as an 8-bit gray picture of PaddedWidth x
// PaddedHeight pixels, row by row: black dots 0, gray levels 255 - 51 * level, white 255.
// Empty when the conversion produced nothing.
std::vector<std::uint8_t> DotsAsGray(const LogoBitmap& bitmap, bool gray);

// The first pass of both conversions: the luminance of every dot of the padded image
// adjusted by the diverging point T (T = 128 keeps it, smaller lightens, larger darkens),
// stored in the work buffer. Exposed for tests.
int BrightnessAdjust(int luminance, int divergingPoint);

}  // namespace kp70
