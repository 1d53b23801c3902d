#include "core/status/PrinterStatus.h"

#include <gtest/gtest.h>

namespace kp70 {
namespace {

// "-": not a status answer.
std::string Decoded(const std::optional<PrinterStatus>& status) {
    return status ? PresentConditions(*status, false) : "-";
}

TEST(PrinterStatus, EachAnswerBitAndFixedBits) {
    struct Row {
        int n;
        std::uint8_t byte;
        const char* present;
    };
    const Row rows[] = {
        {1, 0x12, "none"},
        {1, 0x16, "drawer kick pin 3 high"},
        {1, 0x1A, "offline"},
        {1, 0x32, "waiting for online recovery"},
        {1, 0x52, "paper feed button pressed"},
        {2, 0x16, "cover open"},
        {2, 0x1A, "paper fed by the feed button"},
        {2, 0x32, "printing stopped by paper end"},
        {2, 0x52, "error occurred"},
        {3, 0x16, "mechanical error"},
        {3, 0x1A, "auto-cutter error"},
        {3, 0x32, "unrecoverable error"},
        {3, 0x52, "auto-recoverable error"},
        {4, 0x12, "none"},
        {4, 0x1E, "paper near end"},
        {4, 0x72, "paper end"},
        {4, 0x7E, "paper end, paper near end"},
        // Fixed bits wrong: bit 0 set, bit 1 clear, bit 4 clear, bit 7 set.
        {1, 0x13, "-"},
        {2, 0x10, "-"},
        {3, 0x02, "-"},
        {4, 0x92, "-"},
        // A sensor pair with one bit set is no reading.
        {4, 0x16, "-"},
        {4, 0x32, "-"},
        // No such request.
        {5, 0x12, "-"},
        {0, 0x12, "-"},
    };
    for (const Row& row : rows) {
        const auto status = DecodeStatusAnswer(row.n, row.byte);
        EXPECT_EQ(Decoded(status), row.present) << "n=" << row.n << " byte=" << int(row.byte);
        if (status) {
            EXPECT_EQ(status->known.count(), row.n == 4 ? 2u : 4u);
        }
    }
}

TEST(PrinterStatus, AutomaticStatusBlocks) {
    struct Row {
        StatusBlock block;
        const char* present;
    };
    const Row rows[] = {
        {{0x14, 0x00, 0x00, 0x0F}, "drawer kick pin 3 high"},
        {{0x18, 0x00, 0x00, 0x0F}, "offline"},
        {{0x30, 0x00, 0x00, 0x0F}, "cover open"},
        {{0x50, 0x00, 0x00, 0x0F}, "paper fed by the feed button"},
        {{0x10, 0x04, 0x00, 0x0F}, "mechanical error"},
        {{0x10, 0x08, 0x00, 0x0F}, "auto-cutter error"},
        {{0x10, 0x20, 0x00, 0x0F}, "unrecoverable error"},
        {{0x10, 0x40, 0x00, 0x0F}, "auto-recoverable error"},
        {{0x10, 0x00, 0x03, 0x0F}, "paper near end"},
        {{0x10, 0x00, 0x0F, 0x0F}, "paper end, paper near end"},
        {{0x14, 0x00, 0x00, 0x0E}, "-"},
        {{0x94, 0x00, 0x00, 0x0F}, "-"},
        {{0x04, 0x00, 0x00, 0x0F}, "-"},
        {{0x10, 0x80, 0x00, 0x0F}, "-"},
        {{0x10, 0x00, 0x10, 0x0F}, "-"},
        {{0x10, 0x00, 0x01, 0x0F}, "-"},
        {{0x00, 0x00, 0x00, 0x00}, "-"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(Decoded(DecodeStatusBlock(row.block)), row.present)
            << int(row.block[0]) << " " << int(row.block[1]) << " " << int(row.block[2]);
    }
}

TEST(PrinterStatus, LineSaysOnlyWhatIsKnown) {
    const auto all = [](std::uint8_t b1, std::uint8_t b2, std::uint8_t b3, std::uint8_t b4) {
        PrinterStatus status;
        const std::uint8_t bytes[] = {b1, b2, b3, b4};
        for (int n = 1; n <= 4; ++n) status.Merge(*DecodeStatusAnswer(n, bytes[n - 1]));
        return status;
    };
    EXPECT_EQ(StatusLine(PrinterStatus{}, false), "");
    EXPECT_EQ(StatusLine(*DecodeStatusAnswer(1, 0x16), false), "online");
    EXPECT_EQ(StatusLine(all(0x16, 0x12, 0x12, 0x12), false), "online, no error, paper present");
    EXPECT_EQ(StatusLine(all(0x1E, 0x36, 0x12, 0x7E), false),
              "offline: cover open, paper end, paper near end, printing stopped by paper end");
    EXPECT_EQ(StatusLine(all(0x16, 0x12, 0x12, 0x12), true), "온라인, 오류 없음, 용지 있음");
}

}  // namespace
}  // namespace kp70
