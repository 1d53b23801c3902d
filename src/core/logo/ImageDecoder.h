#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "core/logo/BmpDecoder.h"

namespace kp70 {

// Reads image files other than Windows bitmaps (PNG, JPEG, GIF) into the same decoded
// structure the BMP reader produces, so that every later step (luminance, diffusion, NV
// encoding, preview) is the one a bitmap goes through. Core reads BMP itself; the general
// formats need a third-party decoder, which lives outside core (src/image) and is installed
// here by the programs at start-up.
class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    // True when the data begins like a file this decoder reads (by its signature; the file
    // name's suffix does not count).
    virtual bool Recognises(const std::uint8_t* data, std::size_t size) const = 0;
    // Decodes the first image of the data. The result follows the BMP reader's rules and
    // limits; on failure returns nullopt and error says why, in the BMP reader's words where
    // the reason is the same (an image too large, a size that is not valid).
    virtual std::optional<DecodedBitmap> Decode(const std::uint8_t* data, std::size_t size,
                                                std::string& error) const = 0;
};

// Installs the decoder for formats other than BMP; nullptr removes it. The programs call
// this once at start-up; the decoder must outlive every later decode. Without one, only
// bitmaps are read and other files are refused as not being bitmaps.
void InstallImageDecoder(const ImageDecoder* decoder);
const ImageDecoder* InstalledImageDecoder();

// Decodes a whole image file held in memory: a file the installed decoder recognises goes to
// it, every other file to DecodeBmp.
std::optional<DecodedBitmap> DecodeImage(const std::uint8_t* data, std::size_t size,
                                         std::string& error);

}  // namespace kp70
