#include "core/monitor/StatusPoll.h"

#include <gtest/gtest.h>

#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"
#include "support/FakePrinterLink.h"

namespace kp70 {
namespace {

TEST(StatusPoll, ConnectsAsksAndLetsGoOrSaysWhyNot) {
    struct Row {
        const char* what;
        bool opens;
        std::vector<std::uint8_t> answer4;  // the answer to DLE EOT 4 (none: silent there)
        int timeoutMs;
        bool answered;
        const char* problem;
        int connectRounds;
    };
    const Row rows[] = {
        {"answers", true, {0x7E}, 1000, true, "", 20},
        {"refuses the connection",
         false,
         {},
         1000,
         false,
         "cannot connect (no answer from 10.0.0.5:6001)",
         20},
        {"stops answering", true, {}, 300, false, "no answer within 300 ms", 6},
        // Even the shortest time-out gives the connection one round.
        {"short time-out", true, {0x12}, 10, true, "", 1},
    };
    for (const Row& row : rows) {
        VirtualClock clock;
        test::FakeLinkFactory links;
        links.settings.portName = "ETHERNET_II";
        links.link.openResults = {row.opens};
        links.link.lastErrorText = "no answer from 10.0.0.5:6001";
        // Each DLE EOT n of the write answered in order, until one gets no answer.
        links.link.responder = [&](const test::FakeBytes& sent) {
            test::FakeBytes answers;
            for (std::size_t at = 0; at + 2 < sent.size(); at += 3) {
                const std::uint8_t n = sent[at + 2];
                if (n == 4 && row.answer4.empty()) break;
                answers.push_back(n == 4 ? row.answer4[0] : n == 1 ? 0x1E : 0x12);
            }
            return answers;
        };
        const PollResult result =
            PollPrinterStatus(links, clock, CancelToken::Never(), row.timeoutMs);
        EXPECT_EQ(result.answered, row.answered) << row.what;
        EXPECT_EQ(result.problem, row.problem) << row.what;
        ASSERT_EQ(links.requests.size(), 1u) << row.what;
        EXPECT_EQ(links.requests[0].toolMode, kToolModeSetup);
        EXPECT_TRUE(links.requests[0].replies);
        EXPECT_EQ(links.requests[0].connectRounds, row.connectRounds) << row.what;
        // The connection is let go after every poll, so the shop's programs can print.
        EXPECT_FALSE(links.link.IsOpen()) << row.what;
        if (row.opens) {
            EXPECT_TRUE(result.status.Known(StatusCondition::Offline)) << row.what;
            EXPECT_EQ(result.status.Present(StatusCondition::PaperEnd),
                      row.answer4 == test::FakeBytes{0x7E});
        }
    }
}

}  // namespace
}  // namespace kp70
