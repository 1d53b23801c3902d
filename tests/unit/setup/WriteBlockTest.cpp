#include <gtest/gtest.h>

#include <functional>

#include "core/setup/SetupValues.h"
#include "core/setup/WriteBlock.h"

namespace kp70 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The items of a block without the header (6 bytes) and the margin and code items that
// every block ends with (9 bytes).
Bytes MiddleItems(const Bytes& block) {
    if (block.size() < 15) return {};
    return Bytes(block.begin() + 6, block.end() - 9);
}

TEST(WriteBlock, NothingSetWritesNothing) {
    SetupValues values;
    const WriteBlock block = BuildWriteBlock(values);
    EXPECT_EQ(block.status, WriteBlockStatus::NothingToWrite);
    EXPECT_TRUE(block.bytes.empty());
    EXPECT_EQ(block.message, -1);
    EXPECT_FALSE(block.stopBitWarning);
}

TEST(WriteBlock, MarginAndCodeOnly) {
    SetupValues values;
    values.leftMargin = 300;
    const WriteBlock block = BuildWriteBlock(values);
    ASSERT_EQ(block.status, WriteBlockStatus::Ready);
    EXPECT_EQ(block.bytes, (Bytes{0x1D, 0x28, 0x45, 0x0A, 0x00, 0x05, 0xFA, 0x2C, 0x01, 0xFF, 0x00,
                                  0x00, 0x00, 0x00, 0x04}));
    EXPECT_FALSE(block.usbModeIncluded);
    EXPECT_EQ(block.settings, (std::vector<int>{0xFA, 0xFF}));
}

TEST(WriteBlock, CodeOtherThanZeroTextIsWritten) {
    SetupValues values;
    values.setupCode = "00";
    EXPECT_EQ(BuildWriteBlock(values).status, WriteBlockStatus::Ready);
}

TEST(WriteBlock, DefaultsGiveTheFullBlockInItemOrder) {
    SetupValues values;
    LoadDefaults(values, false);
    const WriteBlock block = BuildWriteBlock(values);
    ASSERT_EQ(block.status, WriteBlockStatus::Ready);
    const Bytes expected = {0x1D, 0x28, 0x45, 0x52, 0x00, 0x05,  // 82 bytes follow pH
                            0xD5, 0x00, 0x00, 0xD4, 0x00, 0x00, 0xCC, 0x02, 0x00, 0xCE, 0x01, 0x00,
                            0xCD, 0x02, 0x00, 0xCF, 0x02, 0x00, 0xD0, 0x02, 0x00, 0xD2, 0x01, 0x00,
                            0x03, 0x06, 0x00, 0x74, 0x01, 0x00, 0x76, 0x55, 0x00, 0xF2, 0x00, 0x00,
                            0xF3, 0x00, 0x00, 0xF4, 0x00, 0x00, 0xF5, 0x01, 0x03, 0xF6, 0x00, 0x00,
                            0x01, 0x01, 0x00, 0x02, 0x07, 0x00, 0xF7, 0x00, 0x01, 0xF9, 0xDC, 0x00,
                            0xF8, 0x01, 0x01, 0xFB, 0x01, 0x01, 0xFD, 0x00, 0x01, 0xFC, 0x30, 0x34,
                            0xFA, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x04};
    EXPECT_EQ(block.bytes, expected);
    EXPECT_EQ(block.bytes.size(), 87u);  // the largest block there is
    EXPECT_EQ(block.settings,
              (std::vector<int>{0xD5, 0xD4, 0xCC, 0xCE, 0xCD, 0xCF, 0xD0, 0xD2, 0x03,
                                0x74, 0x76, 0xF2, 0xF3, 0xF4, 0xF5, 0xF6, 0x01, 0x02,
                                0xF7, 0xF9, 0xF8, 0xFB, 0xFD, 0xFC, 0xFA, 0xFF}));
    EXPECT_TRUE(block.usbModeIncluded);
    EXPECT_TRUE(block.stopBitWarning);  // defaults mark the stop bit touched
    EXPECT_FALSE(values.stopBitTouched);
}

TEST(WriteBlock, KoreanDefaultsDifferInDrawerAndReceiveBuffer) {
    SetupValues values;
    LoadDefaults(values, true);
    const Bytes items = MiddleItems(BuildWriteBlock(values).bytes);
    const Bytes tail(items.end() - 9, items.end());  // FB, FD, FC items
    EXPECT_EQ(tail, (Bytes{0xFB, 0x00, 0x01, 0xFD, 0x00, 0x01, 0xFC, 0x32, 0x30}));
}

struct ItemCase {
    const char* name;
    std::function<void(SetupValues&)> set;
    Bytes items;
};

TEST(WriteBlock, EachSettingWritesItsItem) {
    const ItemCase cases[] = {
        {"paper save LV2", [](SetupValues& v) { v.paperSaveMode = 2; }, {0xD5, 0x02, 0x00}},
        {"sleep 15 min", [](SetupValues& v) { v.sleepMode = 3; }, {0xD4, 0x03, 0x00}},
        {"emulation STAR", [](SetupValues& v) { v.emulation = 1; }, {0xCC, 0x01, 0x00}},
        {"auto cut OFF", [](SetupValues& v) { v.autoCut = 1; }, {0xCE, 0x02, 0x00}},
        {"kitchen bell ON", [](SetupValues& v) { v.kitchenBell = 1; }, {0xCD, 0x01, 0x00}},
        {"hexa dump", [](SetupValues& v) { v.selfTest = 1; }, {0xCF, 0x01, 0x00}},
        {"density LEVEL 4", [](SetupValues& v) { v.density = 3; }, {0xD0, 0x04, 0x00}},
        {"usb mode COM", [](SetupValues& v) { v.usbMode = 1; }, {0xD2, 0x02, 0x00}},
        {"58mm 30 column",
         [](SetupValues& v) {
             v.paperWidth = 1;
             v.columnChoice = 0;
         },
         {0x03, 0x02, 0x00}},
        {"58mm 32 column",
         [](SetupValues& v) {
             v.paperWidth = 1;
             v.columnChoice = 1;
         },
         {0x03, 0x03, 0x00}},
        {"2Color dark",
         [](SetupValues& v) {
             v.paperType = 1;
             v.twoColorDensity = 2;
         },
         {0x74, 0x01, 0x01, 0x76, 0x64, 0x00}},
        {"Black light",
         [](SetupValues& v) {
             v.paperType = 0;
             v.twoColorDensity = 0;
         },
         {0x74, 0x01, 0x00, 0x76, 0x46, 0x00}},
        {"water mark image 7",
         [](SetupValues& v) {
             v.waterMark = 1;
             v.imageNumber = 7;
         },
         {0xF2, 0x00, 0x07}},
        {"water mark disabled keeps no image",
         [](SetupValues& v) {
             v.waterMark = 0;
             v.imageNumber = 9;
         },
         {0xF2, 0x00, 0x00}},
        {"cutting adjust 12 lines",
         [](SetupValues& v) {
             v.cuttingAdjust = 1;
             v.lines = 12;
         },
         {0xF3, 0x01, 0x0C}},
        {"cutting adjust off",
         [](SetupValues& v) {
             v.cuttingAdjust = 0;
             v.lines = 12;
         },
         {0xF3, 0x00, 0x00}},
        {"drawer with cutting",
         [](SetupValues& v) { v.drawerWithCutting = 1; },
         {0xF4, 0x00, 0x01}},
        {"melody 3 length 5",
         [](SetupValues& v) {
             v.bellType = 3;
             v.bellLength = 4;
         },
         {0xF5, 0x04, 0x05}},
        {"other bell",
         [](SetupValues& v) {
             v.bellType = 4;
             v.bellLength = 0;
         },
         {0xF5, 0x00, 0x01}},
        {"code page 254", [](SetupValues& v) { v.codePage = 29; }, {0xF6, 0xFE, 0x00}},
        {"code page 16", [](SetupValues& v) { v.codePage = 7; }, {0xF6, 0x10, 0x00}},
        {"nv user 320", [](SetupValues& v) { v.nvUser = 4; }, {0x01, 0x05, 0x00}},
        {"nv graphic 0", [](SetupValues& v) { v.nvGraphic = 0; }, {0x02, 0x01, 0x00}},
        {"full cut", [](SetupValues& v) { v.cuttingMode = 1; }, {0xF7, 0x01, 0x01}},
        {"speed 150", [](SetupValues& v) { v.printSpeed = 3; }, {0xF9, 0x96, 0x00}},
        {"bold font ON", [](SetupValues& v) { v.boldKoreanFont = 1; }, {0xF8, 0x00, 0x01}},
        {"self-test drawer Enable",
         [](SetupValues& v) { v.drawerInSelfTest = 0; },
         {0xFB, 0x00, 0x01}},
        {"stop bit TWO", [](SetupValues& v) { v.stopBit = 1; }, {0xFD, 0x01, 0x01}},
        {"receive buffer 64", [](SetupValues& v) { v.receiveBuffer = 0; }, {0xFC, 0x36, 0x34}},
        {"receive buffer without code", [](SetupValues& v) { v.receiveBuffer = 4; }, {}},
    };
    for (const ItemCase& c : cases) {
        SetupValues values;
        c.set(values);
        const WriteBlock block = BuildWriteBlock(values);
        ASSERT_EQ(block.status, WriteBlockStatus::Ready) << c.name;
        EXPECT_EQ(MiddleItems(block.bytes), c.items) << c.name;
        EXPECT_EQ(block.bytes[3] + 256 * block.bytes[4], static_cast<int>(block.bytes.size()) - 5)
            << c.name;
    }
}

TEST(WriteBlock, MissingCompanionValuesAreCompletedAndKept) {
    SetupValues values;
    values.paperType = 0;
    values.bellType = 1;
    const WriteBlock block = BuildWriteBlock(values);
    EXPECT_EQ(MiddleItems(block.bytes),
              (Bytes{0x74, 0x01, 0x00, 0x76, 0x55, 0x00, 0xF5, 0x02, 0x03}));
    EXPECT_EQ(values.twoColorDensity, 1);  // MEDIUM
    EXPECT_EQ(values.bellLength, 2);       // length 3
}

TEST(WriteBlock, MarginOutsideItsRangeIsRefusedWithMessage61) {
    for (int margin : {513, 1000, -1, -300}) {
        SetupValues values;
        values.leftMargin = margin;
        values.stopBit = 0;
        values.stopBitTouched = true;
        const WriteBlock block = BuildWriteBlock(values);
        EXPECT_EQ(block.status, WriteBlockStatus::MarginRefused) << margin;
        EXPECT_EQ(block.message, 61);
        EXPECT_TRUE(block.bytes.empty());
        EXPECT_TRUE(values.stopBitTouched) << "a refused write keeps the warning pending";
    }
    SetupValues edge;
    edge.leftMargin = 512;
    EXPECT_EQ(BuildWriteBlock(edge).status, WriteBlockStatus::Ready);
}

TEST(WriteBlock, OddImageNumberOrLinesAreRefusedNotWrapped) {
    struct Case {
        int waterMark, image, adjust, lines;
        RangeField field;
        int value;
    } cases[] = {
        {1, 0, -1, 0, RangeField::ImageNumber, 0},    {1, 256, -1, 0, RangeField::ImageNumber, 256},
        {1, 300, 0, 0, RangeField::ImageNumber, 300}, {-1, 1, 1, 256, RangeField::Lines, 256},
        {-1, 1, 1, -5, RangeField::Lines, -5},
    };
    for (const Case& c : cases) {
        SetupValues values;
        values.waterMark = c.waterMark;
        values.imageNumber = c.image;
        values.cuttingAdjust = c.adjust;
        values.lines = c.lines;
        const WriteBlock block = BuildWriteBlock(values);
        EXPECT_EQ(block.status, WriteBlockStatus::RangeRefused);
        EXPECT_EQ(block.rangeField, c.field);
        EXPECT_EQ(block.rangeValue, c.value);
        EXPECT_TRUE(block.bytes.empty());
    }
    // Not written, so not refused.
    SetupValues values;
    values.waterMark = 0;
    values.imageNumber = 0;
    values.cuttingAdjust = 0;
    values.lines = 999;
    EXPECT_EQ(BuildWriteBlock(values).status, WriteBlockStatus::Ready);
}

TEST(WriteBlock, StopBitWarningOnlyOnceAfterATouch) {
    SetupValues values;
    values.stopBit = 1;
    EXPECT_FALSE(BuildWriteBlock(values).stopBitWarning);
    values.stopBitTouched = true;
    EXPECT_TRUE(BuildWriteBlock(values).stopBitWarning);
    EXPECT_FALSE(BuildWriteBlock(values).stopBitWarning);
    // Touched but no stop bit chosen: nothing to warn about.
    SetupValues unset;
    unset.stopBitTouched = true;
    unset.leftMargin = 1;
    EXPECT_FALSE(BuildWriteBlock(unset).stopBitWarning);
}

TEST(WriteBlock, SetupCodeIsWrittenLittleEndianOrReplacedWhenInvalid) {
    struct Case {
        const char* text;
        Bytes item;
        const char* textAfter;
    } cases[] = {
        {"ff", {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x04}, "ff"},
        {"12345678", {0xFF, 0x78, 0x56, 0x34, 0x12, 0x04}, "12345678"},
        {"FFFFFFFF", {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x04}, "FFFFFFFF"},
        {"12345678G", {0xFF, 0x00, 0x00, 0x00, 0x00, 0x04}, "0"},
        {"XYZ", {0xFF, 0x00, 0x00, 0x00, 0x00, 0x04}, "0"},
        {"", {0xFF, 0x00, 0x00, 0x00, 0x00, 0x04}, ""},
    };
    for (const Case& c : cases) {
        SetupValues values;
        values.setupCode = c.text;
        const WriteBlock block = BuildWriteBlock(values);
        ASSERT_EQ(block.status, WriteBlockStatus::Ready) << c.text;
        EXPECT_EQ(Bytes(block.bytes.end() - 6, block.bytes.end()), c.item) << c.text;
        EXPECT_EQ(values.setupCode, c.textAfter);
    }
}

TEST(ParseSetupCode, AcceptsUpToEightHexDigitsInAnyCase) {
    EXPECT_EQ(ParseSetupCode("1a2B").value, 0x1A2Bu);
    EXPECT_TRUE(ParseSetupCode("").valid);
    EXPECT_EQ(ParseSetupCode("").value, 0u);
    EXPECT_FALSE(ParseSetupCode("123456789").valid);
    EXPECT_FALSE(ParseSetupCode("12 4").valid);
    EXPECT_FALSE(ParseSetupCode("-1").valid);
    EXPECT_EQ(ParseSetupCode("-1").value, 0u);
}

}  // namespace
}  // namespace kp70
