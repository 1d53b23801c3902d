#include "core/app/HexText.h"

namespace kp70 {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int DigitValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string HexByte(std::uint8_t byte) {
    return {kDigits[byte >> 4], kDigits[byte & 0x0F]};
}

std::string HexBytes(const std::uint8_t* data, std::size_t size) {
    std::string text;
    text.reserve(size * 3);
    for (std::size_t i = 0; i < size; ++i) {
        if (i > 0) text += ' ';
        text += HexByte(data[i]);
    }
    return text;
}

std::string HexBytes(const std::vector<std::uint8_t>& bytes) {
    return HexBytes(bytes.data(), bytes.size());
}

std::string HexNumber(std::uint32_t value, int minDigits) {
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0x0F]);
        value >>= 4;
    } while (value != 0);
    if (static_cast<int>(text.size()) < minDigits)
        text.insert(0, static_cast<std::size_t>(minDigits) - text.size(), '0');
    return text;
}

std::string HexAddress(std::uint32_t value, int minDigits) {
    return "0x" + HexNumber(value, minDigits);
}

bool ParseHexBytes(const std::string& text, std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> parsed;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == '\t' || c == ',' || c == ':') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
        if (i + 1 >= text.size()) return false;
        const int high = DigitValue(text[i]);
        const int low = DigitValue(text[i + 1]);
        if (high < 0 || low < 0) return false;
        parsed.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    bytes.insert(bytes.end(), parsed.begin(), parsed.end());
    return true;
}

}  // namespace kp70
