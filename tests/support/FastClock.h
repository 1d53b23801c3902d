#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include "core/app/Clock.h"

namespace kp70::test {

// A Clock for threads that poll (receive threads, bounded waits) in tests: each SleepFor
// advances its own time by the full amount but really sleeps only a tenth of it (at least
// 50 us), so polling threads neither spin nor slow the test down, and a bounded wait of N ms
// gives up after about N/10 ms of real time. Sequence waits use VirtualClock instead.
class FastClock : public Clock {
public:
    std::int64_t Now() override { return m_now.load(); }
    void SleepFor(std::int64_t ms) override {
        if (ms > 0) m_now += ms;
        std::this_thread::sleep_for(std::chrono::microseconds(ms > 0 ? ms * 100 : 50));
    }
    std::tm LocalTime() override { return std::tm{}; }

private:
    std::atomic<std::int64_t> m_now{0};
};

}  // namespace kp70::test
