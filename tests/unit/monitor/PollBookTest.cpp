#include "core/monitor/PollBook.h"

#include <gtest/gtest.h>

namespace kp70 {
namespace {

std::vector<MonitoredPrinter> Printers(std::initializer_list<const char*> names) {
    std::vector<MonitoredPrinter> printers;
    for (const char* name : names) printers.push_back({name, "", "KP70 E-II"});
    return printers;
}

std::vector<std::string> Names(const std::vector<PollBook::Job>& jobs) {
    std::vector<std::string> names;
    for (const auto& job : jobs) names.push_back(job.printer.name);
    return names;
}

PollBook::Id IdOf(const std::vector<PollBook::Job>& jobs, const std::string& name) {
    for (const auto& job : jobs)
        if (job.printer.name == name) return job.id;
    ADD_FAILURE() << name << " not in the round";
    return 0;
}

const PollResult kAnswered{true};
const PollResult kSilent{false, {}, "no answer within 1000 ms"};

TEST(PollBook, ARoundLeavesOutAPrinterStillBeingPolledAndEndsWithItsOwnPolls) {
    PollBook book;
    book.SetPrinters(Printers({"A", "B", "C"}), 0);
    const auto first = book.StartRound(0);
    EXPECT_EQ(Names(first), (std::vector<std::string>{"A", "B", "C"}));
    book.Finished(IdOf(first, "A"), kAnswered, 0, 50);
    book.Finished(IdOf(first, "B"), kAnswered, 10, 80);
    // C is silent: its poll outlasts the interval, so the first round is late.
    const auto second = book.StartRound(1000);
    EXPECT_EQ(Names(second), (std::vector<std::string>{"A", "B"}));
    book.Finished(IdOf(second, "A"), kAnswered, 1000, 1040);
    book.Finished(IdOf(second, "B"), kAnswered, 1000, 1090);
    // The second round is over although C's poll of the first still runs.
    EXPECT_EQ(book.Rounds().lastRoundMs, 90);
    book.Finished(IdOf(first, "C"), kSilent, 0, 1500);
    EXPECT_EQ(book.Rounds().lastRoundMs, 90);
    EXPECT_EQ(Names(book.StartRound(2000)), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(book.Rounds().late, 1u);
    EXPECT_EQ(book.Rounds().rounds, 3u);
    const PrinterSample c = book.Samples()[2];
    EXPECT_EQ(c.polls, 1u);
    EXPECT_EQ(c.failures, 1u);
    EXPECT_EQ(c.durationMs, 1500);
}

TEST(PollBook, PrintersKeptAcrossAListChangeKeepTheirFiguresAndThoseGoneAreForgotten) {
    PollBook book;
    book.SetPrinters(Printers({"A", "B"}), 0);
    const auto round = book.StartRound(0);
    book.Finished(IdOf(round, "A"), kAnswered, 0, 30);
    // B leaves while its poll runs: the round ends then, and its result counts for nothing.
    book.SetPrinters({{"A", "00:1A:2B:3C:4D:5E", "KP70 E-II"}, {"D", "", "KP70 E-II"}}, 70);
    EXPECT_EQ(book.Rounds().lastRoundMs, 70);
    EXPECT_FALSE(book.Finished(IdOf(round, "B"), kSilent, 0, 100));
    const auto samples = book.Samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].polls, 1u);
    EXPECT_EQ(samples[0].mac, "00:1A:2B:3C:4D:5E");
    EXPECT_FALSE(samples[1].polled);
}

TEST(PollBook, NotesWhenAPrinterStopsOrStartsAnswering) {
    // A first poll answered is no news; one that is not answered is.
    for (const auto& [answered, noted] :
         std::vector<std::pair<std::vector<bool>, std::vector<bool>>>{
             {{true, true, false, false, true}, {false, false, true, false, true}},
             {{false, true}, {true, true}}}) {
        PollBook book;
        book.SetPrinters(Printers({"A"}), 0);
        std::vector<bool> got;
        for (std::size_t i = 0; i < answered.size(); ++i) {
            const auto t = static_cast<std::int64_t>(i) * 1000;
            got.push_back(book.Finished(book.StartRound(t).at(0).id,
                                        answered[i] ? kAnswered : kSilent, t, t + 5));
        }
        EXPECT_EQ(got, noted);
    }
}

}  // namespace
}  // namespace kp70
