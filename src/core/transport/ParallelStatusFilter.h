#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace kp70 {

using StatusBlock = std::array<std::uint8_t, 4>;

// A printer on a parallel port mixes 4-byte automatic status blocks into its replies:
// b0 b1 b2 b3 with (b0 & 0x93) == 0x10, (b1 & 0x90) == 0, (b2 & 0xF0) == 0 and b3 == 0x0F.
// The filter takes them out of each read: a block counts only when all four bytes lie in
// the same read; a block cut by the end of a read stays ordinary reply bytes.
class ParallelStatusFilter {
public:
    // True when the 4 bytes at p form a status block.
    static bool IsStatusBlock(const std::uint8_t* p);

    // Scans one read: each reply byte goes to put, in order; each status block that differs
    // from lastStatus replaces it. put returns false to end the scan at that byte (the
    // receiver is full); the rest of the read is then left alone. Returns false when put
    // ended the scan.
    static bool Scan(const std::uint8_t* data, int length, StatusBlock& lastStatus,
                     const std::function<bool(std::uint8_t)>& put);

    // Splits one read: reply bytes are appended to reply in order; each status block that
    // differs from lastStatus replaces it. Returns the number of status blocks found.
    static int Split(const std::uint8_t* data, int length, StatusBlock& lastStatus,
                     std::vector<std::uint8_t>& reply);
};

}  // namespace kp70
