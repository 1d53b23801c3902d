#pragma once

#include <array>
#include <atomic>
#include <cstdint>

namespace kp70 {

// A 4096-byte single-producer, single-consumer ring buffer. The producer only calls Put
// (and Count); the consumer only Get and IsEmpty. No lock: each index is published with
// release ordering after the byte it covers. At most 4095 bytes are distinguishable from
// empty; Put does not check for overflow, producers do (see FitsChunk).
class ReceiveQueue {
public:
    static constexpr int kSize = 4096;

    void Put(std::uint8_t byte);
    std::uint8_t Get();
    int Count() const;
    bool IsEmpty() const;
    // Empties the queue and zeroes its bytes. Only while neither side is running.
    void Clear();

    // True when a chunk of n bytes may be put: n is smaller than kSize - Count().
    bool FitsChunk(int n) const { return n < kSize - Count(); }

private:
    std::array<std::uint8_t, kSize> m_data{};
    std::atomic<int> m_head{0};
    std::atomic<int> m_tail{0};
};

}  // namespace kp70
