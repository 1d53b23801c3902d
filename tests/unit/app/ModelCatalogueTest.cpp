#include <gtest/gtest.h>

#include "core/app/ModelCatalogue.h"

using namespace kp70;
using namespace kp70::models;

TEST(ModelCatalogue, ClassifiersDifferWhereTheNamesSayTheyDo) {
    struct Case {
        const char* entry;
        int atSelection;
        int atOk;
    };
    const Case cases[] = {
        {"KP70 S", 6, 6},         {"KP70 anything", 6, 6}, {"TALVO10 S", 2, 2},
        {"TALVO20II U-II", 3, 3}, {"TALVO20 S", 1, 1},     {"NEV330 P", 1, 1},
        {"MX-5100 S", 4, 4},      {"TALVO30 S", 5, 5},     {"TALVO40 S", 6, 6},
        {"T40 S", 4, 1},          {"Nux S", 5, 5},         {"QTR-41 S", 3, 1},
        {"QTR-4171 S", 3, 3},     {"DAV 03II S", 3, 3},    {"LT-2040 P", 3, 3},
        {"Printer X", 0, 1},      {"talvo10 S", 0, 1},     {"", 0, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyAtSelection(c.entry), c.atSelection) << c.entry;
        EXPECT_EQ(ClassifyAtOk(c.entry), c.atOk) << c.entry;
    }
}

TEST(ModelCatalogue, AttachmentByEndingInOrder) {
    EXPECT_EQ(AttachmentOfEntry("KP70 S", 6), Attachment::Serial);
    EXPECT_EQ(AttachmentOfEntry("KP70 P", 6), Attachment::Parallel);
    EXPECT_EQ(AttachmentOfEntry("KP70 U-I", 6), Attachment::UsbSerial);
    EXPECT_EQ(AttachmentOfEntry("KP70 U-II", 6), Attachment::UsbPrinter);
    // "E-II" also ends with "II", but Ethernet is tested first.
    EXPECT_EQ(AttachmentOfEntry("KP70 E-II", 6), Attachment::Ethernet);
    EXPECT_EQ(AttachmentOfEntry("KP70 W", 6), Attachment::Wifi);
    // The oldest model is never a USB printer-class device.
    EXPECT_EQ(AttachmentOfEntry("TALVO10 U-II", 2), Attachment::None);
    EXPECT_EQ(AttachmentOfEntry("KP70 X", 6), Attachment::None);
}

TEST(ModelCatalogue, BuiltInEntriesAreAllModelSix) {
    ASSERT_EQ(BuiltInEntries().size(), 6u);
    for (const auto& e : BuiltInEntries()) {
        EXPECT_EQ(ClassifyAtSelection(e), 6);
        EXPECT_EQ(ClassifyAtOk(e), 6);
        EXPECT_NE(AttachmentOfEntry(e, 6), Attachment::None) << e;
    }
}

TEST(ModelCatalogue, UsbIdsByModelCode) {
    EXPECT_EQ(UsbPrinterSearchId(6), "USB\\VID_5A3D&PID_3012");
    EXPECT_EQ(UsbPrinterSearchId(1), "USB\\VID_5A3D&PID_0101");
    EXPECT_EQ(UsbPrinterSearchId(3), "USB\\VID_5A3D&PID_0102");
    EXPECT_EQ(UsbPrinterSearchId(2), "USB\\VID_5A3D&PID_0102");
    EXPECT_EQ(UsbPrinterOpenIds(6),
              (std::vector<std::string>{"USB\\VID_5A3D&PID_3012", "USB\\VID_5A3D&PID_3004"}));
    EXPECT_EQ(UsbPrinterOpenIds(5).size(), 2u);
    EXPECT_EQ(UsbPrinterOpenIds(4), std::vector<std::string>{"USB\\VID_5A3D&PID_3004"});
    EXPECT_EQ(UsbPrinterOpenIds(1), std::vector<std::string>{"USB\\VID_5A3D&PID_0101"});
    EXPECT_EQ(UsbSerialModelId(4), "USB\\VID_5A3D&PID_3003");
    EXPECT_EQ(UsbSerialModelId(6), "USB\\VID_5A3D&PID_3011");
    EXPECT_EQ(UsbSerialModelId(1), "USB\\VID_5A3D&PID_3001");
    EXPECT_EQ(UsbSerialGeneralId(), "USB\\VID_5A3D&PID_3111");
}

TEST(ModelCatalogue, HardwareIdComparesUpperCasedOverThePrefix) {
    EXPECT_TRUE(HardwareIdMatches("USB\\VID_5A3D&PID_3012&REV_0100", "USB\\VID_5A3D&PID_3012"));
    EXPECT_TRUE(HardwareIdMatches("usb\\vid_5a3d&pid_3012", "USB\\VID_5A3D&PID_3012"));
    EXPECT_FALSE(HardwareIdMatches("USB\\VID_5A3D&PID_301", "USB\\VID_5A3D&PID_3012"));
    EXPECT_FALSE(HardwareIdMatches("USB\\VID_5A3D&PID_3004", "USB\\VID_5A3D&PID_3012"));
}
