#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>

namespace kp70 {

// Every wait, pause, time-out and timer period goes through a Clock, so that tests can run
// the printer sequences in virtual time and assert on the waits they asked for.
class Clock {
public:
    virtual ~Clock() = default;

    // Monotonic time in milliseconds since an arbitrary origin.
    virtual std::int64_t Now() = 0;

    // Blocks the calling thread for the given number of milliseconds.
    virtual void SleepFor(std::int64_t ms) = 0;

    // The local wall-clock time, used for time stamps such as the error log's prefix.
    virtual std::tm LocalTime() = 0;
};

}  // namespace kp70
