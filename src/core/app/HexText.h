#pragma once

// Bytes and numbers in hexadecimal, as the tools show them: upper-case digits.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kp70 {

// "1B".
std::string HexByte(std::uint8_t byte);
// "1B 40 00": the bytes, one blank between two.
std::string HexBytes(const std::uint8_t* data, std::size_t size);
std::string HexBytes(const std::vector<std::uint8_t>& bytes);
// "1F0200", padded with zeros to at least minDigits digits.
std::string HexNumber(std::uint32_t value, int minDigits = 1);
// "0x1F0200": an address or an offset.
std::string HexAddress(std::uint32_t value, int minDigits = 1);

// Pairs of hex digits, each optionally prefixed "0x", separated by nothing, blanks, commas
// or colons: "1B 40", "1b40", "0x1B,0x40". False (bytes unchanged) for anything else.
bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>& bytes);

}  // namespace kp70
