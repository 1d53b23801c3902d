// Checks ParseSetupCode on arbitrary text against a plain reading: valid exactly for up to
// eight hexadecimal digits, and then the same value.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/setup/WriteBlock.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const kp70::SetupCode code = kp70::ParseSetupCode(text);
    bool hex = text.size() <= 8;
    std::uint64_t value = 0;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) hex = false;
        if (hex) value = value * 16 + std::stoul(std::string(1, c), nullptr, 16);
    }
    if (code.valid != hex) std::abort();
    if (code.valid && code.value != value) std::abort();
    if (!code.valid && code.value != 0) std::abort();
    return 0;
}
