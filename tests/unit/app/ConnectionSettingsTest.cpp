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

TEST(Attachment, ToolNamesAndPlatformDeviceNames) {
    EXPECT_EQ(AttachmentOfPort("COM1"), Attachment::Serial);
    EXPECT_EQ(AttachmentOfPort("/dev/ttyS0"), Attachment::Serial);
    EXPECT_EQ(AttachmentOfPort("/dev/ttyUSB3"), Attachment::Serial);
    EXPECT_EQ(AttachmentOfPort("/dev/ttyACM0"), Attachment::Serial);
    EXPECT_EQ(AttachmentOfPort("/dev/pts/4"), Attachment::Serial);
    EXPECT_EQ(AttachmentOfPort("/tmp/kp70sim/ttyKP70"), Attachment::Serial);
    EXPECT_EQ(AttachmentOfPort("LPT1"), Attachment::Parallel);
    EXPECT_EQ(AttachmentOfPort("/dev/lp0"), Attachment::Parallel);
    EXPECT_EQ(AttachmentOfPort("/dev/parport0"), Attachment::Parallel);
    EXPECT_EQ(AttachmentOfPort("/tmp/kp70sim/lpKP70"), Attachment::Parallel);
    EXPECT_EQ(AttachmentOfPort("/tmp/lp/printer"), Attachment::None);  // only the file name counts
    EXPECT_EQ(AttachmentOfPort("/tmp/kp70sim/help"), Attachment::None);
    EXPECT_EQ(AttachmentOfPort("USB"), Attachment::UsbPrinter);
    EXPECT_EQ(AttachmentOfPort("ETHERNET_II"), Attachment::Ethernet);
    EXPECT_EQ(AttachmentOfPort("FILE"), Attachment::File);
    EXPECT_EQ(AttachmentOfPort(""), Attachment::None);
    EXPECT_EQ(AttachmentOfPort("WIFI"), Attachment::None);
}
