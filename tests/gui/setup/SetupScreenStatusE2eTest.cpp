// The user setup screen's status line against kp70sim running as a process: it shows what
// the printer says beside MODEL, follows a change after an operation, and shows nothing
// when the printer does not answer.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <fstream>

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
// Tool time on a clock ten times fast: half a second of real time.
constexpr int kStatusBoundMs = 5000;

class NullNotifier : public Notifier {
public:
    void ShowMessage(int, const std::string&) override {}
};

class SetupScreenStatusTest : public ::testing::TestWithParam<const char*> {
protected:
    bool Network() const { return std::string(GetParam()) == "tcp"; }

    void Start(std::vector<std::string> args) {
        const auto pace = m_clock.SimArgs();
        args.insert(args.end(), pace.begin(), pace.end());
        args.insert(args.end(), {"--control", m_control});
        ASSERT_TRUE(m_sim.Start(args)) << m_sim.Log();
    }

    std::unique_ptr<AdvancedUserSetupScreen> Open() {
        m_port.Settings() = {Network() ? "ETHERNET_II" : m_sim.PtyPath(), 115200, 8, 0, 0, 3, 6, 0};
        m_port.Settings().networkAddress = "127.0.0.1";
        m_port.Settings().networkPort = static_cast<std::uint16_t>(m_sim.TcpPort());
        auto screen = std::make_unique<AdvancedUserSetupScreen>(
            m_services, m_links, m_clock, kStatusBoundMs, "KP70 - virtual printer");
        screen->show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return screen->statusQueries() >= 1; }, kWaitMs));
        return screen;
    }

    void Close(AdvancedUserSetupScreen& screen) {
        screen.reject();
        ASSERT_TRUE(QTest::qWaitFor([&] { return screen.phase() == Phase::Closed; }, kWaitMs));
    }

    TempDir m_dir;
    std::string m_control = m_dir.File("status.txt");
    SimProcess m_sim;
    GuiHarness m_h;
    ScaledClock m_clock;
    ScreenServices m_services{m_h.prompter, m_h.catalogue, m_clock,
                              m_h.log,      m_h.profile,   m_h.keyboard};
    NullNotifier m_notifier;
    FakeDeviceEnumerator m_devices;
    FixedOutputFileAsker m_asker;
    CPorts m_port{m_h.log, m_clock, m_notifier, m_devices, m_asker};
    NetworkSocket m_socket{m_clock, m_notifier};
    SystemLinkFactory m_links{m_port, m_socket, m_h.log, m_clock};
};

TEST_P(SetupScreenStatusTest, ShowsWhatThePrinterSaysAndFollowsAChange) {
    Start({"--status", "paper-near-end"});
    auto screen = Open();
    auto* line = screen->findChild<QLabel*>("statusText");
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisibleTo(screen.get()));
    EXPECT_EQ(line->text(), "STATUS: online: paper near end");

    // The cover is opened; the line follows after the next operation.
    std::ofstream(m_control + ".new") << "cover-open\n";
    std::filesystem::rename(m_control + ".new", m_control);
    ASSERT_TRUE(
        WaitUntil([&] { return m_sim.Log().find("status cover-open") != std::string::npos; }));
    screen->findChild<QPushButton*>("getValue")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen->statusQueries() >= 2; }, kWaitMs));
    EXPECT_EQ(line->text(), "STATUS: offline: cover open");
    // The read went as always: every setting answered.
    for (int n : {1, 2, 3, 116, 118, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251, 252, 255})
        EXPECT_TRUE(screen->values().received[n]) << n;
    EXPECT_TRUE(m_h.prompter.boxes.empty()) << m_h.prompter.Texts().join(" | ").toStdString();
    Close(*screen);
}

TEST_P(SetupScreenStatusTest, ShowsNothingWhenThePrinterDoesNotAnswer) {
    Start({"--fault", "silent", "--status", "paper-end"});
    auto screen = Open();
    auto* line = screen->findChild<QLabel*>("statusText");
    ASSERT_NE(line, nullptr);
    EXPECT_FALSE(line->isVisibleTo(screen.get()));
    EXPECT_EQ(line->text(), "");
    EXPECT_EQ(screen->phase(), Phase::Idle);
    EXPECT_TRUE(m_h.prompter.boxes.empty()) << m_h.prompter.Texts().join(" | ").toStdString();
    Close(*screen);
}

INSTANTIATE_TEST_SUITE_P(Links, SetupScreenStatusTest, ::testing::Values("pty", "tcp"));

}  // namespace
}  // namespace kp70::test
