#pragma once

#include <cstdint>

namespace kp70 {

class LogoBitmap;
struct LogoOptions;

// The encoded size in bytes of a width x height image: the padded width times the padded
// height / 8 (monochrome), four times that in gray mode. The listed size of an image.
std::int64_t EncodedSize(std::int64_t width, std::int64_t height, bool gray);

// Fills the bitmap's output buffer with monochrome NV image data: column-major, each byte
// 8 vertically adjacent dots with the topmost in bit 7, 1 = dot. 1-bit images are taken
// dot by dot (MonoDot); other depths go through the brightness pass and Floyd-Steinberg
// error diffusion. With `centre` set and the image narrower than the options' printable
// area, blank columns are put in front of it so it prints centred. Returns the number of
// bytes centring added (0 without). Produces nothing (output length 0) when no image is
// loaded or it exceeds the work buffer.
std::int64_t ConvertMono(LogoBitmap& bitmap, const LogoOptions& options, bool centre);

// Fills the output buffer with gray NV image data: row-major, two dots per byte (left dot
// in the high nibble), levels 0 (white) .. 5 (darkest). Never centred.
void ConvertGray(LogoBitmap& bitmap, const LogoOptions& options);

// The first pass of both conversions: the luminance of every dot of the padded image
// adjusted by the diverging point T (T = 128 keeps it, smaller lightens, larger darkens),
// stored in the work buffer. Exposed for tests.
int BrightnessAdjust(int luminance, int divergingPoint);

}  // namespace kp70
