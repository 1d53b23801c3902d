#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kp70sim {

using Bytes = std::vector<std::uint8_t>;

// Reads hexadecimal byte text: pairs of hex digits, optionally prefixed "0x", separated
// by nothing, spaces, commas or colons ("1B 40", "1b40", "0x1B,0x40"). False when the
// text holds anything else or an odd digit.
bool ParseHex(const std::string& text, Bytes& bytes);

// "1B 40 0A": upper-case pairs separated by single spaces.
std::string ToHex(const std::uint8_t* data, std::size_t size);

}  // namespace kp70sim
