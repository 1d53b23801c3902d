#include "core/logo/LogoBitmap.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/logo/BmpDecoder.h"
#include "support/BmpBuilder.h"

namespace kp70 {
namespace {

using test::BmpSpec;
using test::BuildBmp;

LogoBitmap& Load(LogoBitmap& bitmap, const BmpSpec& layout) {
    const auto bytes = BuildBmp(layout);
    EXPECT_TRUE(bitmap.LoadFromMemory(bytes.data(), bytes.size())) << bitmap.LastError();
    return bitmap;
}

TEST(LogoBitmap, LuminanceOfTrueColourPixelsTruncatesSinglePrecisionWeights) {
    struct Case {
        int bits;
        std::uint32_t value;
        int expected;
    };
    const Case cases[] = {
        {24, 0xFFFFFF, 254}, {24, 0x000000, 0},   {24, 0xFF0000, 76}, {24, 0x00FF00, 150},
        {24, 0x0000FF, 28},  {32, 0xFFFFFF, 254}, {32, 0xFF0000, 76}, {16, 0x7FFF, 247},
        {16, 0xFFFF, 247},   {16, 0x7C00, 74},    {16, 0x0000, 0},
    };
    LogoBitmap bitmap;
    for (const Case& c : cases) {
        BmpSpec layout;
        layout.bitsPerPixel = c.bits;
        layout.pixel = [&](int, int) { return c.value; };
        Load(bitmap, layout);
        EXPECT_EQ(bitmap.Luminance(0, 0), c.expected) << c.bits << " bits, value " << c.value;
    }
}

TEST(LogoBitmap, RowsAreBottomUpInTheFileAndPaddingReadsWhite) {
    BmpSpec layout;
    layout.width = 12;
    layout.height = 5;
    layout.pixel = [](int x, int y) { return (x == 0 && y == 0) ? 0x000000u : 0xFFFFFFu; };
    LogoBitmap bitmap;
    Load(bitmap, layout);
    EXPECT_EQ(bitmap.PaddedWidth(), 16);
    EXPECT_EQ(bitmap.PaddedHeight(), 8);
    EXPECT_EQ(bitmap.Luminance(0, 0), 0);  // top-left is black
    EXPECT_EQ(bitmap.Luminance(0, 4), 254);
    EXPECT_EQ(bitmap.Luminance(12, 0), 255);  // padding columns
    EXPECT_EQ(bitmap.Luminance(0, 5), 255);   // padding rows

    // The first stored row of the file is the bottom row of the image.
    auto bytes = BuildBmp(layout);
    const std::size_t firstRow = 54;
    for (int x = 0; x < 12; ++x) {
        bytes[firstRow + 3 * x] = bytes[firstRow + 3 * x + 1] = bytes[firstRow + 3 * x + 2] = 0;
    }
    ASSERT_TRUE(bitmap.LoadFromMemory(bytes.data(), bytes.size()));
    EXPECT_EQ(bitmap.Luminance(5, 4), 0);
    EXPECT_EQ(bitmap.Luminance(5, 3), 254);

    layout.topDown = true;
    Load(bitmap, layout);
    EXPECT_EQ(bitmap.Luminance(0, 0), 0);
    EXPECT_EQ(bitmap.Luminance(0, 4), 254);
}

TEST(LogoBitmap, MonoDotFollowsTheFirstColourTableEntry) {
    BmpSpec layout;
    layout.width = 10;
    layout.height = 3;
    layout.bitsPerPixel = 1;
    layout.pixel = [](int x, int) { return static_cast<std::uint32_t>(x % 2); };  // 0,1,0,1..
    LogoBitmap bitmap;

    layout.palette = {0x000000, 0xFFFFFF};  // black first: stored 0 bits print
    Load(bitmap, layout);
    EXPECT_EQ(bitmap.MonoDot(0, 0), 1);
    EXPECT_EQ(bitmap.MonoDot(1, 0), 0);
    EXPECT_EQ(bitmap.MonoDot(10, 0), 0);  // padding never prints
    EXPECT_EQ(bitmap.MonoDot(0, 3), 0);

    layout.palette = {0xFFFFFF, 0x000000};  // white first: stored 1 bits print
    Load(bitmap, layout);
    EXPECT_EQ(bitmap.MonoDot(0, 0), 0);
    EXPECT_EQ(bitmap.MonoDot(1, 0), 1);
    // 1-bit luminance goes through the colour table.
    EXPECT_EQ(bitmap.Luminance(0, 0), 254);
    EXPECT_EQ(bitmap.Luminance(1, 0), 0);
}

TEST(LogoBitmap, PaletteDepthsReadTheirColourTable) {
    for (int bits : {1, 2, 4, 8}) {
        BmpSpec layout;
        layout.width = 9;
        layout.height = 2;
        layout.bitsPerPixel = bits;
        const int entries = 1 << bits;
        for (int i = 0; i < entries; ++i) layout.palette.push_back(i % 2 ? 0xFF0000u : 0x00FF00u);
        layout.pixel = [entries](int x, int) { return static_cast<std::uint32_t>(x % entries); };
        LogoBitmap bitmap;
        Load(bitmap, layout);
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(bitmap.Luminance(x, 1), (x % entries) % 2 ? 76 : 150)
                << bits << " bits, x " << x;
        }
    }
}

TEST(LogoBitmap, MalformedFilesAreRefusedWithAReason) {
    LogoBitmap bitmap;
    const auto good = BuildBmp(test::Solid24(4, 4, 0));
    struct Case {
        const char* name;
        std::function<void(std::vector<std::uint8_t>&)> damage;
    };
    const Case cases[] = {
        {"truncated pixels", [](auto& b) { b.resize(b.size() - 20); }},
        {"no signature", [](auto& b) { b[0] = 'X'; }},
        {"unknown header size", [](auto& b) { test::PutU32(b, 14, 41); }},
        {"zero width", [](auto& b) { test::PutU32(b, 18, 0); }},
        {"huge height", [](auto& b) { test::PutU32(b, 22, 0x7FFFFF); }},
        {"planes", [](auto& b) { test::PutU16(b, 26, 2); }},
        {"depth 3", [](auto& b) { test::PutU16(b, 28, 3); }},
        {"png inside", [](auto& b) { test::PutU32(b, 30, 5); }},
        {"rle8 with 24 bits", [](auto& b) { test::PutU32(b, 30, 1); }},
        {"offset past the end", [](auto& b) { test::PutU32(b, 10, 100000); }},
        {"only headers", [](auto& b) { b.resize(30); }},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        c.damage(bytes);
        EXPECT_FALSE(bitmap.LoadFromMemory(bytes.data(), bytes.size())) << c.name;
        EXPECT_FALSE(bitmap.IsLoaded()) << c.name;
        EXPECT_FALSE(bitmap.LastError().empty()) << c.name;
        EXPECT_EQ(bitmap.Luminance(0, 0), 255) << c.name;
    }
}

TEST(LogoBitmap, FailedLoadKeepsTheSizesAndClearsOutput) {
    LogoBitmap bitmap;
    Load(bitmap, test::Solid24(20, 10, 0));
    bitmap.SetOutputLength(5);
    const std::uint8_t junk[] = {'B', 'M', 0};
    EXPECT_FALSE(bitmap.LoadFromMemory(junk, sizeof junk));
    EXPECT_EQ(bitmap.Width(), 20);
    EXPECT_EQ(bitmap.PaddedHeight(), 16);
    EXPECT_EQ(bitmap.OutputLength(), 0);
}

// A listed path that is a named pipe or a folder is refused at once: opening a pipe would
// wait for a writer that may never come.
TEST(LogoBitmap, PathsThatAreNoRegularFileAreRefusedWithoutWaiting) {
    test::TempDir dir;
    std::vector<std::string> paths = {dir.Path().string()};
#ifndef _WIN32
    // Windows keeps no named pipes among the files.
    ASSERT_EQ(mkfifo(dir.File("pipe.bmp").c_str(), 0600), 0);
    paths.push_back(dir.File("pipe.bmp"));
#endif
    for (const std::string& path : paths) {
        const BitmapProbe probe = ProbeBitmap(path);
        EXPECT_FALSE(probe.ok) << path;
        EXPECT_EQ(probe.error, "the file is not a regular file") << path;
    }
}

// The shared BMP Suite files: good ones decode, bad ones are refused (two only carry a
// harmless bad field), none crashes.
class BmpSuite : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = KP70_BMPSUITE_DIR;
        if (!std::filesystem::exists(m_dir)) GTEST_SKIP() << "no BMP suite at " << m_dir;
    }
    std::vector<std::uint8_t> Read(const std::string& name) {
        std::string error;
        auto data = ReadBitmapFile(m_dir + "/" + name, error);
        EXPECT_TRUE(data) << name << ": " << error;
        return data ? *data : std::vector<std::uint8_t>{};
    }
    // Luminance of every pixel.
    std::vector<int> Lum(const std::string& name) {
        auto data = Read(name);
        LogoBitmap bitmap;
        EXPECT_TRUE(bitmap.LoadFromMemory(data.data(), data.size()))
            << name << ": " << bitmap.LastError();
        std::vector<int> l;
        for (int y = 0; y < bitmap.Height(); ++y)
            for (int x = 0; x < bitmap.Width(); ++x) l.push_back(bitmap.Luminance(x, y));
        return l;
    }
    std::string m_dir;
};

TEST_F(BmpSuite, GoodFilesDecode) {
    for (const auto& entry : std::filesystem::directory_iterator(m_dir + "/g")) {
        const std::string name = "g/" + entry.path().filename().string();
        auto data = Read(name);
        LogoBitmap bitmap;
        EXPECT_TRUE(bitmap.LoadFromMemory(data.data(), data.size()))
            << name << ": " << bitmap.LastError();
        const BitmapProbe probe = ProbeBitmapMemory(data.data(), data.size());
        EXPECT_TRUE(probe.ok) << name;
        EXPECT_GT(probe.width, 100) << name;
    }
}

TEST_F(BmpSuite, VariantsDecodeToTheSamePixels) {
    const auto pal8 = Lum("g/pal8.bmp");
    for (const char* name : {"g/pal8-0.bmp", "g/pal8os2.bmp", "g/pal8rle.bmp", "g/pal8topdown.bmp",
                             "g/pal8v5.bmp", "q/pal8os2-sz.bmp", "q/pal8os2sp.bmp",
                             "q/pal8os2v2.bmp", "q/pal8os2v2-sz.bmp", "q/pal8oversizepal.bmp"}) {
        EXPECT_EQ(Lum(name), pal8) << name;
    }
    const auto rgb24 = Lum("g/rgb24.bmp");
    for (const char* name :
         {"g/rgb32.bmp", "g/rgb32bfdef.bmp", "q/rgb24largepal.bmp", "q/rgb24lprof.bmp",
          "q/rgb32-xbgr.bmp", "q/rgb32fakealpha.bmp", "q/rgb32h52.bmp"}) {
        EXPECT_EQ(Lum(name), rgb24) << name;
    }
    EXPECT_EQ(Lum("g/rgb16-565pal.bmp"), Lum("g/rgb16-565.bmp"));
    EXPECT_EQ(Lum("q/rgb16faketrns.bmp"), Lum("g/rgb16.bmp"));
    // Two black/white 1-bit files whose only fault is a field nobody needs.
    EXPECT_EQ(Lum("b/baddens1.bmp"), Lum("g/pal1.bmp"));
    EXPECT_EQ(Lum("b/badfilesize.bmp"), Lum("g/pal1.bmp"));
}

TEST_F(BmpSuite, BadFilesAreRefused) {
    for (const auto& entry : std::filesystem::directory_iterator(m_dir + "/b")) {
        const std::string file = entry.path().filename().string();
        if (file == "baddens1.bmp" || file == "badfilesize.bmp") continue;
        auto data = Read("b/" + file);
        LogoBitmap bitmap;
        EXPECT_FALSE(bitmap.LoadFromMemory(data.data(), data.size())) << file;
        EXPECT_FALSE(bitmap.LastError().empty()) << file;
    }
}

TEST_F(BmpSuite, QuestionableFilesDecodeOrAreRefusedCleanly) {
    const std::set<std::string> refused = {"pal1huffmsb.bmp", "rgb24png.bmp", "rgb24rle24.bmp"};
    for (const auto& entry : std::filesystem::directory_iterator(m_dir + "/q")) {
        const std::string file = entry.path().filename().string();
        auto data = Read("q/" + file);
        LogoBitmap bitmap;
        EXPECT_EQ(bitmap.LoadFromMemory(data.data(), data.size()), refused.count(file) == 0)
            << file << ": " << bitmap.LastError();
    }
}

TEST_F(BmpSuite, SixteenBitFieldsScaleToFullWhite) {
    const auto l = Lum("g/rgb16-565.bmp");
    EXPECT_EQ(*std::max_element(l.begin(), l.end()), 254);
    const auto r = Lum("g/rgb16.bmp");
    EXPECT_EQ(*std::max_element(r.begin(), r.end()), 247);
}

}  // namespace
}  // namespace kp70
