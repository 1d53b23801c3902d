#pragma once

#include "core/logo/ImageDecoder.h"

namespace kp70 {

// PNG, JPEG and GIF logos through stb_image (Debian's libstb). Every pixel is composed over
// white by its alpha and stored as a 24-bit B,G,R bitmap row, so the logo engine treats the
// file exactly as a 24-bit BMP of the same pixels. Animated GIFs give their first frame.
//
// Sizes are checked from the file's header before the library allocates anything: the
// decoder's 8-bit R,G,B,A image must fit the BMP reader's limit (kMaxDecodedBytes), and
// each side the BMP reader's 0x7FFFFF pixels.
class StbImageDecoder : public ImageDecoder {
public:
    bool Recognises(const std::uint8_t* data, std::size_t size) const override;
    std::optional<DecodedBitmap> Decode(const std::uint8_t* data, std::size_t size,
                                        std::string& error) const override;
};

// Installs one StbImageDecoder for the whole program (InstallImageDecoder); the programs
// call it at start-up, and calling it again changes nothing.
void InstallStandardImageDecoders();

}  // namespace kp70
