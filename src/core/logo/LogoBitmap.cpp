#include "core/logo/LogoBitmap.h"

#include "core/logo/ImageDecoder.h"

namespace kp70 {

namespace {

// The weights as single-precision numbers, widened exactly to double for the sums.
constexpr double kRedWeight = 0.3f;
constexpr double kGreenWeight = 0.59f;
constexpr double kBlueWeight = 0.11f;
constexpr double kRedWeight5 = 2.4f;
constexpr double kGreenWeight5 = 4.72f;
constexpr double kBlueWeight5 = 0.88f;

}  // namespace

int Luminance8(int red, int green, int blue) {
    return static_cast<int>(red * kRedWeight + green * kGreenWeight + blue * kBlueWeight);
}

int Luminance5(int red, int green, int blue) {
    return static_cast<int>(red * kRedWeight5 + green * kGreenWeight5 + blue * kBlueWeight5);
}

LogoBitmap::LogoBitmap() = default;

void LogoBitmap::ReserveBuffers(std::size_t workSize, std::size_t outputSize) {
    if (m_workBuffer.size() < workSize) m_workBuffer.resize(workSize);
    if (m_outputBuffer.size() < outputSize) {
        m_outputBuffer.resize(outputSize);
        m_spareBuffer.resize(outputSize);
    }
}

bool LogoBitmap::LoadBitmap(const std::string& path) {
    m_outputLength = 0;
    std::string error;
    auto data = ReadBitmapFile(path, error);
    if (!data) {
        Release();
        m_error = error;
        return false;
    }
    return LoadFromMemory(data->data(), data->size());
}

bool LogoBitmap::LoadFromMemory(const std::uint8_t* data, std::size_t size) {
    m_outputLength = 0;
    std::string error;
    auto image = DecodeImage(data, size, error);
    if (!image) {
        Release();
        m_error = error;
        return false;
    }
    Adopt(std::move(*image));
    return true;
}

void LogoBitmap::Adopt(DecodedBitmap&& image) {
    m_image = std::move(image);
    m_loaded = true;
    m_error.clear();
    m_paddedWidth = (m_image.width + 7) / 8 * 8;
    m_paddedHeight = (m_image.height + 7) / 8 * 8;
    for (int i = 0; i < 256; ++i) {
        const BitmapColour& c = m_image.palette[i];
        m_paletteLuminance[i] = static_cast<std::uint8_t>(Luminance8(c.red, c.green, c.blue));
    }
}

void LogoBitmap::Release() {
    // The sizes keep their values; only the pixels go.
    m_loaded = false;
    m_image.pixels.clear();
    m_image.pixels.shrink_to_fit();
}

int LogoBitmap::Luminance(int x, int y) const {
    if (!m_loaded || x < 0 || y < 0 || x >= m_image.width || y >= m_image.height) return 255;
    const std::uint8_t* p = m_image.pixels.data() +
                            static_cast<std::size_t>(m_image.height - 1 - y) * m_image.rowStride;
    switch (m_image.bitsPerPixel) {
        case 1:
            return m_paletteLuminance[(p[x / 8] >> (7 - x % 8)) & 1];
        case 2:
            return m_paletteLuminance[(p[x / 4] >> (6 - 2 * (x % 4))) & 3];
        case 4:
            return m_paletteLuminance[(p[x / 2] >> (4 - 4 * (x % 2))) & 15];
        case 8:
            return m_paletteLuminance[p[x]];
        case 16: {
            const int w = p[2 * x] | (p[2 * x + 1] << 8);
            return Luminance5((w >> 10) & 31, (w >> 5) & 31, w & 31);
        }
        case 24:
            return Luminance8(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
        case 32:
            return Luminance8(p[4 * x + 2], p[4 * x + 1], p[4 * x]);
        default:
            return 0;
    }
}

BitmapColour LogoBitmap::Colour(int x, int y) const {
    if (!m_loaded || x < 0 || y < 0 || x >= m_image.width || y >= m_image.height)
        return BitmapColour{255, 255, 255};
    const std::uint8_t* p = m_image.pixels.data() +
                            static_cast<std::size_t>(m_image.height - 1 - y) * m_image.rowStride;
    auto rgb = [](int red, int green, int blue) {
        return BitmapColour{static_cast<std::uint8_t>(blue), static_cast<std::uint8_t>(green),
                            static_cast<std::uint8_t>(red)};
    };
    switch (m_image.bitsPerPixel) {
        case 1:
            return m_image.palette[(p[x / 8] >> (7 - x % 8)) & 1];
        case 2:
            return m_image.palette[(p[x / 4] >> (6 - 2 * (x % 4))) & 3];
        case 4:
            return m_image.palette[(p[x / 2] >> (4 - 4 * (x % 2))) & 15];
        case 8:
            return m_image.palette[p[x]];
        case 16: {
            // 5-bit channels widened to 8 bits, so the lightest colour is white.
            const int w = p[2 * x] | (p[2 * x + 1] << 8);
            auto widen = [](int c) { return (c << 3) | (c >> 2); };
            return rgb(widen((w >> 10) & 31), widen((w >> 5) & 31), widen(w & 31));
        }
        case 24:
            return rgb(p[3 * x + 2], p[3 * x + 1], p[3 * x]);
        case 32:
            return rgb(p[4 * x + 2], p[4 * x + 1], p[4 * x]);
        default:
            return BitmapColour{};
    }
}

int LogoBitmap::MonoDot(int x, int y) const {
    if (!m_loaded || m_image.bitsPerPixel != 1 || x < 0 || y < 0 || x >= m_image.width ||
        y >= m_image.height)
        return 0;
    const std::uint8_t byte =
        m_image
            .pixels[static_cast<std::size_t>(m_image.height - 1 - y) * m_image.rowStride + x / 8];
    const int bit = (static_cast<std::uint8_t>(~byte) >> (7 - x % 8)) & 1;
    // A table that starts with a light colour (non-zero blue) has its dots in the 1 bits.
    return m_image.palette[0].blue != 0 ? 1 - bit : bit;
}

}  // namespace kp70
