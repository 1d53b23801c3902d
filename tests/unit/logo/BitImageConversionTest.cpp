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

TEST(BitImageConversion, BuffersAreSizedFromTheImageUpToWhatThePrinterHolds) {
    LogoBitmap bitmap;
    LogoOptions options;
    ConvertMono(bitmap, options, true);
    EXPECT_EQ(bitmap.OutputLength(), 0);
    ConvertGray(bitmap, options);
    EXPECT_EQ(bitmap.OutputLength(), 0);

    struct Case {
        int width, height;
        bool gray;
        int length;  // 0: nothing produced
    };
    const Case cases[] = {
        {512, 760, true, 194560},   // the tallest full-width gray logo of the bench
        {1000, 600, false, 75000},  // beyond the old fixed work buffer
        {512, 1536, true, 393216},  // exactly the NV graphics memory
        {512, 1544, true, 0},       // one band more than it holds
        {4096, 776, false, 0},      // 397,312 bytes of monochrome data
        {65528, 8, false, 65528},   // the widest image a header can say
        {65536, 8, false, 0},       // one unit wider: xH would collide with the gray flag
    };
    for (const Case& c : cases) {
        Load(bitmap, test::Solid24(c.width, c.height, 0));
        if (c.gray) {
            ConvertGray(bitmap, options);
        } else {
            ConvertMono(bitmap, options, false);
        }
        EXPECT_EQ(bitmap.OutputLength(), c.length) << c.width << "x" << c.height;
        if (c.length > 0) {
            // Black all over: every dot printed at the darkest level.
            EXPECT_EQ(bitmap.OutputBuffer()[c.length - 1], c.gray ? 0x55 : 0xFF);
        }
    }
    // A smaller image after a large one reuses the buffers and produces its own size.
    Load(bitmap, test::Solid24(8, 8, 0));
    ConvertMono(bitmap, options, false);
    EXPECT_EQ(bitmap.OutputLength(), 8);

    // Centring that would take the image beyond the NV graphics memory is skipped.
    Load(bitmap, test::Solid24(8, 64000, 0));
    EXPECT_EQ(ConvertMono(bitmap, options, true), 0);
    EXPECT_EQ(bitmap.OutputLength(), 64000);
}

TEST(BitImageConversion, DotsAsGrayShowsTheConvertedDots) {
    BmpSpec layout;
    layout.width = 10;
    layout.height = 3;
    layout.pixel = [](int x, int) { return x < 5 ? 0u : 0xFFFFFFu; };
    LogoBitmap bitmap;
    Load(bitmap, layout);
    LogoOptions options;
    ConvertMono(bitmap, options, false);
    std::vector<std::uint8_t> dots = DotsAsGray(bitmap, false);
    ASSERT_EQ(dots.size(), 16u * 8u);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            EXPECT_EQ(dots[static_cast<std::size_t>(y * 16 + x)], x < 5 && y < 3 ? 0 : 255)
                << x << "," << y;
        }
    }
    // Gray: black is level 5, 0; padding white. Asking for the other kind gives nothing.
    ConvertGray(bitmap, options);
    dots = DotsAsGray(bitmap, true);
    ASSERT_EQ(dots.size(), 16u * 8u);
    EXPECT_EQ(dots[0], 0);
    EXPECT_EQ(dots[15], 255);
    ConvertMono(bitmap, options, false);
    EXPECT_TRUE(DotsAsGray(bitmap, true).empty());
}

}  // namespace
}  // namespace kp70
