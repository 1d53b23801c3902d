#include "core/logo/BitImageConversion.h"

#include <gtest/gtest.h>

#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/NvCommands.h"
#include "support/BmpBuilder.h"

namespace kp70 {
namespace {

using test::BmpSpec;

void Load(LogoBitmap& bitmap, const BmpSpec& layout) {
    const auto bytes = test::BuildBmp(layout);
    ASSERT_TRUE(bitmap.LoadFromMemory(bytes.data(), bytes.size())) << bitmap.LastError();
}

// The dot at (x, y) of monochrome column-major output.
int Dot(const LogoBitmap& bitmap, int x, int y) {
    const int bands = bitmap.PaddedHeight() / 8;
    return (bitmap.OutputBuffer()[x * bands + y / 8] >> (7 - y % 8)) & 1;
}

// The gray level of (x, y) of gray row-major output.
int Level(const LogoBitmap& bitmap, int x, int y) {
    const std::uint8_t byte = bitmap.OutputBuffer()[(y * bitmap.PaddedWidth() + x) / 2];
    return x % 2 == 0 ? byte >> 4 : byte & 15;
}

int CountDots(const LogoBitmap& bitmap) {
    int dots = 0;
    for (int i = 0; i < bitmap.OutputLength(); ++i)
        dots += __builtin_popcount(bitmap.OutputBuffer()[i]);
    return dots;
}

TEST(BitImageConversion, TwelveByFiveImageSizesAndHeaders) {
    LogoBitmap bitmap;
    LogoOptions options;
    Load(bitmap, test::Solid24(12, 5, 0));
    ConvertMono(bitmap, options, false);
    EXPECT_EQ(bitmap.OutputLength(), 16);
    EXPECT_EQ(NvImageHeader(bitmap.PaddedWidth(), bitmap.PaddedHeight(), false),
              (std::array<std::uint8_t, 4>{0x02, 0x00, 0x01, 0x00}));
    ConvertGray(bitmap, options);
    EXPECT_EQ(bitmap.OutputLength(), 64);
    EXPECT_EQ(NvImageHeader(bitmap.PaddedWidth(), bitmap.PaddedHeight(), true),
              (std::array<std::uint8_t, 4>{0x02, 0xA0, 0x01, 0x00}));
    EXPECT_EQ(EncodedSize(12, 5, false), 16);
    EXPECT_EQ(EncodedSize(12, 5, true), 64);
    EXPECT_EQ(EncodedSize(100, 100, false), 1352);
    EXPECT_EQ(EncodedSize(100, 100, true), 5408);
    EXPECT_EQ(NvImageHeader(2048, 2056, false),
              (std::array<std::uint8_t, 4>{0x00, 0x01, 0x01, 0x01}));
}

TEST(BitImageConversion, WhitePrintsNothingBlackPrintsEverythingButThePadding) {
    LogoBitmap bitmap;
    LogoOptions options;
    Load(bitmap, test::Solid24(12, 5, 0xFFFFFF));
    ConvertMono(bitmap, options, false);
    EXPECT_EQ(CountDots(bitmap), 0);

    Load(bitmap, test::Solid24(12, 5, 0x000000));
    ConvertMono(bitmap, options, false);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) EXPECT_EQ(Dot(bitmap, x, y), x < 12 && y < 5) << x << "," << y;
    }
    ConvertGray(bitmap, options);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) EXPECT_EQ(Level(bitmap, x, y), x < 12 && y < 5 ? 5 : 0);
    }
}

TEST(BitImageConversion, BrightnessControlByDivergingPoint) {
    struct Case {
        int luminance, point, expected;
    };
    const Case cases[] = {{100, 0, 200},   {100, 128, 100}, {200, 0, 255},  {127, 255, 0},
                          {255, 255, 254}, {0, 0, 0},       {100, 64, 150}, {200, 192, 172}};
    for (const Case& c : cases) {
        EXPECT_EQ(BrightnessAdjust(c.luminance, c.point), c.expected)
            << c.luminance << " at " << c.point;
    }
}

TEST(BitImageConversion, MidGrayDiffusesToACheckerboard) {
    LogoBitmap bitmap;
    LogoOptions options;
    Load(bitmap, test::Solid24(8, 8, 0x808080));  // luminance 127
    ASSERT_EQ(bitmap.Luminance(0, 0), 127);
    ConvertMono(bitmap, options, false);
    EXPECT_EQ(CountDots(bitmap), 32);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Dot(bitmap, x, y), (x + y) % 2) << x << "," << y;
    }
    Load(bitmap, test::Solid24(8, 8, 0xFFFFFF));  // 254
    ConvertMono(bitmap, options, false);
    EXPECT_EQ(CountDots(bitmap), 0);
}

TEST(BitImageConversion, GrayLevelsQuantizeInSixSteps) {
    // A one-dot image has no neighbours to carry the error into the dot itself.
    struct Case {
        int luminance, level;
    };
    const Case cases[] = {{0, 5},   {20, 5},  {21, 4},  {62, 4},  {63, 3},  {104, 3},
                          {105, 2}, {146, 2}, {147, 1}, {188, 1}, {189, 0}, {254, 0}};
    LogoBitmap bitmap;
    LogoOptions options;
    for (const Case& c : cases) {
        BmpSpec layout = test::Solid24(1, 1, 0);
        // A 16-bit red channel gives luminance 2.4 * r, so search a 24-bit gray instead.
        std::uint32_t grey = 0;
        for (std::uint32_t g = 0; g < 256; ++g) {
            if (Luminance8(g, g, g) == c.luminance) {
                grey = g;
                break;
            }
        }
        layout.pixel = [grey](int, int) { return grey * 0x010101u; };
        Load(bitmap, layout);
        ASSERT_EQ(bitmap.Luminance(0, 0), c.luminance);
        ConvertGray(bitmap, options);
        EXPECT_EQ(Level(bitmap, 0, 0), c.level) << c.luminance;
    }
}

TEST(BitImageConversion, CentringAddsBlankColumnsInFront) {
    struct Case {
        int width, area, pad;
    };
    const Case cases[] = {{200, 512, 160}, {512, 512, 0}, {520, 512, 0},
                          {8, 384, 192},   {504, 509, 8}, {100, 512, 208}};
    LogoBitmap bitmap;
    for (const Case& c : cases) {
        LogoOptions options;
        options.maxPrintableArea = c.area;
        Load(bitmap, test::Solid24(c.width, 16, 0));
        const int padded = (c.width + 7) / 8 * 8;
        const auto added = ConvertMono(bitmap, options, true);
        EXPECT_EQ(added, c.pad * 2) << c.width;
        EXPECT_EQ(bitmap.PaddedWidth(), padded + c.pad) << c.width;
        EXPECT_EQ(bitmap.OutputLength(), (padded + c.pad) * 2) << c.width;
        EXPECT_EQ(Dot(bitmap, c.pad > 0 ? c.pad - 1 : 0, 0), c.pad > 0 ? 0 : 1) << c.width;
        EXPECT_EQ(Dot(bitmap, c.pad, 0), 1) << c.width;
    }
    // 200 dots in 512: 160 blank columns, header x = 45.
    LogoOptions options;
    Load(bitmap, test::Solid24(200, 8, 0));
    ConvertMono(bitmap, options, true);
    EXPECT_EQ(NvImageHeader(bitmap.PaddedWidth(), bitmap.PaddedHeight(), false)[0], 45);
    // Without the mark nothing moves.
    Load(bitmap, test::Solid24(200, 8, 0));
    EXPECT_EQ(ConvertMono(bitmap, options, false), 0);
    EXPECT_EQ(bitmap.PaddedWidth(), 200);
}

TEST(BitImageConversion, OneBitImagesIgnoreTheDivergingPoint) {
    BmpSpec layout;
    layout.width = 8;
    layout.height = 8;
    layout.bitsPerPixel = 1;
    layout.palette = {0xFFFFFF, 0x000000};
    layout.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x == y); };
    LogoBitmap bitmap;
    Load(bitmap, layout);
    for (int point : {0, 128, 255}) {
        LogoOptions options;
        options.divergingPoint = point;
        ConvertMono(bitmap, options, false);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) EXPECT_EQ(Dot(bitmap, x, y), x == y ? 1 : 0);
        }
    }
}

TEST(BitImageConversion, NothingLoadedOrTooLargeProducesNothing) {
    LogoBitmap bitmap;
    LogoOptions options;
    ConvertMono(bitmap, options, true);
    EXPECT_EQ(bitmap.OutputLength(), 0);
    ConvertGray(bitmap, options);
    EXPECT_EQ(bitmap.OutputLength(), 0);
    Load(bitmap, test::Solid24(1000, 600, 0));  // 600,000 dots > work buffer
    ConvertMono(bitmap, options, false);
    EXPECT_EQ(bitmap.OutputLength(), 0);
    // The largest image gray-converts within the output buffer.
    Load(bitmap, test::Solid24(512, 1000, 0));
    ConvertGray(bitmap, options);
    EXPECT_EQ(bitmap.OutputLength(), 256000);
    // Centring that would overflow the output buffer is skipped.
    Load(bitmap, test::Solid24(8, 64000, 0));
    EXPECT_EQ(ConvertMono(bitmap, options, true), 0);
    EXPECT_EQ(bitmap.OutputLength(), 64000);
}

}  // namespace
}  // namespace kp70
