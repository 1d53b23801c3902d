// Feeds an arbitrary reply, cut into chunks at arbitrary places, to the USB un-escaper and
// checks that the chunking never changes the result, that the output is never longer than
// the input, and that a reply without escape bytes passes unchanged.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/transport/UsbReplyUnescaper.h"

using kp70::UsbReplyUnescaper;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    const std::size_t cuts = data[0] % 8;
    const std::uint8_t* reply = data + 1 + std::min(cuts, size - 1);
    const std::size_t length = size - 1 - std::min(cuts, size - 1);

    UsbReplyUnescaper whole;
    std::vector<std::uint8_t> expected;
    whole.Feed(reply, static_cast<int>(length), expected);
    if (expected.size() > length) std::abort();
    if (std::find(reply, reply + length, UsbReplyUnescaper::kEscape) == reply + length &&
        !std::equal(expected.begin(), expected.end(), reply, reply + length))
        std::abort();

    // The cut positions come from the bytes after data[0].
    std::vector<std::size_t> at;
    for (std::size_t i = 0; i < cuts && 1 + i < size; ++i)
        at.push_back(length ? data[1 + i] % (length + 1) : 0);
    std::sort(at.begin(), at.end());
    UsbReplyUnescaper chunked;
    std::vector<std::uint8_t> got;
    std::size_t from = 0;
    for (std::size_t cut : at) {
        chunked.Feed(reply + from, static_cast<int>(cut - from), got);
        from = cut;
    }
    chunked.Feed(reply + from, static_cast<int>(length - from), got);
    if (got != expected || chunked.PendingEscape() != whole.PendingEscape()) std::abort();
    return 0;
}
