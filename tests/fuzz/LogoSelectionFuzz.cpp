// Checks the print selection parser on arbitrary text: every accepted text yields tokens
// that name images 1..255 only, and a count that matches them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/logo/LogoSelection.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!kp70::ValidateSelection(text)) return 0;
    const kp70::LogoSelection selection = kp70::ParseSelection(text);
    int count = 0;
    for (std::size_t i = 0; i < selection.tokens.size(); ++i) {
        const int t = selection.tokens[i];
        if (t > 256) {
            if (t - 256 < 1 || t - 256 > 255) std::abort();
            count += 1;
        } else {
            if (i + 1 >= selection.tokens.size()) std::abort();
            const int last = selection.tokens[++i];
            if (t < 1 || last > 255 || last < t) std::abort();
            count += last - t + 1;
        }
    }
    if (count != selection.imageCount) std::abort();
    return 0;
}
