#include "core/transport/ParallelStatusFilter.h"

#include <algorithm>

namespace kp70 {

bool ParallelStatusFilter::IsStatusBlock(const std::uint8_t* p) {
    return (p[0] & 0x93) == 0x10 && (p[1] & 0x90) == 0 && (p[2] & 0xF0) == 0 && p[3] == 0x0F;
}

bool ParallelStatusFilter::Scan(const std::uint8_t* data, int length, StatusBlock& lastStatus,
                                const std::function<bool(std::uint8_t)>& put) {
    int i = 0;
    while (i < length) {
        if (length - i >= 4 && IsStatusBlock(data + i)) {
            StatusBlock block;
            std::copy(data + i, data + i + 4, block.begin());
            if (block != lastStatus) lastStatus = block;
            i += 4;
        } else {
            if (!put(data[i])) return false;
            ++i;
        }
    }
    return true;
}

int ParallelStatusFilter::Split(const std::uint8_t* data, int length, StatusBlock& lastStatus,
                                std::vector<std::uint8_t>& reply) {
    const std::size_t before = reply.size();
    Scan(data, length, lastStatus, [&](std::uint8_t byte) {
        reply.push_back(byte);
        return true;
    });
    return (length - static_cast<int>(reply.size() - before)) / 4;
}

}  // namespace kp70
