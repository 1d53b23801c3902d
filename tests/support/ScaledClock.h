#pragma once

#include <chrono>
#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/app/Clock.h"

namespace kp70::test {

// The pace at which end-to-end tests run the tool and the virtual printer: a tenth of real
// time. Slow enough that replies of another process still arrive well within the tool's
// shortened time-outs, fast enough that a printer reset costs a few hundred milliseconds.
inline constexpr double kE2eTimeScale = 0.1;

// A Clock on which time runs 1/scale times faster than real time: SleepFor(ms) really
// sleeps ms * scale, and Now() advances by the real time passed divided by scale. Every
// wait, pause and time-out of a sequence keeps its proportions, so a tool on this clock and
// kp70sim started with the same --time-scale still meet each other's timing (the tool's
// 4 s wait after a parallel write still outlasts the printer's 3 s reset), only sooner.
class ScaledClock : public Clock {
public:
    explicit ScaledClock(double scale = kE2eTimeScale) : m_scale(scale) {}

    std::int64_t Now() override {
        const std::chrono::duration<double, std::milli> real =
            std::chrono::steady_clock::now() - m_origin;
        return static_cast<std::int64_t>(real.count() / m_scale);
    }
    void SleepFor(std::int64_t ms) override {
        if (ms <= 0) return;
        std::this_thread::sleep_for(
            std::chrono::microseconds(std::llround(static_cast<double>(ms) * 1000.0 * m_scale)));
    }
    std::tm LocalTime() override { return std::tm{}; }

    double Scale() const { return m_scale; }

    // The kp70sim arguments that make the virtual printer keep the same pace.
    std::vector<std::string> SimArgs() const {
        std::ostringstream text;
        text.imbue(std::locale::classic());
        text << m_scale;
        return {"--time-scale", text.str()};
    }

private:
    double m_scale;
    std::chrono::steady_clock::time_point m_origin = std::chrono::steady_clock::now();
};

}  // namespace kp70::test
