#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kp70 {

// Writes an 8-bit gray PNG of width x height pixels (row-major, 0 black, 255 white).
// False, with `why`, when the file cannot be written.
bool WriteGrayPng(const std::string& path, int width, int height,
                  const std::vector<std::uint8_t>& pixels, std::string& why);

}  // namespace kp70
