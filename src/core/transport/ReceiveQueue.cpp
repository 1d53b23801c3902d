#include "core/transport/ReceiveQueue.h"

namespace kp70 {

void ReceiveQueue::Put(std::uint8_t byte) {
    const int tail = m_tail.load(std::memory_order_relaxed);
    m_data[static_cast<std::size_t>(tail)] = byte;
    m_tail.store((tail + 1) % kSize, std::memory_order_release);
}

std::uint8_t ReceiveQueue::Get() {
    const int head = m_head.load(std::memory_order_relaxed);
    // Acquire pairs with the producer's release of the tail that covers this byte.
    (void)m_tail.load(std::memory_order_acquire);
    const std::uint8_t byte = m_data[static_cast<std::size_t>(head)];
    m_head.store((head + 1) % kSize, std::memory_order_release);
    return byte;
}

int ReceiveQueue::Count() const {
    const int tail = m_tail.load(std::memory_order_acquire);
    const int head = m_head.load(std::memory_order_acquire);
    return ((tail - head) % kSize + kSize) % kSize;
}

bool ReceiveQueue::IsEmpty() const {
    return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire);
}

void ReceiveQueue::Clear() {
    m_head.store(0, std::memory_order_relaxed);
    m_tail.store(0, std::memory_order_relaxed);
    m_data.fill(0);
}

}  // namespace kp70
