#include <gtest/gtest.h>

#include "core/app/ErrorLog.h"
#include "core/app/VirtualClock.h"
#include "core/transport/UsbDiscovery.h"
#include "support/FakeDeviceEnumerator.h"
#include "support/TempDir.h"

using namespace kp70;
using kp70::test::FakeDeviceEnumerator;

TEST(UsbDiscovery, CountsMatchingPrintersIncludingUnopenableOnes) {
    kp70::test::TempDir dir;
    VirtualClock clock;
    ErrorLog log(clock);
    ASSERT_TRUE(log.Open(dir.File("error.log")));
    FakeDeviceEnumerator devices;
    EXPECT_EQ(CountUsbPrinters(devices, "USB\\VID_5A3D&PID_3012", &log), -1);
    devices.usb = {{"/dev/usb/lp0", "USB\\VID_5A3D&PID_3012"},
                   {"/dev/usb/lp1", "usb\\vid_5a3d&pid_3012&rev_0100"},
                   {"/dev/usb/lp2", "USB\\VID_04B8&PID_0202"}};
    devices.unopenable = {"/dev/usb/lp1"};
    EXPECT_EQ(CountUsbPrinters(devices, "USB\\VID_5A3D&PID_3012", &log), 2);
    const std::string text = kp70::test::ReadFile(dir.File("error.log"));
    EXPECT_NE(text.find("Create File error\r\n"), std::string::npos);
    EXPECT_NE(text.find("/dev/usb/lp1: permission denied"), std::string::npos);
    EXPECT_EQ(CountUsbPrinters(devices, "USB\\VID_5A3D&PID_0101", nullptr), -1);
}

TEST(UsbDiscovery, UsbSerialPortModelIdFirstThenGeneral) {
    FakeDeviceEnumerator devices;
    EXPECT_EQ(FindUsbSerialPortForModel(devices, 6), "");
    devices.serial = {{"/dev/ttyS0", false, 0, 0}, {"/dev/ttyACM1", true, 0x5A3D, 0x3111}};
    EXPECT_EQ(FindUsbSerialPortForModel(devices, 6), "/dev/ttyACM1");
    devices.serial.push_back({"/dev/ttyACM0", true, 0x5A3D, 0x3011});
    EXPECT_EQ(FindUsbSerialPortForModel(devices, 6), "/dev/ttyACM0");
    EXPECT_EQ(FindUsbSerialPortForModel(devices, 4), "/dev/ttyACM1");
    EXPECT_EQ(FindUsbSerialPort(devices, "USB\\VID_5A3D&PID_3003"), "");
}

TEST(UsbDiscovery, ListPortsSortedAndUnique) {
    FakeDeviceEnumerator devices;
    devices.serial = {
        {"/dev/ttyUSB0", true, 1, 2}, {"/dev/ttyS1", false, 0, 0}, {"/dev/ttyS0", false, 0, 0}};
    devices.parallel = {"/dev/parport0", "/dev/lp0", "/dev/lp0"};
    EXPECT_EQ(ListPorts(devices, PortListKind::Serial),
              (std::vector<std::string>{"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyUSB0"}));
    EXPECT_EQ(ListPorts(devices, PortListKind::Parallel),
              (std::vector<std::string>{"/dev/lp0", "/dev/parport0"}));
}
