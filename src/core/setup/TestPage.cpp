#include "core/setup/TestPage.h"

#include <cstring>

namespace kp70 {

namespace {
// Text pieces go out with their terminating zero byte.
std::vector<std::uint8_t> Text(const char* text) {
    return std::vector<std::uint8_t>(text, text + std::strlen(text) + 1);
}
}  // namespace

std::vector<std::vector<std::uint8_t>> BuildTestPage(bool korean) {
    std::vector<std::vector<std::uint8_t>> steps;
    steps.push_back({0x1B, 0x40});
    steps.push_back(Text("USER SETUP UTILITY TEST PRINT!\n"));
    for (int i = 0; i < 5; ++i) {
        steps.push_back({0x1D, 0x28, 0x4E, 0x02, 0x00, 0x30, 0x32});  // character colour 2
        steps.push_back(Text("0123456789"));
        steps.push_back({0x1D, 0x28, 0x4E, 0x02, 0x00, 0x30, 0x31});  // character colour 1
        steps.push_back(Text("0123456789"));
    }
    steps.push_back({0x0A, 0x00});
    std::vector<std::uint8_t> upperHalf;
    for (int b = 0x80; b <= 0xFF; ++b) upperHalf.push_back(static_cast<std::uint8_t>(b));
    steps.push_back(upperHalf);
    steps.push_back({0x0A, 0x00});
    steps.push_back({0x1B, 0x40});
    steps.push_back({0x0A, 0x00});
    if (korean) {
        // "한글출력테스트 漢子 한글 0123456789" in CP949, a line feed and 00.
        steps.push_back({0xC7, 0xD1, 0xB1, 0xDB, 0xC3, 0xE2, 0xB7, 0xC2, 0xC5, 0xD7,
                         0xBD, 0xBA, 0xC6, 0xAE, 0x20, 0xF9, 0xD3, 0xED, 0xAD, 0x20,
                         0xC7, 0xD1, 0xB1, 0xDB, 0x20, 0x30, 0x31, 0x32, 0x33, 0x34,
                         0x35, 0x36, 0x37, 0x38, 0x39, 0x0A, 0x00});
    }
    for (int i = 0; i < 3; ++i) steps.push_back({0x0A, 0x00});
    steps.push_back({0x1B, 0x69});
    return steps;
}

}  // namespace kp70
