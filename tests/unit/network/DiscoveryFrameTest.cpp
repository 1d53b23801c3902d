#include "core/network/DiscoveryFrame.h"

#include <gtest/gtest.h>

#include <vector>

namespace kp70 {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ToVector(const DiscoveryFrame& frame) {
    return Bytes(frame.bytes().begin(), frame.bytes().end());
}

// A reply as a printer sends it: header, command and trailer are whatever it likes.
Bytes Reply(std::uint8_t dhcp, std::uint8_t portHigh, std::uint8_t portLow) {
    Bytes bytes = {0x12, 0x34,     0x01,                      // not examined
                   192,  168,      0,      10,                // address
                   255,  255,      255,    0,                 // subnet
                   192,  168,      0,      1,                 // gateway
                   0x00, 0x1A,     0x2B,   0x3C, 0x4D, 0x5E,  // MAC
                   dhcp, portHigh, portLow};
    bytes.resize(35, 0xEE);  // the tail is not examined either
    return bytes;
}

TEST(DiscoveryFrame, SearchFrameIsHeaderCommandZerosAndTrailer) {
    Bytes expected(35, 0);
    expected[0] = expected[1] = 0xAA;
    expected[33] = expected[34] = 0x55;
    EXPECT_EQ(ToVector(DiscoveryFrame::Search()), expected);
}

TEST(DiscoveryFrame, SetFrameCarriesEverySettingAtItsOffset) {
    NetworkSettings s;
    s.address = {192, 168, 0, 77};
    s.subnet = {255, 255, 0, 0};
    s.gateway = {192, 168, 0, 1};
    s.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    s.dhcp = true;
    s.port = 6001;
    const Bytes expected = {0xAA, 0xAA, 0x02, 192,  168,  0,    77,   255,  255,  0,    0,    192,
                            168,  0,    1,    0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x01, 0x17, 0x71,
                            0,    0,    0,    0,    0,    0,    0,    0,    0,    0x55, 0x55};
    const DiscoveryFrame set = DiscoveryFrame::Set(s);
    EXPECT_EQ(ToVector(set), expected);
    // The end of the change repeats the frame with command 04.
    Bytes end = expected;
    end[2] = 0x04;
    EXPECT_EQ(ToVector(set.WithCommand(discovery::kEndOfChange)), end);
    EXPECT_EQ(set.Settings(), s);
}

TEST(DiscoveryFrame, ReplyRowTexts) {
    const struct {
        std::uint8_t dhcp, portHigh, portLow;
        const char* ip;
        const char* port;
    } cases[] = {
        {0, 0x17, 0x71, "192.168.0.10", "6001"},
        {1, 0x02, 0x03, "192.168.0.10 (DHCP)", "515"},
        {0x80, 0xFF, 0xFF, "192.168.0.10 (DHCP)", "65535"},  // any non-zero DHCP byte is on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ip);
        const Bytes bytes = Reply(c.dhcp, c.portHigh, c.portLow);
        const auto frame = DiscoveryFrame::FromBytes(bytes.data(), bytes.size());
        ASSERT_TRUE(frame);
        const DiscoveredPrinter row = DiscoveredPrinter::From(frame->Settings());
        EXPECT_EQ(row.ip, c.ip);
        EXPECT_EQ(row.port, c.port);
        EXPECT_EQ(row.subnet, "255.255.255.0");
        EXPECT_EQ(row.gateway, "192.168.0.1");
        EXPECT_EQ(row.mac, "00:1A:2B:3C:4D:5E");
    }
    NetworkSettings lower;
    lower.mac = {0xab, 0xcd, 0xef, 0x0a, 0x00, 0xff};
    EXPECT_EQ(DiscoveredPrinter::From(lower).mac, "AB:CD:EF:0A:00:FF");
}

TEST(DiscoveryFrame, OnlyThirtyFiveBytesMakeAFrame) {
    for (std::size_t size : {0u, 1u, 34u, 36u, 70u}) {
        const Bytes bytes(size, 0xAA);
        EXPECT_FALSE(DiscoveryFrame::FromBytes(bytes.data(), bytes.size())) << size;
    }
}

}  // namespace
}  // namespace kp70
