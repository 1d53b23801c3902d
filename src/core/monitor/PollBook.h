#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/monitor/MonitorMetrics.h"
#include "core/status/PrinterStatus.h"

namespace kp70 {

// A printer the exporter watches.
struct MonitoredPrinter {
    std::string name;   // "HOST:PORT"
    std::string mac;    // from discovery; empty when not known
    std::string model;  // the DEVICE entry it is polled as
};

// What one poll of a printer found.
struct PollResult {
    bool answered = false;  // every status request got a status answer
    PrinterStatus status;   // what the answers said
    std::string problem;    // why not, in words: "no answer within 1000 ms"
};

// The bookkeeping of the poll rounds, without threads or a clock of its own: which printers
// a round polls, the figures each printer's polls leave, and the rounds' own figures. The
// caller passes the time and keeps it behind one lock.
//
// A round polls every printer whose last poll has ended; one still being polled (a silent
// printer waits out its time-out) is left out rather than asked twice, so it holds one
// poll and never the rest. A round has ended when every poll it started has; one that has
// not when the next is due counts as late.
class PollBook {
public:
    using Id = std::uint64_t;
    struct Job {
        Id id;
        MonitoredPrinter printer;
    };

    // The printers to watch from now on. A printer already watched (same name) keeps its
    // figures and takes the MAC address and model given; a new one starts unpolled; one no
    // longer given is dropped at `now`, and its poll still under way is forgotten when it
    // ends.
    void SetPrinters(const std::vector<MonitoredPrinter>& printers, std::int64_t now);

    // Starts a round at `now`: the printers to poll, each now under way.
    std::vector<Job> StartRound(std::int64_t now);

    // A poll that began at `start` ended at `end`. True when it changed whether the printer
    // answers, a first poll counting as a change from answering: the moments worth a line
    // in the log. A poll of a printer no longer watched changes nothing (false).
    bool Finished(Id id, const PollResult& result, std::int64_t start, std::int64_t end);

    // Whether the poll `id` is of a printer still watched, so still worth asking.
    bool Watches(Id id) const;

    std::vector<PrinterSample> Samples() const;
    RoundFigures Rounds() const { return m_figures; }
    std::size_t Size() const { return m_entries.size(); }

private:
    struct Entry {
        Id id = 0;
        PrinterSample sample;
        bool busy = false;
        std::uint64_t round = 0;  // the round its poll under way belongs to
    };
    void EndOfPoll(std::uint64_t round, std::int64_t now);

    std::vector<Entry> m_entries;
    Id m_nextId = 1;
    RoundFigures m_figures;
    bool m_roundOpen = false;
    std::int64_t m_roundStart = 0;
    std::size_t m_outstanding = 0;  // polls of the current round under way
};

}  // namespace kp70
