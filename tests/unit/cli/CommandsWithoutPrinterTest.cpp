// kp70ctl verbs that need no printer: a print file as the connection, and command lines
// refused before a port opens.
#include <gtest/gtest.h>

#include "core/app/VirtualClock.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/TestPage.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

namespace kp70 {
namespace {

using test::CliRun;

class CommandsWithoutPrinterTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> args) {
        return test::RunKp70ctl(std::move(args), m_dir.File("kp70tool.INI"),
                                m_dir.File("error.log"), &m_clock, &m_devices);
    }

    test::TempDir m_dir;
    VirtualClock m_clock;
    test::FakeDeviceEnumerator m_devices;
};

TEST_F(CommandsWithoutPrinterTest, SetupFileGetsTheWriteSequenceOrTheTestPage) {
    const std::string path = m_dir.File("setup.prn");
    CliRun run = Run({"setup", "set", "--file", path, "left-margin=300"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string expected;
    const auto enter = setup::EnterUserSetting();
    const auto leave = setup::LeaveUserSetting();
    expected.append(enter.begin(), enter.end());
    expected += std::string("\x1D\x28\x45\x0A\x00\x05\xFA\x2C\x01\xFF\x00\x00\x00\x00\x04", 15);
    expected.append(leave.begin(), leave.end());
    EXPECT_EQ(test::ReadFile(path), expected);

    run = Run({"setup", "test-print", "--file", path});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string page;
    for (const auto& step : BuildTestPage(false)) page.append(step.begin(), step.end());
    EXPECT_EQ(test::ReadFile(path), page);

    run = Run({"setup", "get", "--file", path});
    EXPECT_EQ(run.status, 2);
}

TEST_F(CommandsWithoutPrinterTest, SendToAFileWritesTheFile) {
    const CliRun run = Run({"send", "--file", m_dir.File("out.prn"), "--hex", "1B 40 41"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(test::ReadFile(m_dir.File("out.prn")), "\x1B\x40\x41");
}

TEST_F(CommandsWithoutPrinterTest, SendFailuresAndWrongCommandLinesHaveTheirExitStatus) {
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"send", "--port", "/dev/ttyS0"}, 2, "--hex or --in"},
        {{"send", "--file", "x", "--hex", "1B", "--in", "y"}, 2, "excludes"},
        {{"send", "--file", "x", "--hex", "1G"}, 2, "pairs of hex digits"},
        {{"send", "--file", "x", "--hex", ""}, 2, "no bytes to send"},
        {{"send", "--hex", "1B"}, 2, "say which printer"},
        {{"send", "--net", "127.0.0.1:80", "--hex", "1B"}, 2, "1024 ~ 65534"},
        {{"send", "--file", "x", "--hex", "1B", "--wait", "-1"}, 2, "--wait"},
        {{"send", "--port", "/dev/ttyKP70-missing", "--hex", "1B"},
         1,
         "ERROR : Port open. (/dev/ttyKP70-missing"},
        // No USB printer attached: the search (16 rounds, on the virtual clock) finds none.
        {{"send", "--usb", "--hex", "1B"}, 1, "Turn on your USB printer"},
        {{"send", "--file", "/nonexistent-dir/x.prn", "--hex", "1B"}, 1, "ERROR : Port open."},
        {{"send", "--file", "x", "--in", "/nonexistent-dir/in.bin"}, 1, "cannot read"},
    };
    for (const auto& c : cases) {
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, c.status) << c.says << ": " << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "") << c.says;
    }
}

}  // namespace
}  // namespace kp70
