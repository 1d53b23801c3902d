#pragma once

#include "core/app/Clock.h"

namespace kp70 {

// The real clock: a monotonic millisecond count, real sleeps and the local time.
class SystemClock : public Clock {
public:
    std::int64_t Now() override;
    void SleepFor(std::int64_t ms) override;
    std::tm LocalTime() override;
};

}  // namespace kp70
