// What the device enumeration reads from the system's own texts, and the port object on the
// ports a test can make without hardware (a print file, a port that is not there).
#include <gtest/gtest.h>

#include "Win32TestSupport.h"
#include "core/app/ErrorLog.h"
#include "core/app/VirtualClock.h"
#include "core/transport/OutputFileAsker.h"
#include "platform/CPorts.h"
#include "platform/SetupApiDeviceEnumerator.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

using namespace kp70;

TEST(DeviceNames, UsbIdsOfHardwareIds) {
    struct Case {
        const char* id;
        bool usb;
        unsigned vendor, product;
    };
    const Case cases[] = {
        {"USB\\VID_5A3D&PID_3011&REV_0100", true, 0x5A3D, 0x3011},
        {"usb\\vid_5a3d&pid_3012", true, 0x5A3D, 0x3012},
        {"USB\\VID_0403&PID_6001&REV_0600&MI_00", true, 0x0403, 0x6001},
        {"ACPI\\PNP0501", false, 0, 0},
        {"USB\\VID_5A3D", false, 0, 0},
        {"USB\\VID_5A3G&PID_3011", false, 0, 0},
        {"", false, 0, 0},
    };
    for (const Case& c : cases) {
        unsigned vendor = 0, product = 0;
        EXPECT_EQ(UsbIdsOf(c.id, vendor, product), c.usb) << c.id;
        if (c.usb) {
            EXPECT_EQ(vendor, c.vendor) << c.id;
            EXPECT_EQ(product, c.product) << c.id;
        }
    }
}

TEST(DeviceNames, ParallelPortNamesAfterTheSecondBackslash) {
    EXPECT_EQ(ParallelPortNameOf("\\DosDevices\\LPT1"), "LPT1");
    EXPECT_EQ(ParallelPortNameOf("\\DosDevices\\LPT2"), "LPT2");
    EXPECT_EQ(ParallelPortNameOf("LPT3"), "LPT3");
    EXPECT_EQ(ParallelPortNameOf("\\LPT4"), "\\LPT4");
}

namespace {

class FixedFile : public OutputFileAsker {
public:
    explicit FixedFile(std::string path) : m_path(std::move(path)) {}
    std::optional<std::string> AskOutputFile() override { return m_path; }

private:
    std::string m_path;
};

}  // namespace

TEST(CPortsWin32, APrintFileGetsEveryByteAndAMissingPortSaysWhy) {
    test::TempDir dir;
    VirtualClock clock;
    ErrorLog log(clock);
    ASSERT_TRUE(log.Open(dir.File("error.log"), ErrorLog::Mode::Truncate));
    test::RecordingNotifier notifier;
    test::FakeDeviceEnumerator devices;
    FixedFile file(dir.File("out.prn"));
    CPorts port(log, clock, notifier, devices, file);

    port.Settings().portName = "FILE";
    ASSERT_EQ(port.Open(), 1) << port.LastErrorText();
    std::vector<std::uint8_t> data(10000);
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
    EXPECT_EQ(port.Write(data.data(), 6000), 6000);
    EXPECT_EQ(port.Write(data.data() + 6000, 4000), 4000);
    EXPECT_TRUE(port.SyncOutput());
    EXPECT_EQ(port.Close(), 1);
    EXPECT_EQ(test::ReadFile(dir.File("out.prn")), std::string(data.begin(), data.end()));

    port.Settings().portName = "COM199";
    port.Settings().baudRate = 115200;
    port.Settings().dataBits = 8;
    port.Settings().parity = 0;
    port.Settings().flowControl = 3;
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.LastErrorText(), "COM199: not found");
    port.Settings().portName = "LPT9";
    EXPECT_EQ(port.Open(), 0);
    EXPECT_EQ(port.Close(), 0);
    log.Close();
    const std::string logged = test::ReadFile(dir.File("error.log"));
    EXPECT_NE(logged.find("CPorts::Open() CreateFile error\r\n"), std::string::npos);
}
