// WriteGrayPng for builds without libpng (Windows): stb_image_write compresses the rows,
// and the file is written here, so that a failure says why as the libpng version does.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/PngFile.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace kp70 {

namespace {

void Append(void* context, void* data, int size) {
    static_cast<std::string*>(context)->append(static_cast<const char*>(data),
                                               static_cast<std::size_t>(size));
}

}  // namespace

bool WriteGrayPng(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& pixels, std::string& why) {
    if (width <= 0 || height <= 0 ||
        pixels.size() < static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        why = "no image to write";
        return false;
    }
    std::string png;
    if (!stbi_write_png_to_func(Append, &png, width, height, 1, pixels.data(), width)) {
        why = path + ": the PNG file could not be written";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        why = path + ": " + std::strerror(errno);
        return false;
    }
    const bool written = std::fwrite(png.data(), 1, png.size(), file) == png.size();
    if (std::fclose(file) != 0 || !written) {
        why = path + ": the PNG file could not be written";
        return false;
    }
    return true;
}

}  // namespace kp70
