#pragma once

#include "core/app/Clock.h"

namespace kp70 {

// The real clock: a monotonic millisecond count, real sleeps and the local time.
//
// A scale below 1 makes time run 1/scale times fast: SleepFor(ms) sleeps ms * scale and
// Now() advances by the real time passed divided by scale. Only scripted end-to-end runs use
// it (kp70ctl under KP70_TEST_TIME_SCALE, next to kp70sim --time-scale with the same value),
// so every wait and time-out keeps its proportions, only sooner.
class SystemClock : public Clock {
public:
    explicit SystemClock(double scale = 1.0);

    std::int64_t Now() override;
    void SleepFor(std::int64_t ms) override;
    std::tm LocalTime() override;

    // The scale a test run asks for in `text` (0 < scale <= 1); 1 for anything else.
    static double ScaleFromText(const char* text);

private:
    double m_scale;
};

}  // namespace kp70
