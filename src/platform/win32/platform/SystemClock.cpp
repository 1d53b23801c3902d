#include "platform/SystemClock.h"

#include <windows.h>

#include <timeapi.h>

#include <cmath>
#include <cstdlib>
#include <thread>

namespace kp70 {

namespace {

// The system's timer runs at 15.6 ms unless a program asks for finer steps; the pacing of
// the printer sequences (5 ms wait slices, 50 ms packet pauses) asks for 1 ms while the
// program runs.
struct FineTimer {
    FineTimer() { ::timeBeginPeriod(1); }
    ~FineTimer() { ::timeEndPeriod(1); }
};

}  // namespace

SystemClock::SystemClock(double scale) : m_scale(scale > 0.0 && scale <= 1.0 ? scale : 1.0) {
    static FineTimer timer;
}

std::int64_t SystemClock::Now() {
    using namespace std::chrono;
    const auto real = steady_clock::now().time_since_epoch();
    if (m_scale == 1.0) return duration_cast<milliseconds>(real).count();
    return static_cast<std::int64_t>(duration<double, std::milli>(real).count() / m_scale);
}

void SystemClock::SleepFor(std::int64_t ms) {
    if (ms <= 0) return;
    if (m_scale == 1.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return;
    }
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::llround(static_cast<double>(ms) * 1000.0 * m_scale)));
}

std::tm SystemClock::LocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_s(&tm, &now);
    return tm;
}

double SystemClock::ScaleFromText(const char* text) {
    if (!text || !*text) return 1.0;
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(scale > 0.0 && scale <= 1.0)) return 1.0;
    return scale;
}

}  // namespace kp70
