#include <gtest/gtest.h>

#include "core/app/HexText.h"

using namespace kp70;

TEST(HexText, ParsesTheWaysBytesAreTypedAndRefusesTheRest) {
    const struct {
        const char* text;
        bool ok;
        std::vector<std::uint8_t> bytes;
    } cases[] = {
        {"1B 40", true, {0x1B, 0x40}},
        {"1b40", true, {0x1B, 0x40}},
        {"0x1B,0x40:ff", true, {0x1B, 0x40, 0xFF}},
        {"", true, {}},
        {"1B 4", false, {}},   // half a byte
        {"1G", false, {}},     // not a digit
        {"0x", false, {}},     // a prefix alone
        {"1B-40", false, {}},  // not a separator
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes;
        EXPECT_EQ(ParseHexBytes(c.text, bytes), c.ok) << c.text;
        EXPECT_EQ(bytes, c.bytes) << c.text;
    }
    EXPECT_EQ(HexBytes({0x1B, 0x40, 0x00}), "1B 40 00");
    EXPECT_EQ(HexNumber(0x1F0200), "1F0200");
    EXPECT_EQ(HexNumber(0, 1), "0");
    EXPECT_EQ(HexAddress(0x1F000, 6), "0x01F000");
}
