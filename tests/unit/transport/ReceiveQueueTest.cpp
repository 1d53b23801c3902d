#include "core/transport/ReceiveQueue.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using kp70::ReceiveQueue;

namespace {
void PutMany(ReceiveQueue& q, int n, int first = 0) {
    for (int i = 0; i < n; ++i) q.Put(static_cast<std::uint8_t>(first + i));
}
}  // namespace

TEST(ReceiveQueue, ChunkFitsOnlyBelowTheFreeSpace) {
    struct Case {
        int queued, chunk;
        bool fits;
    };
    for (const Case& c : {Case{0, 4095, true}, Case{0, 4096, false}, Case{1, 4094, true},
                          Case{1, 4095, false}, Case{2000, 2095, true}, Case{2000, 2096, false},
                          Case{4095, 0, true}, Case{4095, 1, false}, Case{0, 0, true}}) {
        SCOPED_TRACE(testing::Message() << c.queued << " queued, chunk " << c.chunk);
        ReceiveQueue q;
        PutMany(q, c.queued);
        EXPECT_EQ(q.Count(), c.queued);
        EXPECT_EQ(q.FitsChunk(c.chunk), c.fits);
    }
}

TEST(ReceiveQueue, CountWrapsPastTheEnd) {
    ReceiveQueue q;
    // Move both indices near the end, then across it.
    PutMany(q, 4000);
    for (int i = 0; i < 4000; ++i) q.Get();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.Count(), 0);
    PutMany(q, 300, 7);  // tail wraps: 4000 + 300 - 4096 = 204
    EXPECT_EQ(q.Count(), 300);
    EXPECT_TRUE(q.FitsChunk(4095 - 300));
    EXPECT_FALSE(q.FitsChunk(4096 - 300));
    for (int i = 0; i < 300; ++i) ASSERT_EQ(q.Get(), static_cast<std::uint8_t>(7 + i));
    EXPECT_TRUE(q.IsEmpty());
}

TEST(ReceiveQueue, ClearEmptiesAndZeroes) {
    ReceiveQueue q;
    PutMany(q, 10, 1);
    q.Clear();
    EXPECT_TRUE(q.IsEmpty());
    EXPECT_EQ(q.Count(), 0);
    q.Put(9);
    EXPECT_EQ(q.Get(), 9);
}

TEST(ReceiveQueue, OneProducerOneConsumerKeepOrder) {
    ReceiveQueue q;
    constexpr int kTotal = 200000;
    std::thread producer([&] {
        int sent = 0;
        while (sent < kTotal) {
            const int chunk = std::min(97, kTotal - sent);
            if (!q.FitsChunk(chunk)) {
                std::this_thread::yield();
                continue;
            }
            PutMany(q, chunk, sent);
            sent += chunk;
        }
    });
    int received = 0;
    bool inOrder = true;
    while (received < kTotal) {
        if (q.IsEmpty()) {
            std::this_thread::yield();
            continue;
        }
        inOrder = inOrder && q.Get() == static_cast<std::uint8_t>(received);
        ++received;
    }
    producer.join();
    EXPECT_TRUE(inOrder);
}
