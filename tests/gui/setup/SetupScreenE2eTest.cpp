// The user setup screen against the virtual printer running as a process, through the
// real serial port (a pseudo-terminal) and the real TCP socket: the screen reads what
// kp70sim keeps, writes changes that kp70sim decodes on its own, and reads them back.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "core/transport/OutputFileAsker.h"
#include "gui/app/GuiHarness.h"
#include "gui/setup/AdvancedUserSetupScreen.h"
#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemLinkFactory.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70::test {
namespace {

using Phase = AdvancedUserSetupScreen::Phase;

constexpr int kWaitMs = 15000;

class CountingNotifier : public Notifier {
public:
    void ShowMessage(int, const std::string&) override { ++count; }
    std::atomic<int> count{0};
};

class SetupScreenE2eTest : public ::testing::TestWithParam<const char*> {
protected:
    // The printer keeps the pace of the screen's clock.
    void SetUp() override { ASSERT_TRUE(m_sim.Start(m_clock.SimArgs())) << m_sim.Log(); }

    bool Network() const { return std::string(GetParam()) == "tcp"; }

    std::unique_ptr<AdvancedUserSetupScreen> Open() {
        m_port.Settings() = {Network() ? "ETHERNET_II" : m_sim.PtyPath(), 115200, 8, 0, 0, 3, 6, 0};
        m_port.Settings().networkAddress = "127.0.0.1";
        m_port.Settings().networkPort = static_cast<std::uint16_t>(m_sim.TcpPort());
        auto screen = std::make_unique<AdvancedUserSetupScreen>(m_services, m_links, m_clock, 0,
                                                                "KP70 - virtual printer");
        screen->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return screen->phase() == Phase::Idle; }, kWaitMs));
        return screen;
    }

    template <typename T>
    static T* Find(AdvancedUserSetupScreen& screen, const char* name) {
        auto* widget = screen.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    // Get Value, then waits until every setting of the port kind has been applied.
    void GetValue(AdvancedUserSetupScreen& screen) {
        const std::vector<int> numbers = {1,   2,   3,   116, 118, 242, 243, 244, 245,
                                          246, 247, 248, 249, 250, 251, 252, 255};
        Find<QPushButton>(screen, "getValue")->click();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                for (int n : numbers)
                    if (!screen.values().received[n]) return false;
                // After a network read the buttons rest a moment.
                return screen.phase() == Phase::Idle &&
                       Find<QPushButton>(screen, "setValue")->isEnabled();
            },
            kWaitMs));
    }

    // Everything the printer received, over every link it had.
    std::string Captured() const {
        std::string all;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(m_sim.OutDir(), ec))
            if (entry.path().filename().string().rfind("capture-", 0) == 0)
                all += ReadFile(entry.path().string());
        return all;
    }

    // The printer's settings memory once it holds the margin; it is written when the
    // printer has taken the whole write, a little after the serial write returned.
    nlohmann::json StoredWithMargin(int margin) const {
        nlohmann::json settings;
        WaitUntil([&] {
            const auto state = nlohmann::json::parse(ReadFile(m_sim.StatePath()), nullptr, false);
            if (state.is_discarded() || !state.contains("user-settings")) return false;
            settings = state["user-settings"];
            return settings.value("leftMargin", -1) == margin;
        });
        return settings;
    }

    SimProcess m_sim;
    GuiHarness m_h;
    ScaledClock m_clock;
    ScreenServices m_services{m_h.prompter, m_h.catalogue, m_clock,
                              m_h.log,      m_h.profile,   m_h.keyboard};
    CountingNotifier m_notifier;
    FakeDeviceEnumerator m_devices;
    FixedOutputFileAsker m_asker;
    CPorts m_port{m_h.log, m_clock, m_notifier, m_devices, m_asker};
    NetworkSocket m_socket{m_clock, m_notifier};
    SystemLinkFactory m_links{m_port, m_socket, m_h.log, m_clock};
};

TEST_P(SetupScreenE2eTest, ReadsWritesAndReadsBackThePrinterSettings) {
    auto screen = Open();
    ASSERT_EQ(screen->phase(), Phase::Idle) << m_h.prompter.Texts().join(" | ").toStdString();

    GetValue(*screen);
    EXPECT_EQ(Find<QLineEdit>(*screen, "leftMargin")->text(), "0");
    EXPECT_TRUE(Find<QRadioButton>(*screen, "paperWidthFirst")->isChecked());  // 80mm
    EXPECT_EQ(Find<QComboBox>(*screen, "nvGraphicList")->currentText(), "384");

    // 58mm (32 columns), a 300-dot margin and code page 16.
    Find<QRadioButton>(*screen, "paperWidthSecond")->click();
    auto* margin = Find<QLineEdit>(*screen, "leftMargin");
    margin->selectAll();
    QTest::keyClicks(margin, "300");
    auto* codePages = Find<QComboBox>(*screen, "codePageList");
    codePages->setCurrentIndex(7);
    emit codePages->activated(7);
    Find<QPushButton>(*screen, "setValue")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->phase() == Phase::Idle; }, kWaitMs));
    EXPECT_FALSE(screen->isFailed()) << m_h.prompter.Texts().join(" | ").toStdString();

    const nlohmann::json stored = StoredWithMargin(300);
    EXPECT_EQ(stored["leftMargin"], 300);
    EXPECT_EQ(stored["paper"], "58mm-32");
    EXPECT_EQ(stored["codePage"], 16);

    // What the printer answers after its reset. The reset closed the TCP connection (the
    // screen connects afresh); the serial side stays deaf until the printer is ready.
    if (!Network()) {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return m_sim.Log().find("pty printer ready") != std::string::npos; }, kWaitMs))
            << m_sim.Log();
    }
    GetValue(*screen);
    EXPECT_EQ(Find<QLineEdit>(*screen, "leftMargin")->text(), "300");
    EXPECT_EQ(Find<QComboBox>(*screen, "columnList")->currentText(), "32 Column");
    EXPECT_EQ(codePages->currentText(), "16| PC1252 (Windows CP)");
    EXPECT_TRUE(m_h.prompter.boxes.empty()) << m_h.prompter.Texts().join(" | ").toStdString();
    EXPECT_EQ(m_notifier.count, 0);

    QSignalSpy finished(screen.get(), &QDialog::finished);
    Find<QPushButton>(*screen, "exit")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->phase() == Phase::Closed; }, kWaitMs));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_FALSE(m_socket.connected());
}

TEST_P(SetupScreenE2eTest, TestPageReachesThePrinter) {
    auto screen = Open();
    ASSERT_EQ(screen->phase(), Phase::Idle);
    Find<QPushButton>(*screen, "test")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->phase() == Phase::Idle; }, kWaitMs));
    EXPECT_TRUE(m_h.prompter.boxes.empty()) << m_h.prompter.Texts().join(" | ").toStdString();
    const std::string title = "USER SETUP UTILITY TEST PRINT!";
    EXPECT_TRUE(WaitUntil([&] { return Captured().find(title) != std::string::npos; }));
    screen->reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->phase() == Phase::Closed; }, kWaitMs));
}

INSTANTIATE_TEST_SUITE_P(Links, SetupScreenE2eTest, ::testing::Values("pty", "tcp"));

}  // namespace
}  // namespace kp70::test
