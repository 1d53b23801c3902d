#include "core/app/VirtualClock.h"

#include <numeric>

namespace kp70 {

std::int64_t VirtualClock::Now() {
    std::lock_guard lock(m_mutex);
    return m_now;
}

void VirtualClock::SleepFor(std::int64_t ms) {
    std::lock_guard lock(m_mutex);
    m_sleeps.push_back(ms);
    if (ms > 0) m_now += ms;
}

std::tm VirtualClock::LocalTime() {
    std::lock_guard lock(m_mutex);
    return m_local;
}

void VirtualClock::Advance(std::int64_t ms) {
    std::lock_guard lock(m_mutex);
    m_now += ms;
}

std::vector<std::int64_t> VirtualClock::Sleeps() const {
    std::lock_guard lock(m_mutex);
    return m_sleeps;
}

std::int64_t VirtualClock::TotalSlept() const {
    std::lock_guard lock(m_mutex);
    return std::accumulate(m_sleeps.begin(), m_sleeps.end(), std::int64_t{0});
}

void VirtualClock::ClearSleeps() {
    std::lock_guard lock(m_mutex);
    m_sleeps.clear();
}

void VirtualClock::SetLocalTime(const std::tm& tm) {
    std::lock_guard lock(m_mutex);
    m_local = tm;
}

}  // namespace kp70
