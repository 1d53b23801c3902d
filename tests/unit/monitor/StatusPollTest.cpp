#include "core/monitor/StatusPoll.h"

#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"
#include "support/FakePrinterLink.h"

namespace kp70 {
namespace {

TEST(StatusPoll, ConnectsAsksAndLetsGoOrSaysWhyNot) {
    struct Row {
        bool opens;
        std::size_t answers;  // how many of the four requests the printer answers
        int timeoutMs;
        const char* problem;
        int connectRounds;  // of 50 ms: the connection has the time-out too, at least one
    };
    const Row rows[] = {
        {true, 4, 1000, "", 20},
        {false, 0, 1000, "cannot connect (no answer from 10.0.0.5:6001)", 20},
        {true, 2, 300, "no answer within 300 ms", 6},
        {true, 4, 10, "", 1},
    };
    for (const Row& row : rows) {
        VirtualClock clock;
        test::FakeLinkFactory links;
        links.settings.portName = "ETHERNET_II";
        links.link.openResults = {row.opens};
        links.link.lastErrorText = "no answer from 10.0.0.5:6001";
        links.link.responder = [&](const test::FakeBytes&) {
            return test::FakeBytes(row.answers, 0x12);
        };
        const PollResult result =
            PollPrinterStatus(links, clock, CancelToken::Never(), row.timeoutMs);
        EXPECT_EQ(result.answered, row.answers == 4) << row.problem;
        EXPECT_EQ(result.problem, row.problem);
        ASSERT_EQ(links.requests.size(), 1u);
        EXPECT_EQ(links.requests[0].connectRounds, row.connectRounds);
        EXPECT_TRUE(links.requests[0].replies);
        // Let go after every poll, so the shop's programs can print between two.
        EXPECT_FALSE(links.link.IsOpen());
    }
}

}  // namespace
}  // namespace kp70
