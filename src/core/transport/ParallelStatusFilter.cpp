#include "core/transport/ParallelStatusFilter.h"

#include <algorithm>

namespace kp70 {

bool ParallelStatusFilter::IsStatusBlock(const std::uint8_t* p) {
    return (p[0] & 0x93) == 0x10 && (p[1] & 0x90) == 0 && (p[2] & 0xF0) == 0 && p[3] == 0x0F;
}

int ParallelStatusFilter::Split(const std::uint8_t* data, int length, StatusBlock& lastStatus,
                                std::vector<std::uint8_t>& reply) {
    int blocks = 0;
    int i = 0;
    while (i < length) {
        if (length - i >= 4 && IsStatusBlock(data + i)) {
            StatusBlock block;
            std::copy(data + i, data + i + 4, block.begin());
            if (block != lastStatus) lastStatus = block;
            ++blocks;
            i += 4;
        } else {
            reply.push_back(data[i]);
            ++i;
        }
    }
    return blocks;
}

}  // namespace kp70
