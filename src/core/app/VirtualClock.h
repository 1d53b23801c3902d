#pragma once

#include <mutex>
#include <vector>

#include "core/app/Clock.h"

namespace kp70 {

// A Clock for tests: SleepFor records the requested wait and advances time at once.
// Thread-safe, so a receive thread and the test thread may share one.
class VirtualClock : public Clock {
public:
    std::int64_t Now() override;
    void SleepFor(std::int64_t ms) override;
    std::tm LocalTime() override;

    // Advances time without recording a wait.
    void Advance(std::int64_t ms);
    // The waits requested so far, in order.
    std::vector<std::int64_t> Sleeps() const;
    // The sum of all requested waits.
    std::int64_t TotalSlept() const;
    void ClearSleeps();
    // The wall-clock time LocalTime reports (seconds are advanced with Now()).
    void SetLocalTime(const std::tm& tm);

private:
    mutable std::mutex m_mutex;
    std::int64_t m_now = 0;
    std::vector<std::int64_t> m_sleeps;
    std::tm m_local{};
};

}  // namespace kp70
