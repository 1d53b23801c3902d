#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/monitor/PollBook.h"

namespace kp70 {

class CancelToken;
class Clock;

// Polls many printers in rounds every interval on the Clock, at most maxParallel at once,
// and answers with their metrics at any moment. Each poll runs on a worker thread (made as
// a round needs them, never more than maxParallel), so a printer that is slow to answer
// holds one worker for its time-out while the others go on; the round's pace is kept by
// the thread that calls Run, which waits for nobody.
//
// Threads: SetPrinters and Metrics may be called from any thread, also while Run runs; the
// poll functions are called each on its worker, the note function on any worker, several
// at once.
class FleetMonitor {
public:
    // Asks one printer; it must end soon after cancel is set.
    using Poll = std::function<PollResult(const MonitoredPrinter&, const CancelToken& cancel)>;
    // Makes the poll function of one worker, once, on the worker's thread: what it keeps
    // (the port objects and streams of a connection) serves every printer the worker polls,
    // so a poll makes nothing but its connection.
    using MakePoll = std::function<Poll()>;
    // Told when a poll changed whether the printer answers (see PollBook::Finished).
    using Note = std::function<void(const MonitoredPrinter&, const PollResult&)>;

    FleetMonitor(Clock& clock, MakePoll makePoll, int maxParallel, std::int64_t intervalMs,
                 Note note = {});
    ~FleetMonitor();
    FleetMonitor(const FleetMonitor&) = delete;
    FleetMonitor& operator=(const FleetMonitor&) = delete;

    // The printers to watch from the next round on (PollBook::SetPrinters).
    void SetPrinters(const std::vector<MonitoredPrinter>& printers);

    // Starts a round every intervalMs until cancel is set, calling beforeRound first in each
    // (where the caller looks for a changed list of printers). A round that could not start
    // on time (beforeRound took long) is left out, not made up for. Returns once cancel is
    // set and every poll under way has ended. Called once.
    void Run(const CancelToken& cancel, const std::function<void()>& beforeRound = {});

    // RenderMetrics of the figures as they stand: each printer's from its last poll that
    // ended, never half of one.
    std::string Metrics() const;
    std::size_t PrinterCount() const;
    // The worker threads made so far.
    std::size_t Workers() const;

private:
    void Work(const CancelToken& cancel);
    void StopWorkers();

    Clock& m_clock;
    MakePoll m_makePoll;
    std::size_t m_maxParallel;
    std::int64_t m_intervalMs;
    Note m_note;

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    PollBook m_book;
    std::deque<PollBook::Job> m_queue;
    std::vector<std::thread> m_workers;
    std::size_t m_idle = 0;  // workers waiting for a job
    bool m_stopping = false;
};

}  // namespace kp70
