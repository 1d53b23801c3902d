#include "core/service/ParallelRunner.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

#include "core/app/Clock.h"

namespace kp70 {

const char* StatusText(ProvisionRow::Status status) {
    switch (status) {
        case ProvisionRow::Status::Done:
            return "done";
        case ProvisionRow::Status::Failed:
            return "failed";
        case ProvisionRow::Status::Cancelled:
            return "cancelled";
        case ProvisionRow::Status::NotStarted:
            break;
    }
    return "not started";
}

std::vector<std::size_t> FirstOfEachPrinter(const std::vector<std::string>& printers) {
    // Host names compare without regard to case, as the name service treats them.
    auto folded = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    std::vector<std::string> seen;
    std::vector<std::size_t> first;
    for (std::size_t i = 0; i < printers.size(); ++i) {
        std::string name = folded(printers[i]);
        if (std::find(seen.begin(), seen.end(), name) != seen.end()) continue;
        seen.push_back(std::move(name));
        first.push_back(i);
    }
    return first;
}

std::vector<ProvisionRow> RunInParallel(
    const std::vector<std::string>& printers, int jobs, Clock& clock, const CancelToken& cancel,
    const std::function<ProvisionRow(std::size_t index, const CancelToken& cancel)>& work,
    const std::function<void(const ProvisionRow&)>& finished) {
    std::vector<ProvisionRow> rows(printers.size());
    for (std::size_t i = 0; i < printers.size(); ++i) rows[i].printer = printers[i];
    std::atomic<std::size_t> next{0};
    std::mutex reportMutex;

    auto worker = [&] {
        for (;;) {
            if (cancel.Cancelled()) return;
            const std::size_t index = next.fetch_add(1);
            if (index >= printers.size()) return;
            const std::int64_t start = clock.Now();
            ProvisionRow row;
            try {
                row = work(index, cancel);
            } catch (const std::exception& e) {
                row.status = ProvisionRow::Status::Failed;
                row.error = e.what();
            } catch (...) {
                row.status = ProvisionRow::Status::Failed;
                row.error = "unexpected error";
            }
            row.printer = printers[index];
            row.ms = clock.Now() - start;
            // Each row is written by its one worker only; the lock keeps the reports apart.
            std::lock_guard lock(reportMutex);
            rows[index] = row;
            if (finished) finished(row);
        }
    };

    const std::size_t threads = std::clamp<std::size_t>(
        static_cast<std::size_t>(std::max(jobs, 1)), 1, std::max<std::size_t>(printers.size(), 1));
    std::vector<std::thread> pool;
    pool.reserve(threads);
    for (std::size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (std::thread& thread : pool) thread.join();
    return rows;
}

}  // namespace kp70
