// kp70ctl logo upload and print against the virtual printer: kp70sim decodes the NV
// commands on its own and renders the receipt; its dots must equal the dots of
// `kp70ctl logo convert` of the same file.
#include <gtest/gtest.h>
#include <png.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Cli.h"
#include "core/app/Profile.h"
#include "core/firmware/LastImage.h"
#include "support/BmpBuilder.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/FastClock.h"
#include "support/PngBuilder.h"
#include "support/SimProcess.h"

namespace kp70 {
namespace {

using test::SimProcess;

using test::CliRun;

// An 8-bit gray image read from a PNG file.
struct Gray {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

Gray ReadPng(const std::string& path) {
    Gray gray;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return gray;
    image.format = PNG_FORMAT_GRAY;
    gray.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, gray.pixels.data(), 0, nullptr)) return Gray{};
    gray.width = static_cast<int>(image.width);
    gray.height = static_cast<int>(image.height);
    return gray;
}

// A small 24-bit BMP with a diagonal gradient and a frame, so dithering matters.
std::string WriteBmp24(const std::string& path, int width, int height) {
    test::BmpSpec layout;
    layout.width = width;
    layout.height = height;
    layout.pixel = [width, height](int x, int y) -> std::uint32_t {
        const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
        const std::uint32_t v = frame ? 0 : (x * 255 / width + y * 255 / height) / 2;
        return ((255 - v) << 16) | (((v * 3) % 256) << 8) | v;
    };
    const auto bytes = test::BuildBmp(layout);
    test::WriteFile(path, std::string(bytes.begin(), bytes.end()));
    return path;
}

class LogoE2eTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }
    std::vector<std::string> Link(bool tcp) const {
        if (tcp) return {"--net", "127.0.0.1:" + std::to_string(m_sim.TcpPort())};
        return {"--port", m_sim.PtyPath()};
    }
    static std::vector<std::string> Cat(std::vector<std::string> a,
                                        const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }
    // The one receipt page kp70sim has written, once it is at least `height` rows high.
    Gray Receipt(int height) {
        Gray page;
        test::WaitUntil([&] {
            for (const auto& e : std::filesystem::directory_iterator(m_sim.OutDir())) {
                const std::string name = e.path().filename().string();
                if (name.rfind("receipt-", 0) == 0) page = ReadPng(e.path().string());
            }
            return page.height >= height;
        });
        return page;
    }
    // The receipt's rows from `top` show `image` scaled by sx, sy at the left edge, and
    // white to the right of it.
    static void ExpectImageAt(const Gray& page, int top, const Gray& image, int sx = 1,
                              int sy = 1) {
        ASSERT_GE(page.height, top + image.height * sy);
        int mismatches = 0;
        for (int y = 0; y < image.height * sy; ++y) {
            for (int x = 0; x < page.width; ++x) {
                const int ix = x / sx;
                const std::uint8_t want = ix < image.width ? image.At(ix, y / sy) : 255;
                mismatches += page.At(x, top + y) != want;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    test::TempDir m_dir;
    test::FastClock m_clock;
    test::FakeDeviceEnumerator m_devices;
    SimProcess m_sim;
};

class LogoLinkTest : public LogoE2eTest, public ::testing::WithParamInterface<bool> {};

TEST_P(LogoLinkTest, UploadThenPrintShowsTheConvertedDots) {
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    const std::string a = WriteBmp24(m_dir.File("a.bmp"), 61, 30);
    const std::string b = WriteBmp24(m_dir.File("b.bmp"), 100, 17);
    ASSERT_EQ(Run({"logo", "convert", a, "--png", m_dir.File("a.png")}).status, 0);
    ASSERT_EQ(Run({"logo", "convert", b, "--png", m_dir.File("b.png"), "--center", "--area", "300"})
                  .status,
              0);
    const Gray convA = ReadPng(m_dir.File("a.png"));
    const Gray convB = ReadPng(m_dir.File("b.png"));
    ASSERT_EQ(convA.width, 64);
    ASSERT_EQ(convB.width, 104 + 104);  // (300 - 104) / 2 = 98 -> 104 blank columns

    // The files become images 1 and 2 in the order given; the second one is centred.
    CliRun up =
        Run(Cat({"logo", "upload", a, b, "--center", "2", "--area", "300"}, Link(GetParam())));
    ASSERT_EQ(up.status, 0) << up.err;
    EXPECT_NE(up.out.find("Complete the NV bit image definition."), std::string::npos);
    CliRun print = Run(Cat({"logo", "print", "--select", "2,1"}, Link(GetParam())));
    ASSERT_EQ(print.status, 0) << print.err;

    const Gray page = Receipt(convA.height + convB.height);
    ExpectImageAt(page, 0, convB);
    ExpectImageAt(page, convB.height, convA);

    // The stored list now names the files in upload order.
    CliRun list = Run({"logo", "list", "--json"});
    EXPECT_NE(list.out.find("\"count\": 2"), std::string::npos) << list.out;
}

INSTANTIATE_TEST_SUITE_P(TcpAndPty, LogoLinkTest, ::testing::Values(true, false),
                         [](const auto& param) { return param.param ? "Tcp" : "Pty"; });

TEST_F(LogoE2eTest, GrayImagesPrintTheirLevelsInEverySize) {
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    const std::string a = WriteBmp24(m_dir.File("g.bmp"), 40, 16);
    ASSERT_EQ(Run({"logo", "convert", a, "--gray", "--png", m_dir.File("g.png")}).status, 0);
    const Gray conv = ReadPng(m_dir.File("g.png"));
    ASSERT_EQ(Run(Cat({"logo", "upload", a, "--gray", "--star"}, Link(true))).status, 0);
    // The NV images outlive the printer's power: restart it.
    m_sim.Stop();
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    const char* sizes[] = {"normal", "double-width", "double-height", "quadruple"};
    int top = 0;
    for (int m = 0; m < 4; ++m) {
        ASSERT_EQ(
            Run(Cat({"logo", "print", "--select", "1", "--size", sizes[m], "--star"}, Link(false)))
                .status,
            0);
        const int sx = (m & 1) ? 2 : 1;
        const int sy = (m & 2) ? 2 : 1;
        const Gray page = Receipt(top + conv.height * sy);
        ExpectImageAt(page, top, conv, sx, sy);
        top += conv.height * sy;
    }
}

// A printer that closes the connection after 5 bytes (the define command and part of the
// first header). The first send after the close may still land in the socket's buffer, but
// the upload then sends two images of 125 data chunks each, 1 ms apart, and the print one
// command every 30 ms, so the broken connection shows long before either could finish.
TEST_F(LogoE2eTest, ADroppedTcpConnectionFailsUploadAndPrint) {
    ASSERT_TRUE(m_sim.Start({"--fault", "drop-after=5"})) << m_sim.Log();
    const std::string big = WriteBmp24(m_dir.File("big.bmp"), 512, 1000);  // 64000 bytes
    const std::string stored = WriteBmp24(m_dir.File("stored.bmp"), 8, 8);
    test::WriteFile(m_dir.File("kp70tool.INI"), "[LOGO]\r\nLogofile1=" + stored + "\r\n");
    const std::string listBefore = Run({"logo", "list", "--json"}).out;
    ASSERT_NE(listBefore.find("\"count\": 1"), std::string::npos) << listBefore;

    struct Case {
        std::vector<std::string> args;
        const char* success;
    };
    const Case cases[] = {
        {{"logo", "upload", big, big}, "Complete the NV bit image definition."},
        {{"logo", "print", "--select", "1-40"}, "printed"},
    };
    for (const Case& c : cases) {
        const CliRun r = Run(Cat(c.args, Link(true)));
        EXPECT_EQ(r.status, 1) << c.args[1] << "\n" << r.out << r.err;
        EXPECT_NE(r.err.find("Communication error. Can not transimitted."), std::string::npos)
            << c.args[1] << "\n"
            << r.err;
        EXPECT_EQ(r.out.find(c.success), std::string::npos) << c.args[1] << "\n" << r.out;
    }
    EXPECT_EQ(Run({"logo", "list", "--json"}).out, listBefore);
}

TEST_F(LogoE2eTest, UploadToAFileWritesOnlyTheDefinition) {
    const std::string a = WriteBmp24(m_dir.File("a.bmp"), 20, 9);
    const std::string b = WriteBmp24(m_dir.File("b.bmp"), 8, 8);
    ASSERT_EQ(Run({"logo", "convert", a, "--raw", m_dir.File("a.bin")}).status, 0);
    ASSERT_EQ(Run({"logo", "convert", b, "--raw", m_dir.File("b.bin")}).status, 0);
    const std::string out = m_dir.File("upload.prn");
    CliRun up = Run({"logo", "upload", a, b, "--file", out});
    ASSERT_EQ(up.status, 0) << up.err;
    EXPECT_EQ(test::ReadFile(out), std::string("\x1C\x71\x02", 3) +
                                       test::ReadFile(m_dir.File("a.bin")) +
                                       test::ReadFile(m_dir.File("b.bin")));
    // The delete-all bytes are the same with or without Star emulation.
    for (const char* star : {"", "--star"}) {
        std::vector<std::string> args = {"logo", "delete-all", "--file", out};
        if (*star) args.push_back(star);
        ASSERT_EQ(Run(args).status, 0) << star;
        EXPECT_EQ(test::ReadFile(out), std::string("\x1C\x71\x01\x00\x00\x00\x00", 7)) << star;
    }
}

// An output file that is one of the logos, by its name or through a link, would empty the
// logo before it is read: it is refused, and the logo and the stored list stay as they are.
TEST_F(LogoE2eTest, AnOutputFileThatIsOneOfTheLogosIsRefused) {
    const std::string a = WriteBmp24(m_dir.File("a.bmp"), 20, 9);
    const std::string b = WriteBmp24(m_dir.File("b.bmp"), 8, 8);
    const std::string logo = test::ReadFile(a);
    std::filesystem::create_symlink(a, m_dir.File("link.prn"));
    for (const std::string& out : {a, m_dir.File("link.prn")}) {
        const CliRun up = Run({"logo", "upload", b, a, "--file", out});
        EXPECT_EQ(up.status, 1) << out;
        EXPECT_NE(up.err.find(out + " is one of the files being sent (" + a + ")"),
                  std::string::npos)
            << up.err;
        EXPECT_EQ(test::ReadFile(a), logo) << out;
    }
    EXPECT_EQ(nlohmann::json::parse(Run({"logo", "list", "--json"}).out)["count"], 0);
}

// Files named relative to the current folder are stored by their absolute paths, so the
// list (and a backup of it) and the firmware tools' last image name the same files from
// any other folder.
TEST_F(LogoE2eTest, RelativeFileNamesAreStoredByTheirAbsolutePaths) {
    namespace fs = std::filesystem;
    const fs::path start = fs::current_path();
    const fs::path work = m_dir.Path() / "work";
    fs::create_directories(work / "elsewhere");
    WriteBmp24((work / "a.bmp").string(), 20, 9);
    fs::current_path(work);
    const CliRun up = Run({"logo", "upload", "./a.bmp", "--file", "upload.prn"});
    Profile profile(m_dir.File("kp70tool.INI"));
    const bool saved = SaveLastImage(profile, "FWDN20", {"fw/KP70.SHC", "KP70.SHC"});
    fs::current_path(work / "elsewhere");
    const CliRun list = Run({"logo", "list", "--json"});
    const LastImage last = LoadLastImage(profile, "FWDN20");
    fs::current_path(start);
    ASSERT_EQ(up.status, 0) << up.err;
    ASSERT_TRUE(saved);
    ASSERT_EQ(list.status, 0) << list.err;
    const nlohmann::json stored = nlohmann::json::parse(list.out);
    ASSERT_EQ(stored["count"], 1) << list.out << list.err;
    EXPECT_EQ(stored["images"][0]["path"], (work / "a.bmp").string());
    EXPECT_EQ(last.path, (work / "fw/KP70.SHC").string());
}

// A profile too large to be one is said once, before the verb; the list it cannot read is
// no empty list, and an upload does not replace it (and says why).
TEST_F(LogoE2eTest, AProfileThatCannotBeReadIsSaidAndLeftAsItIs) {
    std::string huge = "[LOGO]\r\n";
    while (huge.size() <= Profile::kMaxBytes) huge += "; " + std::string(200, '-') + "\r\n";
    test::WriteFile(m_dir.File("kp70tool.INI"), huge);
    const CliRun list = Run({"logo", "list"});
    EXPECT_EQ(list.status, 1);
    EXPECT_NE(list.err.find("kp70ctl: The settings file kp70tool.INI cannot be used"),
              std::string::npos)
        << list.err;
    EXPECT_NE(list.err.find("a profile may hold"), std::string::npos) << list.err;
    const CliRun up = Run(
        {"logo", "upload", WriteBmp24(m_dir.File("a.bmp"), 8, 8), "--file", m_dir.File("x.prn")});
    EXPECT_NE(up.err.find("the list could not be stored in " + m_dir.File("kp70tool.INI") + ": " +
                          m_dir.File("kp70tool.INI") + " is "),
              std::string::npos)
        << up.err;
    EXPECT_EQ(test::ReadFile(m_dir.File("kp70tool.INI")), huge);
}

// A logo drawn on a transparent background: the PNG with its alpha and the BMP with white
// where the PNG is transparent must become the same NV image in the printer.
TEST_F(LogoE2eTest, APngUploadStoresTheNvImageOfTheBitmapOfTheSamePixels) {
    ASSERT_TRUE(m_sim.Start()) << m_sim.Log();
    const int width = 45;
    const int height = 21;
    auto inside = [](int x, int y) { return (x - 22) * (x - 22) + 4 * (y - 10) * (y - 10) < 400; };
    test::BmpSpec layout;
    layout.width = width;
    layout.height = height;
    layout.pixel = [&](int x, int y) -> std::uint32_t {
        return inside(x, y) ? ((x * 5) << 16) | ((y * 12) << 8) | 0x40 : 0xFFFFFF;
    };
    const auto bmp = test::BuildBmp(layout);
    const auto png = test::BuildPng(width, height, [&](int x, int y) -> std::uint32_t {
        return inside(x, y) ? (layout.pixel(x, y) << 8) | 0xFF : 0x12345600;  // transparent
    });
    test::WriteFile(m_dir.File("logo.bmp"), std::string(bmp.begin(), bmp.end()));
    test::WriteFile(m_dir.File("logo.png"), std::string(png.begin(), png.end()));

    const CliRun up =
        Run(Cat({"logo", "upload", m_dir.File("logo.bmp"), m_dir.File("logo.png")}, Link(true)));
    ASSERT_EQ(up.status, 0) << up.err;
    nlohmann::json images;
    test::WaitUntil([&] {
        const std::string state = test::ReadFile(m_sim.StatePath());
        if (state.empty()) return false;
        images = nlohmann::json::parse(state)["nv"]["images"];
        return images.is_array() && images.size() == 2;
    });
    ASSERT_EQ(images.size(), 2u);
    EXPECT_EQ(images[0]["width"], 48);
    EXPECT_EQ(images[0]["height"], 24);
    EXPECT_NE(images[0]["data"].get<std::string>().find_first_not_of("0 "), std::string::npos);
    EXPECT_EQ(images[1], images[0]);
    // The profile keeps the PNG's path as it keeps a bitmap's.
    EXPECT_NE(test::ReadFile(m_dir.File("kp70tool.INI")).find("logo.png"), std::string::npos);
}

TEST_F(LogoE2eTest, CommandLineMistakesAndRefusedFiles) {
    test::WriteFile(m_dir.File("bad.bmp"), "BMnot really");
    CliRun r = Run({"logo", "upload", m_dir.File("bad.bmp"), "--file", m_dir.File("x.prn")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Bitmap files that was defined with Log file is incorrect."),
              std::string::npos);
    r = Run({"logo", "print", "--select", "1--3", "--file", m_dir.File("x.prn")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("NV image number is incorrect."), std::string::npos);
    r = Run({"logo", "print", "--all", "--select", "1", "--file", m_dir.File("x.prn")});
    EXPECT_EQ(r.status, 2);
    r = Run({"logo", "convert", m_dir.File("bad.bmp"), "--png", m_dir.File("x.png")});
    EXPECT_EQ(r.status, 1);
    // A PNG cut short is refused with the same message, and the reason.
    const auto png = test::BuildPng(16, 16, [](int, int) { return 0x000000FFu; });
    test::WriteFile(m_dir.File("cut.png"), std::string(png.begin(), png.begin() + 60));
    r = Run({"logo", "upload", m_dir.File("cut.png"), "--file", m_dir.File("x.prn")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Bitmap files that was defined with Log file is incorrect. (" +
                         m_dir.File("cut.png") + ": the PNG file is damaged or incomplete"),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace kp70
