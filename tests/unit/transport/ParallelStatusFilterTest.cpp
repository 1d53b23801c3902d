#include "core/transport/ParallelStatusFilter.h"

#include <gtest/gtest.h>

using kp70::ParallelStatusFilter;
using kp70::StatusBlock;
using Bytes = std::vector<std::uint8_t>;

TEST(ParallelStatusFilter, RecognisesStatusBlocksByTheirMasks) {
    struct Case {
        Bytes block;
        bool status;
    };
    const std::vector<Case> cases = {
        {{0x14, 0x00, 0x00, 0x0F}, true},  {{0x10, 0x00, 0x00, 0x0F}, true},
        {{0x7C, 0x6F, 0x0F, 0x0F}, true},   // every bit the masks allow
        {{0x11, 0x00, 0x00, 0x0F}, false},  // b0 bit 0
        {{0x92, 0x00, 0x00, 0x0F}, false},  // b0 bits 7 and 1
        {{0x00, 0x00, 0x00, 0x0F}, false},  // b0 without bit 4
        {{0x14, 0x80, 0x00, 0x0F}, false}, {{0x14, 0x10, 0x00, 0x0F}, false},
        {{0x14, 0x00, 0x10, 0x0F}, false}, {{0x14, 0x00, 0x00, 0x0E}, false},
        {{0x14, 0x00, 0x00, 0x1F}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParallelStatusFilter::IsStatusBlock(c.block.data()), c.status);
}

TEST(ParallelStatusFilter, SplitsReadsIntoReplyBytesAndStatus) {
    struct Case {
        const char* what;
        Bytes read;
        Bytes reply;
        StatusBlock status;
        int blocks;
    };
    const std::vector<Case> cases = {
        {"status twice, nothing queued",
         {0x14, 0, 0, 0x0F, 0x14, 0, 0, 0x0F},
         {},
         {0x14, 0, 0, 0x0F},
         2},
        {"cut by the end of the read", {0x41, 0x14, 0, 0}, {0x41, 0x14, 0, 0}, {0, 0, 0, 0}, 0},
        {"between reply bytes",
         {0x37, 0x14, 0x00, 0x00, 0x0F, 0x22},
         {0x37, 0x22},
         {0x14, 0, 0, 0x0F},
         1},
        {"latest block wins",
         {0x14, 0, 0, 0x0F, 0x18, 0x08, 0x00, 0x0F},
         {},
         {0x18, 0x08, 0, 0x0F},
         2},
        {"overlapping start: first match taken",
         {0x14, 0x14, 0, 0, 0x0F},
         {0x14},
         {0x14, 0, 0, 0x0F},
         1},
        {"empty", {}, {}, {0, 0, 0, 0}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StatusBlock last{};
        Bytes reply;
        EXPECT_EQ(ParallelStatusFilter::Split(c.read.data(), static_cast<int>(c.read.size()), last,
                                              reply),
                  c.blocks);
        EXPECT_EQ(reply, c.reply);
        EXPECT_EQ(last, c.status);
    }
}

TEST(ParallelStatusFilter, ReadOf300BytesQueuesAll) {
    Bytes read(300);
    for (std::size_t i = 0; i < read.size(); ++i) read[i] = static_cast<std::uint8_t>(0x80 | i);
    StatusBlock last{};
    Bytes reply;
    EXPECT_EQ(ParallelStatusFilter::Split(read.data(), 300, last, reply), 0);
    EXPECT_EQ(reply, read);
}
