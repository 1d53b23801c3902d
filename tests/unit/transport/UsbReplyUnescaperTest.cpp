#include "core/transport/UsbReplyUnescaper.h"

#include <gtest/gtest.h>

using kp70::UsbReplyUnescaper;
using Bytes = std::vector<std::uint8_t>;

namespace {
Bytes Unescape(const std::vector<Bytes>& chunks) {
    UsbReplyUnescaper u;
    Bytes out;
    for (const Bytes& c : chunks) u.Feed(c.data(), static_cast<int>(c.size()), out);
    return out;
}
}  // namespace

TEST(UsbReplyUnescaper, EscapePairsWithinOneChunk) {
    struct Case {
        Bytes in, out;
    };
    const std::vector<Case> cases = {
        {{0x41, 0x42}, {0x41, 0x42}},
        {{0x1B, 0x30}, {0x00}},
        {{0x1B, 0x1B}, {0x1B}},
        {{0x1B, 0x41}, {0x41}},
        {{0x1B, 0x00}, {0x00}},
        {{0x30, 0x1B, 0x30, 0x30}, {0x30, 0x00, 0x30}},
        {{0x1B, 0x1B, 0x30}, {0x1B, 0x30}},  // the second 0x1B is data, not an escape
        {{0x1B, 0x1B, 0x1B, 0x30}, {0x1B, 0x00}},
        {{}, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Unescape({c.in}), c.out);
}

TEST(UsbReplyUnescaper, EscapeThatEndsAChunkAppliesToTheNextOne) {
    EXPECT_EQ(Unescape({{0x41, 0x1B}, {0x30, 0x42}}), (Bytes{0x41, 0x00, 0x42}));
    EXPECT_EQ(Unescape({{0x1B}, {0x1B}, {0x1B}, {0x30}}), (Bytes{0x1B, 0x00}));
    EXPECT_EQ(Unescape({{0x1B}, {}, {0x55}}), (Bytes{0x55}));
    // Every split of the same stream gives the same bytes.
    const Bytes stream = {0x1B, 0x30, 0x1B, 0x1B, 0x20, 0x1B, 0x1B, 0x1B, 0x30, 0x1B, 0x7F};
    const Bytes whole = Unescape({stream});
    EXPECT_EQ(whole, (Bytes{0x00, 0x1B, 0x20, 0x1B, 0x00, 0x7F}));
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        EXPECT_EQ(Unescape({Bytes(stream.begin(), stream.begin() + cut),
                            Bytes(stream.begin() + cut, stream.end())}),
                  whole);
    }
}

TEST(UsbReplyUnescaper, ResetForgetsAPendingEscape) {
    UsbReplyUnescaper u;
    Bytes out;
    const std::uint8_t esc = 0x1B, zero = 0x30;
    u.Feed(&esc, 1, out);
    EXPECT_TRUE(u.PendingEscape());
    u.Reset();
    u.Feed(&zero, 1, out);
    EXPECT_EQ(out, Bytes{0x30});
}
