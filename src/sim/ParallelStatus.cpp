#include "sim/ParallelStatus.h"

namespace kp70sim {

std::size_t ParallelStatus::Scan(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint8_t kGs = 0x1D;
    constexpr std::uint8_t kA = 0x61;
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = data[i];
        if (m_matched == 2) {
            m_matched = 0;
            m_next = b != 0;
            return i + 1;
        }
        if (m_matched == 1 && b == kA) {
            m_matched = 2;
        } else {
            m_matched = b == kGs ? 1 : 0;
        }
    }
    return size;
}

}  // namespace kp70sim
