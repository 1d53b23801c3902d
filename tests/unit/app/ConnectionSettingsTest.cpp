#include <gtest/gtest.h>

#include "core/app/ConnectionSettings.h"

using namespace kp70;

TEST(ConnectionSummary, SerialHasSixLines) {
    ConnectionSettings s;
    s.portName = "COM4";
    s.baudRate = 38400;
    s.dataBits = 8;
    s.parity = 0;
    s.flowControl = 1;
    s.stopBits = 0;
    s.modelCode = 6;
    EXPECT_EQ(BuildConnectionSummary(s),
              "KP70 - COM4\r\nBaud : 38400\r\nData : 8 bit\r\nNone Parity\r\nH/W Flow control\r\n"
              "One Stop Bit");
    s.portName = "/dev/ttyUSB0";
    s.parity = 2;
    s.stopBits = 2;
    s.modelCode = 2;
    // Exactly one line break after the flow-control line, whichever it is.
    const std::pair<int, const char*> flows[] = {
        {1, "H/W Flow control"}, {2, "S/W Flow control"}, {3, "None Flow control"}};
    for (const auto& [flow, line] : flows) {
        s.flowControl = flow;
        EXPECT_EQ(BuildConnectionSummary(s),
                  std::string("TALVO10 - /dev/ttyUSB0\r\nBaud : 38400\r\nData : 8 bit\r\n"
                              "Even Parity\r\n") +
                      line + "\r\nTwo Stop Bits");
    }
}

TEST(ConnectionSummary, UsbParallelAndNetwork) {
    ConnectionSettings s;
    s.modelCode = 2;
    s.portName = "USB";
    EXPECT_EQ(BuildConnectionSummary(s), "KP 70\r\nUSB-II Interface");
    s.modelCode = 6;
    s.portName = "ETHERNET_II";
    EXPECT_EQ(BuildConnectionSummary(s), "KP70 - ETHERNET_II");
    s.portName = "/dev/lp0";
    EXPECT_EQ(BuildConnectionSummary(s), "KP70 - /dev/lp0");
}

TEST(PortKind, ToolNamesAndPlatformDeviceNames) {
    EXPECT_EQ(PortKindOf("COM1"), PortKind::Serial);
    EXPECT_EQ(PortKindOf("/dev/ttyS0"), PortKind::Serial);
    EXPECT_EQ(PortKindOf("/dev/ttyUSB3"), PortKind::Serial);
    EXPECT_EQ(PortKindOf("/dev/ttyACM0"), PortKind::Serial);
    EXPECT_EQ(PortKindOf("/dev/pts/4"), PortKind::Serial);
    EXPECT_EQ(PortKindOf("/tmp/kp70sim/ttyKP70"), PortKind::Serial);
    EXPECT_EQ(PortKindOf("LPT1"), PortKind::Parallel);
    EXPECT_EQ(PortKindOf("/dev/lp0"), PortKind::Parallel);
    EXPECT_EQ(PortKindOf("/dev/parport0"), PortKind::Parallel);
    EXPECT_EQ(PortKindOf("/tmp/kp70sim/lpKP70"), PortKind::Parallel);
    EXPECT_EQ(PortKindOf("/tmp/lp/printer"), PortKind::None);  // only the file name counts
    EXPECT_EQ(PortKindOf("/tmp/kp70sim/help"), PortKind::None);
    EXPECT_EQ(PortKindOf("USB"), PortKind::Usb);
    EXPECT_EQ(PortKindOf("ETHERNET_II"), PortKind::Network);
    EXPECT_EQ(PortKindOf("FILE"), PortKind::File);
    EXPECT_EQ(PortKindOf(""), PortKind::None);
    EXPECT_EQ(PortKindOf("WIFI"), PortKind::None);
}
