// The two firmware screens against the virtual printer running as a process, at the
// end-to-end pace: the F/W Update screen through the real TCP socket, the TALVO10 tool
// through the real serial port (a pseudo-terminal, whose receive thread hands the printer's
// acknowledgements over). kp70ctl's end-to-end tests cover the other links.
#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <atomic>
#include <nlohmann/json.hpp>

#include "FirmwareScreenRig.h"
#include "core/firmware/LastImage.h"
#include "core/transport/OutputFileAsker.h"
#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemLinkFactory.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70::test {
namespace {

constexpr int kWaitMs = 30000;

class CountingNotifier : public Notifier {
public:
    void ShowMessage(int, const std::string&) override { ++count; }
    std::atomic<int> count{0};
};

class FirmwareScreensE2eTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_sim.Start(m_clock.SimArgs())) << m_sim.Log();
        WriteBytes(m_h.dir.File("fw.SHC"), m_image);
        WriteBytes(m_h.dir.File("t10.bin"), m_talvo10);
    }

    PrinterLinkFactory& Links(bool network, int modelCode) {
        m_port.Settings() = {network ? "ETHERNET_II" : m_sim.PtyPath(),
                             38400,
                             8,
                             0,
                             0,
                             1,
                             modelCode,
                             kToolModeFirmware};
        m_port.Settings().networkAddress = "127.0.0.1";
        m_port.Settings().networkPort = static_cast<std::uint16_t>(m_sim.TcpPort());
        return m_links;
    }
    nlohmann::json Flash() const {
        return nlohmann::json::parse(ReadFile(m_sim.StatePath()), nullptr, false)["flash"];
    }
    std::string Texts() const { return m_h.prompter.Texts().join(" | ").toStdString(); }

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
    ScriptedFileChooser m_chooser{ScriptedFileChooser::Kind::OneFile};
    const std::vector<std::uint8_t> m_image = MakeImage();
    const std::vector<std::uint8_t> m_talvo10 = MakeTalvo10Image();
};

TEST_F(FirmwareScreensE2eTest, FirmwareUpdateScreenFlashesTheDownloadAreaOverTcp) {
    m_h.keyboard.controlHeld = true;
    SaveLastImage(m_h.profile, "FWDN20", {m_h.dir.File("fw.SHC"), "fw.SHC"});
    FirmwareUpdateScreen screen(m_services, Links(true, 6), 0, "KP70 - virtual printer", m_chooser);
    screen.show();
    screen.form().areaRadio(3)->click();
    m_h.prompter.answers = {Prompter::Answer::Yes};
    screen.form().downloadButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return m_h.prompter.boxes.size() == 2; }, kWaitMs))
        << Texts();
    EXPECT_EQ(m_h.prompter.Texts().back(), "Update Complete.\nPlease wait beep the buzzer.");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !screen.Busy(); }, kWaitMs));
    EXPECT_EQ(screen.windowTitle(), "KP 70 Tool : Firmware Download - 0 %");
    // The printer may still be reading the last bytes when the screen is done.
    ASSERT_TRUE(QTest::qWaitFor([&] { return Flash()["areas"]["download"].is_object(); }, kWaitMs));
    const nlohmann::json area = Flash()["areas"]["download"];
    EXPECT_EQ(area["crc32"], Crc32(m_image.data() + 0x4D0000, 0x18000 - 10)) << area.dump();
    EXPECT_FALSE(m_port.isOpen());
    screen.reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Closed(); }, kWaitMs));
    EXPECT_EQ(m_port.Settings().flowControl, 1);
}

// The status is asked on a connection of its own and the port is left as it was found.
TEST_F(FirmwareScreensE2eTest, FirmwareUpdateScreenShowsThePrinterStatusInItsDeviceGroup) {
    // Each answer waited for half a second of real time.
    FirmwareUpdateScreen screen(m_services, Links(false, 6), 5000, "KP70 - virtual printer",
                                m_chooser);
    screen.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.statusQueries() == 1; }, kWaitMs));
    auto* line = screen.findChild<QLabel*>("statusText");
    ASSERT_NE(line, nullptr);
    EXPECT_TRUE(line->isVisibleTo(&screen));
    EXPECT_EQ(line->text(), "STATUS: online, no error, paper present");
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_EQ(m_port.Settings().toolMode, kToolModeFirmware);
    EXPECT_TRUE(screen.form().downloadButton()->isEnabled());
    screen.reject();
    ASSERT_TRUE(QTest::qWaitFor([&] { return screen.Closed(); }, kWaitMs));
}

TEST_F(FirmwareScreensE2eTest, DownloadToolFlashesTheBootAreaOverThePty) {
    SaveLastImage(m_h.profile, "FWDN15", {m_h.dir.File("t10.bin"), "t10.bin"});
    DownloadToolScreen tool(m_services, Links(false, 2), "TALVO10 - virtual printer", m_chooser);
    tool.show();
    tool.form().areaRadio(2)->click();
    tool.form().okButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return tool.Closed(); }, kWaitMs)) << Texts();
    EXPECT_EQ(m_h.prompter.Texts(), QStringList{"COMPLETED"});
    const nlohmann::json area = Flash()["talvo10"]["boot"];
    EXPECT_EQ(area["crc32"], Crc32(m_talvo10.data() + 0x1F0000, 0x10000)) << area.dump();
    EXPECT_FALSE(m_port.isOpen());
    EXPECT_EQ(m_notifier.count, 0);
}

}  // namespace
}  // namespace kp70::test
