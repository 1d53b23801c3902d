#include "core/logo/LogoOptions.h"

#include <gtest/gtest.h>

#include "core/logo/LogoPreview.h"

namespace kp70 {
namespace {

using Field = SetupEntriesCheck::Field;

TEST(LogoOptions, SetupEntriesAreCheckedBeforeAnyOptionChanges) {
    struct Case {
        const char* area;
        const char* diverging;
        Field refused;
    };
    const Case cases[] = {
        {"512", "128", Field::None},           {" 1", "0 ", Field::None},
        {"+300", "255", Field::None},          {"0", "128", Field::PrintableArea},
        {"513", "300", Field::PrintableArea},  {"", "128", Field::PrintableArea},
        {"12a", "128", Field::PrintableArea},  {"384", "-1", Field::DivergingPoint},
        {"384", "256", Field::DivergingPoint}, {"384", "99999999999", Field::DivergingPoint},
    };
    for (const Case& c : cases) {
        LogoOptions options;
        options.maxPrintableArea = 7;
        options.divergingPoint = 9;
        const SetupEntriesCheck check = ApplySetupEntries(options, c.area, c.diverging, true);
        EXPECT_EQ(check.refused, c.refused) << c.area << " " << c.diverging;
        EXPECT_EQ(options.starEmulation, c.refused == Field::None) << c.area;
        if (c.refused == Field::None) continue;
        EXPECT_EQ(options.maxPrintableArea, 7);
        EXPECT_EQ(options.divergingPoint, 9);
        const OptionRange want =
            c.refused == Field::PrintableArea ? kPrintableAreaRange : kDivergingPointRange;
        EXPECT_EQ(check.range.min, want.min);
        EXPECT_EQ(check.range.max, want.max);
    }
    LogoOptions options;
    ASSERT_TRUE(ApplySetupEntries(options, " 300 ", "40", false).ok());
    EXPECT_EQ(options.maxPrintableArea, 300);
    EXPECT_EQ(options.divergingPoint, 40);
}

TEST(LogoPreview, SizesFollowTheIntegerArithmetic) {
    struct Case {
        int areaW, areaH, imageW, imageH;
        PreviewQuality quality;
        int w, h;
    };
    const Case cases[] = {
        {300, 200, 400, 100, PreviewQuality::Normal, 150, 37},
        {300, 200, 400, 100, PreviewQuality::Quadruple, 300, 74},
        {300, 200, 400, 100, PreviewQuality::DoubleHeight, 150, 74},
        {300, 200, 400, 100, PreviewQuality::DoubleWidth, 300, 37},
        {300, 200, 100, 400, PreviewQuality::Normal, 25, 100},
        {300, 200, 50, 50, PreviewQuality::Normal, 100, 100},
        // Wide, but half the width would make it taller than half the height.
        {300, 100, 200, 150, PreviewQuality::Normal, 66, 50},
        {300, 200, 0, 10, PreviewQuality::Normal, 0, 0},
        {300, 200, 5000000, 3, PreviewQuality::Normal, 150, 0},
    };
    for (const Case& c : cases) {
        const PreviewSize size = PreviewImageSize(c.areaW, c.areaH, c.imageW, c.imageH, c.quality);
        EXPECT_EQ(size.width, c.w) << c.imageW << "x" << c.imageH;
        EXPECT_EQ(size.height, c.h) << c.imageW << "x" << c.imageH;
    }
    EXPECT_DOUBLE_EQ(PrinterDotsScale(256, 400, 512, 100), 0.5);
    EXPECT_DOUBLE_EQ(PrinterDotsScale(256, 100, 512, 400), 0.25);
    EXPECT_EQ(PrinterDotsScale(256, 100, 0, 400), 0);
}

}  // namespace
}  // namespace kp70
