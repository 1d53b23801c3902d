#pragma once

#include <png.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace kp70::test {

// Builds a PNG file in memory with libpng (tests that use it link PNG::PNG). rgba(x, y)
// gives pixel (x, y) (y from the top) as 0xRRGGBBAA. `format` is the colour type stored:
// PNG_FORMAT_RGBA, PNG_FORMAT_RGB (alpha dropped), PNG_FORMAT_GRAY (the red channel) or
// PNG_FORMAT_GA (red and alpha).
inline std::vector<std::uint8_t> BuildPng(int width, int height,
                                          const std::function<std::uint32_t(int, int)>& rgba,
                                          png_uint_32 format = PNG_FORMAT_RGBA) {
    std::vector<std::uint8_t> pixels;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t v = rgba(x, y);
            const auto r = static_cast<std::uint8_t>(v >> 24);
            const auto a = static_cast<std::uint8_t>(v);
            if (format == PNG_FORMAT_GRAY || format == PNG_FORMAT_GA) {
                pixels.push_back(r);
            } else {
                pixels.insert(pixels.end(), {r, static_cast<std::uint8_t>(v >> 16),
                                             static_cast<std::uint8_t>(v >> 8)});
            }
            if (format & PNG_FORMAT_FLAG_ALPHA) pixels.push_back(a);
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    png_alloc_size_t size = 0;
    if (!png_image_write_get_memory_size(image, size, 0, pixels.data(), 0, nullptr)) return {};
    std::vector<std::uint8_t> png(size);
    if (!png_image_write_to_memory(&image, png.data(), &size, 0, pixels.data(), 0, nullptr))
        return {};
    png.resize(size);
    return png;
}

}  // namespace kp70::test
