#include "core/monitor/PollBook.h"

#include <algorithm>

namespace kp70 {

void PollBook::SetPrinters(const std::vector<MonitoredPrinter>& printers, std::int64_t now) {
    std::vector<Entry> entries;
    entries.reserve(printers.size());
    for (const MonitoredPrinter& printer : printers) {
        auto kept = std::find_if(m_entries.begin(), m_entries.end(),
                                 [&](const Entry& e) { return e.sample.printer == printer.name; });
        Entry entry;
        if (kept != m_entries.end()) {
            entry = std::move(*kept);
            m_entries.erase(kept);
        } else {
            entry.id = m_nextId++;
            entry.sample.printer = printer.name;
        }
        entry.sample.mac = printer.mac;
        entry.sample.model = printer.model;
        entries.push_back(std::move(entry));
    }
    // What is left is no longer watched: its poll under way no longer holds up the round.
    for (const Entry& gone : m_entries) {
        if (gone.busy) EndOfPoll(gone.round, now);
    }
    m_entries = std::move(entries);
}

std::vector<PollBook::Job> PollBook::StartRound(std::int64_t now) {
    if (m_roundOpen) ++m_figures.late;
    ++m_figures.rounds;
    m_roundOpen = true;
    m_roundStart = now;
    m_outstanding = 0;
    std::vector<Job> jobs;
    for (Entry& entry : m_entries) {
        if (entry.busy) continue;
        entry.busy = true;
        entry.round = m_figures.rounds;
        ++m_outstanding;
        jobs.push_back({entry.id, {entry.sample.printer, entry.sample.mac, entry.sample.model}});
    }
    if (m_outstanding == 0) EndOfPoll(m_figures.rounds, now);
    return jobs;
}

void PollBook::EndOfPoll(std::uint64_t round, std::int64_t now) {
    // Polls of an earlier round, late ones, no longer decide when this round ends.
    if (!m_roundOpen || round != m_figures.rounds) return;
    if (m_outstanding > 0) --m_outstanding;
    if (m_outstanding > 0) return;
    m_roundOpen = false;
    m_figures.lastRoundMs = now - m_roundStart;
}

bool PollBook::Finished(Id id, const PollResult& result, std::int64_t start, std::int64_t end) {
    auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                              [id](const Entry& e) { return e.id == id; });
    if (entry == m_entries.end() || !entry->busy) return false;
    entry->busy = false;
    PrinterSample& s = entry->sample;
    const bool wasUp = !s.polled || s.up;
    s.polled = true;
    s.up = result.answered;
    s.status = result.status;
    s.durationMs = end - start;
    ++s.polls;
    if (!result.answered) ++s.failures;
    EndOfPoll(entry->round, end);
    return wasUp != s.up;
}

bool PollBook::Watches(Id id) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [id](const Entry& e) { return e.id == id && e.busy; });
}

std::vector<PrinterSample> PollBook::Samples() const {
    std::vector<PrinterSample> samples;
    samples.reserve(m_entries.size());
    for (const Entry& entry : m_entries) samples.push_back(entry.sample);
    return samples;
}

}  // namespace kp70
