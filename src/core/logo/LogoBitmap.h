#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/logo/BmpDecoder.h"

namespace kp70 {

// One bitmap of an upload: the decoded image, its sizes padded to whole multiples of 8
// dots, and the buffers the conversions work in. The buffers are sized from the image: they
// grow to the largest image of the upload and are reused for every later one. The reader works in
// printer orientation: x runs left to right, y top to bottom, (0, 0) is the top-left pixel; pixels
// in the padding read as white.
class LogoBitmap {
public:
    LogoBitmap();

    // Decodes the file: a bitmap, or a PNG, JPEG or GIF file when an image decoder is
    // installed (ImageDecoder.h). On failure nothing is loaded, the sizes keep their previous
    // values and LastError() says why. The output length is 0 afterwards in every case.
    bool LoadBitmap(const std::string& path);
    // The same for a file already in memory.
    bool LoadFromMemory(const std::uint8_t* data, std::size_t size);

    bool IsLoaded() const { return m_loaded; }
    // Releases the decoded image (the buffers stay).
    void Release();
    const std::string& LastError() const { return m_error; }

    // How light pixel (x, y) is, 0 (black) .. 255; 255 outside the image or when nothing is
    // loaded. Palette images (1-bit ones too) are read through their colour table.
    int Luminance(int x, int y) const;
    // 1-bit images: 1 when pixel (x, y) is printed; 0 outside the image.
    int MonoDot(int x, int y) const;

    int Width() const { return m_image.width; }
    int Height() const { return m_image.height; }
    int RowStride() const { return m_image.rowStride; }
    int BitsPerPixel() const { return m_image.bitsPerPixel; }
    int FileBitsPerPixel() const { return m_image.fileBitsPerPixel; }
    int PaddedWidth() const { return m_paddedWidth; }
    int PaddedHeight() const { return m_paddedHeight; }
    void SetPaddedWidth(int width) { m_paddedWidth = width; }

    // Grows the buffers to hold workSize dots and outputSize encoded bytes (never shrinks).
    void ReserveBuffers(std::size_t workSize, std::size_t outputSize);
    // The colour of pixel (x, y) with 8-bit channels (white outside the image); what the
    // file looks like, before any conversion.
    BitmapColour Colour(int x, int y) const;

    std::uint8_t* WorkBuffer() { return m_workBuffer.data(); }
    std::uint8_t* OutputBuffer() { return m_outputBuffer.data(); }
    const std::uint8_t* OutputBuffer() const { return m_outputBuffer.data(); }
    std::uint8_t* SpareBuffer() { return m_spareBuffer.data(); }
    int OutputLength() const { return m_outputLength; }
    void SetOutputLength(int length) { m_outputLength = length; }

private:
    void Adopt(DecodedBitmap&& image);

    bool m_loaded = false;
    DecodedBitmap m_image;
    // Luminance of each colour table entry, computed once per image.
    std::array<std::uint8_t, 256> m_paletteLuminance{};
    int m_paddedWidth = 0;
    int m_paddedHeight = 0;
    std::vector<std::uint8_t> m_workBuffer;
    std::vector<std::uint8_t> m_outputBuffer;
    std::vector<std::uint8_t> m_spareBuffer;
    int m_outputLength = 0;
    std::string m_error;
};

// The luminance of a colour with 8-bit channels, and of one with 5-bit channels: the
// weights 0.3, 0.59 and 0.11 (times 8 for 5-bit channels) as single-precision numbers,
// the products summed in double precision, the sum truncated. White reads 254 and the
// lightest 5-bit colour 247.
int Luminance8(int red, int green, int blue);
int Luminance5(int red, int green, int blue);

}  // namespace kp70
