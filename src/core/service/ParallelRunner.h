#pragma once

// Runs one piece of work per printer, several at once, for provisioning: a fixed number of
// worker threads take the next printer as they finish the last, so a slow or silent printer
// holds one worker and never the others. The work itself decides success; a failing or
// throwing piece of work never stops the rest. A cancel stops the start of further work.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app/CancelToken.h"

namespace kp70 {

class Clock;

// One printer's line of the final table.
struct ProvisionRow {
    enum class Status { Done, Failed, Cancelled, NotStarted };

    std::string printer;  // "192.168.0.20:6001"
    int settingsWritten = 0;
    int logosStored = 0;
    Status status = Status::NotStarted;
    std::int64_t ms = 0;  // how long it took
    std::string error;
};

// "done", "failed", "cancelled", "not started".
const char* StatusText(ProvisionRow::Status status);

// The positions of printers that name each printer once, in the order first given: a
// printer given twice (--net A --net A, "A" and "a" for a host name) or found by two
// searches at once is provisioned by one job, never by two at the same time.
std::vector<std::size_t> FirstOfEachPrinter(const std::vector<std::string>& printers);

// Calls work(i) for each of `count` items on up to `jobs` threads (at least 1, at most
// count), each row timed on clock; finished(row) is called as each ends (from the worker's
// thread, one call at a time). Items not started when cancel is set are NotStarted. An
// exception out of work fails its row with its text. Returns the rows in item order.
std::vector<ProvisionRow> RunInParallel(
    const std::vector<std::string>& printers, int jobs, Clock& clock, const CancelToken& cancel,
    const std::function<ProvisionRow(std::size_t index, const CancelToken& cancel)>& work,
    const std::function<void(const ProvisionRow&)>& finished = {});

}  // namespace kp70
