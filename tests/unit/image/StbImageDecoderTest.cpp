// PNG, JPEG and GIF files through the stb_image decoder: a PNG must give the printer the
// same bytes as the 24-bit bitmap of the same pixels, alpha composes over white, and damaged
// or oversized files are refused with the bitmap reader's words before anything large is
// allocated.
#include "image/StbImageDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <array>

#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/NvCommands.h"
#include "support/BmpBuilder.h"
#include "support/PngBuilder.h"

namespace kp70 {
namespace {

// 16 x 8: the left half black, the right half white (ImageMagick, quality 90).
const std::vector<std::uint8_t> kHalvesJpeg = {
    0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x4A, 0x46, 0x49, 0x46, 0x00, 0x01, 0x01, 0x00, 0x00,
    0x01, 0x00, 0x01, 0x00, 0x00, 0xFF, 0xDB, 0x00, 0x43, 0x00, 0x03, 0x02, 0x02, 0x03, 0x02,
    0x02, 0x03, 0x03, 0x03, 0x03, 0x04, 0x03, 0x03, 0x04, 0x05, 0x08, 0x05, 0x05, 0x04, 0x04,
    0x05, 0x0A, 0x07, 0x07, 0x06, 0x08, 0x0C, 0x0A, 0x0C, 0x0C, 0x0B, 0x0A, 0x0B, 0x0B, 0x0D,
    0x0E, 0x12, 0x10, 0x0D, 0x0E, 0x11, 0x0E, 0x0B, 0x0B, 0x10, 0x16, 0x10, 0x11, 0x13, 0x14,
    0x15, 0x15, 0x15, 0x0C, 0x0F, 0x17, 0x18, 0x16, 0x14, 0x18, 0x12, 0x14, 0x15, 0x14, 0xFF,
    0xC0, 0x00, 0x0B, 0x08, 0x00, 0x08, 0x00, 0x10, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xC4, 0x00,
    0x15, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x09, 0x0A, 0xFF, 0xC4, 0x00, 0x14, 0x10, 0x01, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xDA, 0x00,
    0x08, 0x01, 0x01, 0x00, 0x00, 0x3F, 0x00, 0x2A, 0x95, 0x50, 0xFF, 0xD9,
};
// 4 x 2: the left half red, the right half transparent.
const std::vector<std::uint8_t> kHalvesGif = {
    0x47, 0x49, 0x46, 0x38, 0x39, 0x61, 0x04, 0x00, 0x02, 0x00, 0xF0, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x21, 0xF9, 0x04, 0x01, 0x00, 0x00, 0x01, 0x00, 0x2C, 0x00, 0x00,
    0x00, 0x00, 0x04, 0x00, 0x02, 0x00, 0x00, 0x02, 0x04, 0x04, 0x12, 0x86, 0x05, 0x00, 0x3B,
};

// A gradient with a black frame and colour in every channel, so that the luminance weights,
// the diverging point and the diffusion all matter.
std::uint32_t Pattern(int x, int y, int width, int height) {
    const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
    const std::uint32_t v = frame ? 0 : (x * 255 / width + y * 255 / height) / 2;
    return ((255 - v) << 16) | (((v * 3) % 256) << 8) | v;
}

class StbImageDecoderTest : public ::testing::Test {
protected:
    void SetUp() override { InstallStandardImageDecoders(); }

    // The NV image (header and data) of a file.
    static std::vector<std::uint8_t> PrinterBytes(const std::vector<std::uint8_t>& file,
                                                  const LogoOptions& options, bool centre) {
        LogoBitmap bitmap;
        EXPECT_TRUE(bitmap.LoadFromMemory(file.data(), file.size())) << bitmap.LastError();
        if (options.grayPrinting) {
            ConvertGray(bitmap, options);
        } else {
            ConvertMono(bitmap, options, centre);
        }
        const auto header =
            NvImageHeader(bitmap.PaddedWidth(), bitmap.PaddedHeight(), options.grayPrinting);
        std::vector<std::uint8_t> bytes(header.begin(), header.end());
        bytes.insert(bytes.end(), bitmap.OutputBuffer(),
                     bitmap.OutputBuffer() + bitmap.OutputLength());
        return bytes;
    }
};

TEST_F(StbImageDecoderTest, PngGivesThePrinterTheBytesOfTheBitmapOfTheSamePixels) {
    const int width = 61;
    const int height = 30;
    struct Case {
        const char* name;
        png_uint_32 format;
        bool grayPixels;  // r = g = b, for the gray colour type
        int divergingPoint;
        bool gray;
        bool centre;
    };
    const Case cases[] = {
        {"rgb", PNG_FORMAT_RGB, false, 128, false, false},
        {"rgba opaque, lightened", PNG_FORMAT_RGBA, false, 90, false, false},
        {"rgb, darkened and centred", PNG_FORMAT_RGB, false, 200, false, true},
        {"rgb, gray printing", PNG_FORMAT_RGB, false, 128, true, false},
        {"gray colour type", PNG_FORMAT_GRAY, true, 128, false, false},
        {"gray colour type, gray printing", PNG_FORMAT_GRAY, true, 150, true, false},
    };
    for (const Case& c : cases) {
        auto rgb = [&](int x, int y) {
            const std::uint32_t v = Pattern(x, y, width, height);
            return c.grayPixels ? (v & 0xFF) * 0x010101u : v;
        };
        test::BmpSpec layout;
        layout.width = width;
        layout.height = height;
        layout.pixel = rgb;
        const auto bmp = test::BuildBmp(layout);
        const auto png = test::BuildPng(
            width, height, [&](int x, int y) { return (rgb(x, y) << 8) | 0xFF; }, c.format);
        ASSERT_FALSE(png.empty()) << c.name;
        LogoOptions options;
        options.divergingPoint = c.divergingPoint;
        options.grayPrinting = c.gray;
        options.maxPrintableArea = 300;
        const auto fromBmp = PrinterBytes(bmp, options, c.centre);
        EXPECT_GT(fromBmp.size(), 4u) << c.name;
        EXPECT_EQ(PrinterBytes(png, options, c.centre), fromBmp) << c.name;
    }
}

TEST_F(StbImageDecoderTest, AlphaComposesOverWhite) {
    struct Case {
        std::uint32_t rgba;
        png_uint_32 format;
        std::array<int, 3> expected;  // red, green, blue
    };
    const Case cases[] = {
        {0x00000000, PNG_FORMAT_RGBA, {255, 255, 255}},  // transparent black
        {0x000000FF, PNG_FORMAT_RGBA, {0, 0, 0}},        // opaque black
        {0x00000080, PNG_FORMAT_RGBA, {127, 127, 127}},  // half-transparent black
        {0xC8643233, PNG_FORMAT_RGBA, {244, 224, 214}},  // 20 % of (200, 100, 50)
        {0x12345600, PNG_FORMAT_RGBA, {255, 255, 255}},  // a transparent colour
        {0x40404080, PNG_FORMAT_GA, {159, 159, 159}},    // gray with alpha
    };
    for (const Case& c : cases) {
        const auto png = test::BuildPng(
            3, 2, [&](int, int) { return c.rgba; }, c.format);
        LogoBitmap bitmap;
        ASSERT_TRUE(bitmap.LoadFromMemory(png.data(), png.size())) << bitmap.LastError();
        EXPECT_EQ(bitmap.BitsPerPixel(), 24);
        const BitmapColour got = bitmap.Colour(2, 1);
        EXPECT_EQ((std::array<int, 3>{got.red, got.green, got.blue}), c.expected)
            << std::hex << c.rgba;
    }
}

TEST_F(StbImageDecoderTest, JpegAndGifDecode) {
    LogoBitmap bitmap;
    ASSERT_TRUE(bitmap.LoadFromMemory(kHalvesJpeg.data(), kHalvesJpeg.size()))
        << bitmap.LastError();
    EXPECT_EQ(bitmap.Width(), 16);
    EXPECT_EQ(bitmap.Height(), 8);
    // Lossy: near black on the left, near white on the right.
    EXPECT_LT(bitmap.Luminance(1, 3), 30);
    EXPECT_GT(bitmap.Luminance(14, 3), 225);

    ASSERT_TRUE(bitmap.LoadFromMemory(kHalvesGif.data(), kHalvesGif.size())) << bitmap.LastError();
    EXPECT_EQ(bitmap.Width(), 4);
    EXPECT_EQ(bitmap.Height(), 2);
    const BitmapColour red = bitmap.Colour(0, 1);
    const BitmapColour clear = bitmap.Colour(3, 1);
    EXPECT_EQ((std::array<int, 3>{red.red, red.green, red.blue}), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ((std::array<int, 3>{clear.red, clear.green, clear.blue}),
              (std::array<int, 3>{255, 255, 255}));
}

// A PNG chunk: length, type, data, CRC.
void AppendChunk(std::vector<std::uint8_t>& png, const char* type,
                 const std::vector<std::uint8_t>& data) {
    const auto n = static_cast<std::uint32_t>(data.size());
    png.insert(png.end(), {static_cast<std::uint8_t>(n >> 24), static_cast<std::uint8_t>(n >> 16),
                           static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n)});
    const std::size_t start = png.size();
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
    for (int shift : {24, 16, 8, 0}) png.push_back(static_cast<std::uint8_t>(crc >> shift));
}

// An 8-bit gray PNG of the given size whose image data inflates to `rawBytes` zero bytes.
std::vector<std::uint8_t> GrayPng(std::uint32_t width, std::uint32_t height, std::size_t rawBytes) {
    std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<std::uint8_t> ihdr;
    for (std::uint32_t v : {width, height})
        for (int shift : {24, 16, 8, 0}) ihdr.push_back(static_cast<std::uint8_t>(v >> shift));
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
    AppendChunk(png, "IHDR", ihdr);
    const std::vector<std::uint8_t> raw(rawBytes, 0);
    uLongf packed = compressBound(static_cast<uLong>(raw.size()));
    std::vector<std::uint8_t> idat(packed);
    compress2(idat.data(), &packed, raw.data(), static_cast<uLong>(raw.size()), 9);
    idat.resize(packed);
    AppendChunk(png, "IDAT", idat);
    AppendChunk(png, "IEND", {});
    return png;
}

// The 16 x 8 JPEG with a Huffman table in front whose counts add up to 257 codes.
std::vector<std::uint8_t> JpegWithOverfullTable() {
    std::vector<std::uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x13, 0x00};
    for (int i = 0; i < 14; ++i) jpeg.push_back(0);
    jpeg.insert(jpeg.end(), {2, 255});
    jpeg.insert(jpeg.end(), kHalvesJpeg.begin() + 2, kHalvesJpeg.end());
    return jpeg;
}

TEST_F(StbImageDecoderTest, DamagedAndOversizedFilesAreRefusedWithTheReason) {
    const auto good =
        test::BuildPng(40, 20, [](int x, int y) { return (Pattern(x, y, 40, 20) << 8) | 0xFF; });
    struct Case {
        const char* name;
        std::vector<std::uint8_t> file;
        const char* reason;
    };
    const Case cases[] = {
        {"truncated", std::vector<std::uint8_t>(good.begin(), good.begin() + good.size() / 2),
         "the PNG file is damaged or incomplete"},
        {"signature only", std::vector<std::uint8_t>(good.begin(), good.begin() + 8),
         "the PNG file is damaged or incomplete"},
        {"JPEG start only", {0xFF, 0xD8, 0xFF, 0xE0, 0x00}, "the JPEG file is damaged"},
        {"Huffman table of 257 codes", JpegWithOverfullTable(),
         "a Huffman table claims more than 256 codes"},
        {"GIF header only", {'G', 'I', 'F', '8', '9', 'a'}, "the image size 0 x 0 is not valid"},
        {"GIF of 65535 x 65535",
         {'G', 'I', 'F', '8', '9', 'a', 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, ';'},
         "the image is too large (65535 x 65535 pixels)"},
        {"60000 x 60000", GrayPng(60000, 60000, 100),
         "the image is too large (60000 x 60000 pixels)"},
        // Image data that inflates to far more than 8 x 8 needs (a few hundred bytes of
        // file claiming megabytes).
        {"inflates past its image", GrayPng(8, 8, 8 * 1024 * 1024),
         "the PNG file's image data is longer than its image"},
    };
    for (const Case& c : cases) {
        LogoBitmap bitmap;
        EXPECT_FALSE(bitmap.LoadFromMemory(c.file.data(), c.file.size())) << c.name;
        EXPECT_FALSE(bitmap.IsLoaded()) << c.name;
        EXPECT_NE(bitmap.LastError().find(c.reason), std::string::npos)
            << c.name << ": " << bitmap.LastError();
    }
    // The exact data a valid file of that size holds still decodes.
    const auto exact = GrayPng(8, 8, 8 * 9);
    LogoBitmap bitmap;
    EXPECT_TRUE(bitmap.LoadFromMemory(exact.data(), exact.size())) << bitmap.LastError();
}

}  // namespace
}  // namespace kp70
