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

const PollResult kAnswered{true, {}, ""};
const PollResult kSilent{false, {}, "no answer within 1000 ms"};

const PrinterSample& SampleOf(const std::vector<PrinterSample>& samples, const std::string& name) {
    for (const auto& s : samples)
        if (s.printer == name) return s;
    static const PrinterSample none;
    ADD_FAILURE() << name << " not watched";
    return none;
}

TEST(PollBook, ARoundLeavesOutAPrinterStillBeingPolledAndEndsWithItsOwnPolls) {
    PollBook book;
    book.SetPrinters(Printers({"A", "B", "C"}), 0);
    const auto first = book.StartRound(0);
    EXPECT_EQ(Names(first), (std::vector<std::string>{"A", "B", "C"}));
    book.Finished(IdOf(first, "A"), kAnswered, 0, 50);
    book.Finished(IdOf(first, "B"), kAnswered, 10, 80);
    // C is silent: its poll outlasts the interval.
    const auto second = book.StartRound(1000);
    EXPECT_EQ(Names(second), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(book.Rounds().late, 1u);
    EXPECT_EQ(book.Rounds().lastRoundMs, -1);
    book.Finished(IdOf(second, "A"), kAnswered, 1000, 1040);
    book.Finished(IdOf(second, "B"), kAnswered, 1000, 1090);
    // The second round is over although C's poll of the first still runs.
    EXPECT_EQ(book.Rounds().lastRoundMs, 90);
    book.Finished(IdOf(first, "C"), kSilent, 0, 1500);
    EXPECT_EQ(book.Rounds().lastRoundMs, 90);
    const auto third = book.StartRound(2000);
    EXPECT_EQ(Names(third), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(book.Rounds().late, 1u);
    EXPECT_EQ(book.Rounds().rounds, 3u);

    const auto samples = book.Samples();
    EXPECT_EQ(SampleOf(samples, "A").polls, 2u);
    EXPECT_EQ(SampleOf(samples, "C").polls, 1u);
    EXPECT_EQ(SampleOf(samples, "C").failures, 1u);
    EXPECT_EQ(SampleOf(samples, "C").durationMs, 1500);
    EXPECT_FALSE(SampleOf(samples, "C").up);
    // A round with nobody to poll ends as it starts.
    PollBook empty;
    EXPECT_TRUE(empty.StartRound(0).empty());
    EXPECT_EQ(empty.Rounds().lastRoundMs, 0);
    EXPECT_TRUE(empty.StartRound(1000).empty());
    EXPECT_EQ(empty.Rounds().late, 0u);
}

TEST(PollBook, PrintersKeptAcrossAListChangeKeepTheirFiguresAndThoseGoneAreForgotten) {
    PollBook book;
    book.SetPrinters(Printers({"A", "B"}), 0);
    auto round = book.StartRound(0);
    book.Finished(IdOf(round, "A"), kAnswered, 0, 30);
    const PollBook::Id b = IdOf(round, "B");
    // B leaves while its poll runs: the round ends then, and its result counts for nothing.
    book.SetPrinters({{"A", "00:1A:2B:3C:4D:5E", "KP70 E-II"}, {"D", "", "KP70 E-II"}}, 70);
    EXPECT_EQ(book.Rounds().lastRoundMs, 70);
    EXPECT_FALSE(book.Watches(b));
    EXPECT_FALSE(book.Finished(b, kSilent, 0, 100));

    const auto samples = book.Samples();
    ASSERT_EQ(samples.size(), 2u);
    EXPECT_EQ(samples[0].printer, "A");
    EXPECT_EQ(samples[0].polls, 1u);
    EXPECT_EQ(samples[0].mac, "00:1A:2B:3C:4D:5E");
    EXPECT_EQ(samples[1].printer, "D");
    EXPECT_FALSE(samples[1].polled);

    // A printer that comes back is a new one: nothing of its earlier figures.
    book.SetPrinters(Printers({"A", "D", "B"}), 80);
    EXPECT_EQ(SampleOf(book.Samples(), "B").polls, 0u);
    round = book.StartRound(1000);
    EXPECT_NE(IdOf(round, "B"), b);
}

TEST(PollBook, NotesWhenAPrinterStopsOrStartsAnswering) {
    struct Row {
        std::vector<bool> answered;
        std::vector<bool> noted;
    };
    const Row rows[] = {
        // A first poll answered is no news; one that is not answered is.
        {{true, true, false, false, true}, {false, false, true, false, true}},
        {{false, false, true}, {true, false, true}},
    };
    for (const Row& row : rows) {
        PollBook book;
        book.SetPrinters(Printers({"A"}), 0);
        std::vector<bool> noted;
        std::int64_t t = 0;
        for (bool answered : row.answered) {
            const auto round = book.StartRound(t);
            noted.push_back(
                book.Finished(round.at(0).id, answered ? kAnswered : kSilent, t, t + 5));
            t += 1000;
        }
        EXPECT_EQ(noted, row.noted);
    }
}

}  // namespace
}  // namespace kp70
