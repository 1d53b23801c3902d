// The logo sheet against the virtual printer running as a process, through the real serial
// port (a pseudo-terminal) and the real TCP socket, at the end-to-end pace: kp70sim decodes
// the NV commands on its own, keeps the images in its state and renders what it prints.
#include <gtest/gtest.h>
#include <png.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>

#include "core/app/MessageCatalogue.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "core/transport/Notifier.h"
#include "core/transport/OutputFileAsker.h"
#include "gui/logo/LogoPrintPage.h"
#include "gui/logo/LogoSelectPage.h"
#include "gui/logo/LogoSheetRig.h"
#include "gui/logo/LogoSheetScreen.h"
#include "gui/logo/LogoUploadPage.h"
#include "gui/logo/UploadProgressWindow.h"
#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemLinkFactory.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70::test {
namespace {

constexpr int kWaitMs = 30000;

class SilentNotifier : public Notifier {
public:
    void ShowMessage(int, const std::string&) override {}
};

// The end-to-end clock, able to hold the job's thread at each 10 ms pause (the tick before
// an image and the pause after each data chunk) until the test lets it go, so the test can
// press Cancel at an exact point of the upload.
class GateClock : public ScaledClock {
public:
    void SleepFor(std::int64_t ms) override {
        {
            std::unique_lock lock(m_mutex);
            if (m_armed && ms == 10) {
                m_held = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return !m_held || !m_armed; });
            }
        }
        ScaledClock::SleepFor(ms);
    }
    void Arm(bool on) {
        std::lock_guard lock(m_mutex);
        m_armed = on;
        m_held = false;
        m_changed.notify_all();
    }
    bool Held() {
        std::lock_guard lock(m_mutex);
        return m_held;
    }
    void Release() {
        std::lock_guard lock(m_mutex);
        m_held = false;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_armed = false;
    bool m_held = false;
};

// A gradient with a frame, so the dithering shows.
std::string Gradient(const TempDir& dir, const std::string& name, int width, int height) {
    BmpSpec layout;
    layout.width = width;
    layout.height = height;
    layout.pixel = [width, height](int x, int y) -> std::uint32_t {
        const bool frame = x == 0 || y == 0 || x == width - 1 || y == height - 1;
        const std::uint32_t v = frame ? 0 : (x * 255 / width + y * 255 / height) / 2;
        return (v << 16) | (v << 8) | v;
    };
    return WriteBmp(dir, name, layout);
}

// The printer's dots of a file with the default options: size and data as the printer
// stores them, and as a gray picture.
struct Converted {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> data;
    std::vector<std::uint8_t> dots;
};

Converted Convert(const std::string& path) {
    Converted c;
    LogoBitmap bitmap;
    if (!bitmap.LoadBitmap(path)) return c;
    ConvertMono(bitmap, LogoOptions{}, false);
    c.width = bitmap.PaddedWidth();
    c.height = bitmap.PaddedHeight();
    c.data.assign(bitmap.OutputBuffer(), bitmap.OutputBuffer() + bitmap.OutputLength());
    c.dots = DotsAsGray(bitmap, false);
    return c;
}

// The bytes of kp70sim's hex text (pairs of digits, blanks between them).
std::vector<std::uint8_t> HexBytes(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    std::string digits;
    for (char ch : text) {
        if (std::isxdigit(static_cast<unsigned char>(ch))) digits += ch;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

struct Page {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

Page ReadPng(const std::string& path) {
    Page page;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return page;
    image.format = PNG_FORMAT_GRAY;
    page.pixels.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, page.pixels.data(), 0, nullptr)) return Page{};
    page.width = static_cast<int>(image.width);
    page.height = static_cast<int>(image.height);
    return page;
}

class LogoSheetE2eTest : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start(m_clock.SimArgs())) << m_sim.Log();
        const bool tcp = std::string(GetParam()) == "tcp";
        m_port.Settings() = {
            tcp ? "ETHERNET_II" : m_sim.PtyPath(), 115200, 8, 0, 0, 3, 6, kToolModeLogo};
        m_port.Settings().networkAddress = "127.0.0.1";
        m_port.Settings().networkPort = static_cast<std::uint16_t>(m_sim.TcpPort());
        m_files = {Gradient(m_h.dir, "a.bmp", 64, 40), Gradient(m_h.dir, "b.bmp", 120, 24),
                   Gradient(m_h.dir, "c.bmp", 48, 16)};
        m_sheet = std::make_unique<LogoSheetScreen>(m_services, m_links, m_data, m_chooser,
                                                    "KP70 - virtual printer");
        m_sheet->show();
        QStringList files;
        for (const std::string& f : m_files) files << QString::fromStdString(f);
        m_chooser.answers.push_back(files);
        m_sheet->ShowPage(LogoSheetScreen::kSelectPage);
        m_sheet->selectPage()->openFileButton()->click();
        ASSERT_EQ(m_sheet->selectPage()->listView()->RowCount(), 3);
    }
    void TearDown() override {
        m_clock.Arm(false);
        m_sheet.reset();
    }

    void StartUpload() {
        ASSERT_TRUE(m_sheet->ShowPage(LogoSheetScreen::kUploadPage));
        m_h.prompter.answers = {Prompter::Answer::Yes};
        m_sheet->uploadPage()->uploadButton()->click();
    }
    void WaitIdle() {
        ASSERT_TRUE(QTest::qWaitFor([&] { return !m_sheet->busy(); }, kWaitMs))
            << m_h.prompter.Texts().join(" | ").toStdString();
    }
    // The NV images kp70sim holds, once it holds `count` of them.
    nlohmann::json StoredImages(std::size_t count) const {
        nlohmann::json images;
        WaitUntil(
            [&] {
                const auto state =
                    nlohmann::json::parse(ReadFile(m_sim.StatePath()), nullptr, false);
                if (state.is_discarded() || !state.contains("nv")) return false;
                images = state["nv"].value("images", nlohmann::json::array());
                return images.size() == count &&
                       HexBytes(images.back().value("data", std::string())).size() ==
                           static_cast<std::size_t>(images.back().value("width", 0) *
                                                    images.back().value("height", 0) / 8);
            },
            std::chrono::milliseconds(kWaitMs));
        return images;
    }
    static void ExpectImage(const nlohmann::json& stored, const Converted& want) {
        EXPECT_EQ(stored.value("width", -1), want.width);
        EXPECT_EQ(stored.value("height", -1), want.height);
        EXPECT_FALSE(stored.value("gray", true));
        EXPECT_EQ(HexBytes(stored.value("data", std::string())), want.data);
    }
    // The receipt page, once it is at least `height` rows high.
    Page Receipt(int height) const {
        Page page;
        WaitUntil(
            [&] {
                std::error_code ec;
                for (const auto& e : std::filesystem::directory_iterator(m_sim.OutDir(), ec)) {
                    if (e.path().filename().string().rfind("receipt-", 0) == 0)
                        page = ReadPng(e.path().string());
                }
                return page.height >= height;
            },
            std::chrono::milliseconds(kWaitMs));
        return page;
    }
    // Rows top.. of the page show the image's dots at the left edge, white beside them.
    static void ExpectDotsAt(const Page& page, int top, const Converted& image) {
        ASSERT_GE(page.height, top + image.height);
        int mismatches = 0;
        for (int y = 0; y < image.height; ++y) {
            for (int x = 0; x < page.width; ++x) {
                const std::uint8_t want =
                    x < image.width ? image.dots[static_cast<std::size_t>(y) * image.width + x]
                                    : 255;
                mismatches +=
                    page.pixels[static_cast<std::size_t>(top + y) * page.width + x] != want;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }

    SimProcess m_sim;
    GuiHarness m_h;
    GateClock m_clock;
    ScreenServices m_services{m_h.prompter, m_h.catalogue, m_clock,
                              m_h.log,      m_h.profile,   m_h.keyboard};
    SilentNotifier m_notifier;
    FakeDeviceEnumerator m_devices;
    FixedOutputFileAsker m_asker;
    CPorts m_port{m_h.log, m_clock, m_notifier, m_devices, m_asker};
    NetworkSocket m_socket{m_clock, m_notifier};
    SystemLinkFactory m_links{m_port, m_socket, m_h.log, m_clock};
    LogoToolData m_data;
    ScriptedFileChooser m_chooser{ScriptedFileChooser::Kind::SeveralFiles};
    std::vector<std::string> m_files;
    std::unique_ptr<LogoSheetScreen> m_sheet;
};

TEST_P(LogoSheetE2eTest, UploadThreeFilesThenPrintASelection) {
    StartUpload();
    WaitIdle();
    ASSERT_EQ(m_h.prompter.Texts(),
              QStringList({m_h.Message(msg::kUploadQuestion), m_h.Message(msg::kUploadComplete)}));
    const nlohmann::json images = StoredImages(3);
    ASSERT_EQ(images.size(), 3u);
    std::vector<Converted> converted;
    for (const std::string& f : m_files) converted.push_back(Convert(f));
    for (std::size_t i = 0; i < 3; ++i) ExpectImage(images[i], converted[i]);
    // The profile holds the list in upload order.
    EXPECT_EQ(m_h.profile.GetString("LOGO", "Logofile3", ""), m_files[2]);

    ASSERT_TRUE(m_sheet->ShowPage(LogoSheetScreen::kPrintPage));
    LogoPrintPage* print = m_sheet->printPage();
    ASSERT_TRUE(print->printButton()->isEnabled());
    print->selectionButton()->click();
    QTest::keyClicks(print->selectionField(), "3,1");
    print->printButton()->click();
    WaitIdle();
    EXPECT_EQ(m_h.prompter.boxes.size(), 2u) << m_h.prompter.Texts().join(" | ").toStdString();
    const Page page = Receipt(converted[2].height + converted[0].height);
    ExpectDotsAt(page, 0, converted[2]);
    ExpectDotsAt(page, converted[2].height, converted[0]);
}

TEST_P(LogoSheetE2eTest, ACancelAfterTheFirstImageLeavesThePaddedDefinition) {
    const Converted first = Convert(m_files[0]);
    const QString firstDone = QStringLiteral("Updating(%1/").arg(first.data.size());
    m_clock.Arm(true);
    StartUpload();
    // At each 10 ms pause of the job: once the window says the first image is all sent,
    // Cancel; the job sees it before the second image.
    bool cancelled = false;
    while (!cancelled) {
        ASSERT_TRUE(QTest::qWaitFor([&] { return m_clock.Held() || !m_sheet->busy(); }, kWaitMs));
        ASSERT_TRUE(m_sheet->busy()) << "the upload ended before the cancel";
        QCoreApplication::processEvents();  // the progress posted before the pause
        UploadProgressWindow* window = m_sheet->uploadWindow();
        if (window && window->textLabel()->text().startsWith(firstDone)) {
            window->cancelButton()->click();
            cancelled = true;
            m_clock.Arm(false);
        }
        m_clock.Release();
    }
    WaitIdle();
    // No completion message, nothing stored; the printer holds the first image and two
    // empty ones (the third empty image ends up as four NUL bytes after the definition).
    EXPECT_EQ(m_h.prompter.Texts(), QStringList({m_h.Message(msg::kUploadQuestion)}));
    EXPECT_EQ(m_h.profile.GetString("LOGO", "Logofile1", ""), "");
    nlohmann::json images;
    ASSERT_TRUE(WaitUntil(
        [&] {
            const auto state = nlohmann::json::parse(ReadFile(m_sim.StatePath()), nullptr, false);
            if (state.is_discarded() || !state.contains("nv")) return false;
            images = state["nv"].value("images", nlohmann::json::array());
            return images.size() == 3;
        },
        std::chrono::milliseconds(kWaitMs)))
        << ReadFile(m_sim.StatePath());
    ExpectImage(images[0], first);
    for (int i : {1, 2}) {
        EXPECT_EQ(images[i].value("width", -1), 0);
        EXPECT_EQ(images[i].value("height", -1), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(TcpAndPty, LogoSheetE2eTest, ::testing::Values("tcp", "pty"),
                         [](const auto& param) { return std::string(param.param); });

}  // namespace
}  // namespace kp70::test
