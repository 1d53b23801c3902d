#include "core/logo/LogoSelection.h"

#include <gtest/gtest.h>

#include "core/logo/NvCommands.h"

namespace kp70 {
namespace {

TEST(LogoSelection, AcceptedTextsGiveTokensAndImageCounts) {
    struct Case {
        const char* text;
        std::vector<int> tokens;
        int count;
    };
    const Case cases[] = {
        {"1,3,5-9", {257, 259, 5, 9}, 7},
        {"9-5", {5, 9}, 5},
        {"5-5", {5, 5}, 1},
        {",4,", {260}, 1},
        {"1-2-3", {1, 2}, 2},
        {"255", {511}, 1},
        {"1-255", {1, 255}, 255},
        {"007,010-008", {263, 8, 10}, 4},
        {"4,", {260}, 1},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(ValidateSelection(c.text)) << c.text;
        const LogoSelection s = ParseSelection(c.text);
        EXPECT_EQ(s.tokens, c.tokens) << c.text;
        EXPECT_EQ(s.imageCount, c.count) << c.text;
    }
}

TEST(LogoSelection, RefusedTexts) {
    for (const char* text : {"0", "256", "1,,2", "1--3", "-4", "4-", "3a", " ", "", ",", "1,0",
                             "0-3", "3-256", "99999999999999999999", "1;2", "1, 2", ",,"}) {
        EXPECT_FALSE(ValidateSelection(text)) << '"' << text << '"';
    }
}

TEST(NvCommands, CommandBytesWithAndWithoutStarEmulation) {
    EXPECT_EQ(DefineNvImagesCommand(3, false), (Bytes{0x1C, 0x71, 0x03}));
    EXPECT_EQ(DefineNvImagesCommand(255, true), (Bytes{0x1B, 0x1C, 0x71, 0xFF}));
    EXPECT_EQ(PrintNvImageCommand(7, NvPrintMode::Quadruple, false), (Bytes{0x1C, 0x70, 7, 3}));
    EXPECT_EQ(PrintNvImageCommand(1, NvPrintMode::DoubleHeight, true),
              (Bytes{0x1B, 0x1C, 0x70, 1, 2}));
    EXPECT_EQ(DeleteAllNvImagesCommand(), (Bytes{0x1C, 0x71, 0x01, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(InitializePrinterCommand(), (Bytes{0x1B, 0x40}));
    EXPECT_EQ(PrinterIdentityRequest(), (Bytes{0x1D, 0x49, 0x01}));
}

TEST(NvCommands, UploadOrderIsAscendingImageNumber) {
    EXPECT_EQ(UploadOrder({5, 2, 9}), (std::vector<int>{1, 0, 2}));
    EXPECT_EQ(UploadOrder({1, 2, 3}), (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(UploadOrder({9, 8, 7, 6, 5}), (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_EQ(UploadOrder({4, 10, 1, 7}), (std::vector<int>{2, 0, 3, 1}));
    EXPECT_EQ(UploadOrder({}), (std::vector<int>{}));
}

}  // namespace
}  // namespace kp70
