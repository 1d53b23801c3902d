#include "core/status/StatusSession.h"

#include <gtest/gtest.h>

#include <map>

#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"
#include "support/FakePrinterLink.h"

namespace kp70 {
namespace {

// A printer that answers each DLE EOT n with answers[n] (none when absent).
struct FakeStatusLink : test::FakePrinterLink {
    std::map<int, std::vector<std::uint8_t>> answers;
    FakeStatusLink() {
        Open(CancelToken::Never());
        ClearEvents();
        responder = [this](const test::FakeBytes& bytes) {
            if (bytes.size() == 3 && bytes[0] == 0x10 && bytes[1] == 0x04) return answers[bytes[2]];
            return test::FakeBytes{};
        };
    }
    std::size_t SentCount() const { return Writes().size(); }
};

TEST(StatusSession, AsksFourRequestsAndMergesTheAnswers) {
    VirtualClock clock;
    FakeStatusLink link;
    link.answers = {{1, {0x1A}}, {2, {0x16}}, {3, {0x12}}, {4, {0x12}}};
    link.Arrive({0x41});  // a late reply to something else
    StatusSession session(link, clock);
    const StatusReport report = session.Query(CancelToken{});
    EXPECT_TRUE(report.Complete());
    EXPECT_EQ(link.Writes(),
              (std::vector<std::vector<std::uint8_t>>{
                  {0x10, 0x04, 1}, {0x10, 0x04, 2}, {0x10, 0x04, 3}, {0x10, 0x04, 4}}));
    EXPECT_EQ(StatusLine(report.status, false), "offline: cover open");
    EXPECT_EQ(clock.TotalSlept(), 0);
}

TEST(StatusSession, NoAnswerOrNoStatusStopsAndSaysSo) {
    struct Row {
        std::map<int, std::vector<std::uint8_t>> answers;
        StatusReport::Problem problem;
        std::size_t requestsSent;
        std::int64_t waited;
        const char* text;
    };
    const Row rows[] = {
        {{}, StatusReport::Problem::NoAnswer, 1, 1000, "no answer within 1000 ms"},
        {{{1, {0x12}}, {2, {0x12}}},
         StatusReport::Problem::NoAnswer,
         3,
         1000,
         "no answer within 1000 ms"},
        {{{1, {0x12}}, {2, {0x41}}},
         StatusReport::Problem::NotStatus,
         2,
         0,
         "the answer 41 to DLE EOT 2 is not a status answer"},
    };
    for (const Row& row : rows) {
        VirtualClock clock;
        FakeStatusLink link;
        link.answers = row.answers;
        StatusSession session(link, clock);
        const StatusReport report = session.Query(CancelToken{});
        EXPECT_EQ(report.problem, row.problem);
        EXPECT_EQ(link.SentCount(), row.requestsSent);
        EXPECT_EQ(clock.TotalSlept(), row.waited);
        EXPECT_EQ(report.ProblemText(false), row.text);
        // What the answers before the problem said stays known.
        EXPECT_EQ(report.status.Known(StatusCondition::Offline), row.requestsSent > 1);
    }
}

TEST(StatusSession, TogetherSendsTheFourRequestsInOneWriteAndReadsTheAnswersInOrder) {
    struct Row {
        std::vector<std::uint8_t> answers;  // what the printer sends back for the write
        StatusReport::Problem problem;
        int problemRequest;
        std::int64_t waited;
    };
    const Row rows[] = {
        {{0x1A, 0x16, 0x12, 0x12}, StatusReport::Problem::None, 0, 0},
        // It stops answering after two: the third answer is waited for, as one by one.
        {{0x1A, 0x16}, StatusReport::Problem::NoAnswer, 3, 1000},
        {{0x1A, 0x41, 0x12, 0x12}, StatusReport::Problem::NotStatus, 2, 0},
    };
    for (const Row& row : rows) {
        VirtualClock clock;
        FakeStatusLink link;
        link.responder = [&](const test::FakeBytes&) { return row.answers; };
        StatusSession session(link, clock, 1000, StatusSession::Requests::Together);
        const StatusReport report = session.Query(CancelToken{});
        EXPECT_EQ(link.Writes(),
                  (std::vector<std::vector<std::uint8_t>>{
                      {0x10, 0x04, 1, 0x10, 0x04, 2, 0x10, 0x04, 3, 0x10, 0x04, 4}}));
        EXPECT_EQ(report.problem, row.problem);
        EXPECT_EQ(report.problemRequest, row.problemRequest);
        EXPECT_EQ(clock.TotalSlept(), row.waited);
        EXPECT_TRUE(report.status.Known(StatusCondition::CoverOpen) ==
                    (row.answers.size() > 1 && row.answers[1] == 0x16));
    }
}

TEST(StatusSession, ParallelPortReadsTheAutomaticBlockAndSendsNothing) {
    VirtualClock clock;
    FakeStatusLink link;
    link.reportsStatus = true;
    StatusSession session(link, clock, 500);

    StatusReport report = session.Query(CancelToken{});
    EXPECT_EQ(report.problem, StatusReport::Problem::NoAnswer);
    EXPECT_EQ(clock.TotalSlept(), 500);

    link.ArriveStatus({0x1C, 0x00, 0x0F, 0x0F});
    report = session.Query(CancelToken{});
    EXPECT_TRUE(report.Complete());
    EXPECT_EQ(StatusLine(report.status, false), "offline: paper end, paper near end");

    // No block since: the printer sends one when its status changes, so it still holds.
    report = session.Query(CancelToken{});
    EXPECT_EQ(StatusLine(report.status, false), "offline: paper end, paper near end");
    link.ArriveStatus({0x10, 0x00, 0x02, 0x0F});
    EXPECT_EQ(session.Query(CancelToken{}).problem, StatusReport::Problem::NotStatus);
    EXPECT_EQ(link.Count("Send"), 0);
    EXPECT_GT(link.Count("RequestReplies"), 0);  // the controller is kept reading
}

TEST(StatusSession, WatchReportsEachChangeOnce) {
    VirtualClock clock;
    FakeStatusLink link;
    link.answers = {{1, {0x16}}, {2, {0x12}}, {3, {0x12}}, {4, {0x12}}};
    StatusSession session(link, clock);
    CancelToken cancel;
    std::vector<std::string> lines;
    session.Watch(cancel, [&](const StatusReport& report) {
        lines.push_back(report.Complete() ? StatusLine(report.status, false)
                                          : report.ProblemText(false));
        if (lines.size() == 1) link.answers[4] = {0x1E};  // near end from the next query on
        if (lines.size() == 2) link.answers.erase(1);     // then the printer goes quiet
        if (lines.size() == 3) cancel.Cancel();
    });
    EXPECT_EQ(lines,
              (std::vector<std::string>{"online, no error, paper present", "online: paper near end",
                                        "no answer within 1000 ms"}));
    // Every second, not more often.
    EXPECT_EQ(link.SentCount(), 4u + 4u + 1u);
}

}  // namespace
}  // namespace kp70
