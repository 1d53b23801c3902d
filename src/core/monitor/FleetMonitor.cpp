#include "core/monitor/FleetMonitor.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"

namespace kp70 {

FleetMonitor::FleetMonitor(Clock& clock, MakePoll makePoll, int maxParallel,
                           std::int64_t intervalMs, Note note)
    : m_clock(clock),
      m_makePoll(std::move(makePoll)),
      m_maxParallel(static_cast<std::size_t>(std::max(maxParallel, 1))),
      m_intervalMs(std::max<std::int64_t>(intervalMs, 1)),
      m_note(std::move(note)) {}

FleetMonitor::~FleetMonitor() {
    StopWorkers();
}

void FleetMonitor::SetPrinters(const std::vector<MonitoredPrinter>& printers) {
    const std::int64_t now = m_clock.Now();
    std::lock_guard lock(m_mutex);
    m_book.SetPrinters(printers, now);
}

void FleetMonitor::Run(const CancelToken& cancel, const std::function<void()>& beforeRound) {
    std::int64_t next = m_clock.Now();
    while (!cancel.Cancelled()) {
        if (beforeRound) beforeRound();
        {
            std::lock_guard lock(m_mutex);
            for (PollBook::Job& job : m_book.StartRound(m_clock.Now()))
                m_queue.push_back(std::move(job));
            // One more worker for each job no idle worker will take, up to the bound.
            std::size_t wanted = m_queue.size() > m_idle ? m_queue.size() - m_idle : 0;
            // A thread the system refuses leaves the jobs to the workers there are; the next
            // round tries again.
            try {
                for (; wanted > 0 && m_workers.size() < m_maxParallel; --wanted)
                    m_workers.emplace_back([this, &cancel] { Work(cancel); });
            } catch (const std::system_error&) {
            }
        }
        m_wake.notify_all();
        const std::int64_t now = m_clock.Now();
        next += m_intervalMs;
        while (next <= now) next += m_intervalMs;
        if (!SleepUnlessCancelled(m_clock, next - now, cancel)) break;
    }
    StopWorkers();
}

void FleetMonitor::Work(const CancelToken& cancel) {
    const Poll poll = m_makePoll();
    for (;;) {
        PollBook::Job job;
        {
            std::unique_lock lock(m_mutex);
            ++m_idle;
            m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
            --m_idle;
            if (m_stopping) return;
            job = std::move(m_queue.front());
            m_queue.pop_front();
            // A printer that left while its job waited is not asked.
            if (!m_book.Watches(job.id)) continue;
        }
        const std::int64_t start = m_clock.Now();
        PollResult result;
        try {
            result = poll(job.printer, cancel);
        } catch (const std::exception& e) {
            result = {};
            result.problem = e.what();
        } catch (...) {
            result = {};
            result.problem = "unexpected error";
        }
        const std::int64_t end = m_clock.Now();
        // A poll cut short by the end of the run says nothing about the printer.
        if (cancel.Cancelled()) continue;
        bool changed = false;
        {
            std::lock_guard lock(m_mutex);
            changed = m_book.Finished(job.id, result, start, end);
        }
        if (changed && m_note) m_note(job.printer, result);
    }
}

void FleetMonitor::StopWorkers() {
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_queue.clear();
        workers.swap(m_workers);
    }
    m_wake.notify_all();
    for (std::thread& worker : workers) worker.join();
}

std::string FleetMonitor::Metrics() const {
    std::vector<PrinterSample> samples;
    RoundFigures rounds;
    {
        std::lock_guard lock(m_mutex);
        samples = m_book.Samples();
        rounds = m_book.Rounds();
    }
    return RenderMetrics(samples, rounds);
}

std::size_t FleetMonitor::PrinterCount() const {
    std::lock_guard lock(m_mutex);
    return m_book.Size();
}

std::size_t FleetMonitor::Workers() const {
    std::lock_guard lock(m_mutex);
    return m_workers.size();
}

}  // namespace kp70
