// Feeds arbitrary reads to the parallel status filter and checks what must always hold:
// every byte is either reply data or part of exactly one status block, reply bytes keep
// their order, the last status is a real status block, and a receiver that stops early
// never gets more than it asked for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/transport/ParallelStatusFilter.h"

using kp70::ParallelStatusFilter;
using kp70::StatusBlock;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int limit = data[0];  // the receiver takes this many bytes, then is full
    const std::uint8_t* read = data + 1;
    const int length = static_cast<int>(size - 1);

    StatusBlock last{};
    std::vector<std::uint8_t> reply;
    const int blocks = ParallelStatusFilter::Split(read, length, last, reply);
    if (static_cast<int>(reply.size()) + 4 * blocks != length) std::abort();
    if (blocks > 0 && !ParallelStatusFilter::IsStatusBlock(last.data())) std::abort();
    if (blocks == 0 && last != StatusBlock{}) std::abort();
    // Reply bytes are a subsequence of the read.
    std::size_t j = 0;
    for (int i = 0; i < length && j < reply.size(); ++i)
        if (read[i] == reply[j]) ++j;
    if (j != reply.size()) std::abort();

    StatusBlock partialLast{};
    std::vector<std::uint8_t> taken;
    const bool all = ParallelStatusFilter::Scan(read, length, partialLast, [&](std::uint8_t b) {
        if (static_cast<int>(taken.size()) == limit) return false;
        taken.push_back(b);
        return true;
    });
    if (all != (static_cast<int>(reply.size()) <= limit)) std::abort();
    if (taken.size() > reply.size()) std::abort();
    for (std::size_t i = 0; i < taken.size(); ++i)
        if (taken[i] != reply[i]) std::abort();
    if (all && partialLast != last) std::abort();
    return 0;
}
