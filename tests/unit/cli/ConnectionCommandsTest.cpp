// kp70ctl's connection options as a whole run sees them: exit statuses of refused options,
// and the USB printer search before a USB printer is opened.
#include <gtest/gtest.h>

#include "core/app/VirtualClock.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

namespace kp70::test {
namespace {

class ConnectionCommandsTest : public ::testing::Test {
protected:
    CliRun Run(std::vector<std::string> args) {
        return RunKp70ctl(std::move(args), dir.File("kp70tool.INI"), dir.File("error.log"), &clock,
                          &devices);
    }

    TempDir dir;
    VirtualClock clock;
    FakeDeviceEnumerator devices;
};

TEST_F(ConnectionCommandsTest, OptionsTheScreenRefusesAreAWrongCommandLine) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const Case cases[] = {
        {{"--port", "/dev/ttyS0", "--baud", "230400"}, "Baudrate is not selected!"},
        {{"--port", "/dev/ttyS0", "--device", "TALVO10 S", "--baud", "115200"},
         "Baudrate is not selected! (--baud 115200: TALVO10 S offers 38400|19200|9600)"},
        {{"--port", "/dev/ttyS0", "--data", "5", "--stop", "2"},
         "Stop Bit is not selected (--stop 2: --data 5 allows 1)"},
        {{"--port", "/dev/ttyS0", "--device", "Printer X"}, "--device Printer X: Invalid Device!"},
        {{"--net", "127.0.0.1:80"}, "Please enter PORT number between 1024 ~ 65534."},
        {{"--port", "/dev/lp0", "--baud", "9600"}, "a parallel port has no line settings"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"send", "--hex", "1B"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun run = Run(args);
        EXPECT_EQ(run.status, 2) << c.says;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    EXPECT_EQ(devices.usbQueries, 0);
}

TEST_F(ConnectionCommandsTest, UsbSearchesAsTheScreenDoesBeforeOpening) {
    struct Case {
        int printers;
        int absentQueries;
        const char* says;
        int waits;
    };
    const Case cases[] = {
        {0, 0, "Turn on your USB printer\nand Try again.", 16},
        {2, 0, "TalvoTool support only One device.\nThere are too many device connected!", 0},
        // Found in the third round: the search is over and the port is opened (the fake's
        // device node does not exist, so the open itself fails).
        {1, 2, "ERROR : Port open.", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.says);
        devices.usb.assign(c.printers, {"/nonexistent/usb/lp0", "USB\\VID_5A3D&PID_3012"});
        devices.usbQueries = 0;
        devices.absentQueries = c.absentQueries;
        clock.ClearSleeps();
        const CliRun run = Run({"send", "--usb", "--hex", "1B"});
        EXPECT_EQ(run.status, 1) << "the printer is absent: the operation failed";
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        const auto sleeps = clock.Sleeps();
        ASSERT_GE(sleeps.size(), static_cast<std::size_t>(c.waits));
        EXPECT_EQ(std::vector<std::int64_t>(sleeps.begin(), sleeps.begin() + c.waits),
                  std::vector<std::int64_t>(c.waits, 250));
        if (c.printers != 1) {
            EXPECT_EQ(sleeps.size(), static_cast<std::size_t>(c.waits));
        }
    }
}

}  // namespace
}  // namespace kp70::test
