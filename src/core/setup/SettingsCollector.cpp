#include "core/setup/SettingsCollector.h"

#include "core/app/Clock.h"
#include "core/setup/ReplyMapping.h"

namespace kp70 {

void SettingsCollector::OnSettingReceived(const SetupReply& reply) {
    std::lock_guard lock(m_mutex);
    ApplyReply(m_values, reply);
}

SetupValues SettingsCollector::Values() const {
    std::lock_guard lock(m_mutex);
    return m_values;
}

std::vector<int> SettingsCollector::Missing(const std::vector<int>& numbers) const {
    std::lock_guard lock(m_mutex);
    std::vector<int> missing;
    for (int n : numbers)
        if (!m_values.received[static_cast<std::size_t>(n & 0xFF)]) missing.push_back(n);
    return missing;
}

bool SettingsCollector::WaitFor(const std::vector<int>& numbers, Clock& clock,
                                int timeoutMs) const {
    const std::int64_t deadline = clock.Now() + timeoutMs;
    for (;;) {
        if (Missing(numbers).empty()) return true;
        if (clock.Now() >= deadline) return false;
        clock.SleepFor(10);
    }
}

SetupOutcome CollectSettings(SetupSession& session, SettingsCollector& collector, Clock& clock,
                             int timeoutMs, std::vector<int>& missing) {
    missing.clear();
    SetupOutcome outcome = session.ReadSettings();
    if (!outcome.ok()) return outcome;
    const std::vector<int>& numbers = session.ReadList();
    const std::int64_t deadline = clock.Now() + timeoutMs;

    // The parallel port: the read ends when its timer finds every setting answered.
    while (outcome.status == SetupStatus::Reading) {
        const int period = session.ReadTimerMs();
        if (period <= 0) break;
        if (clock.Now() + period > deadline) {
            session.CancelRead();
            missing = collector.Missing(numbers);
            return SetupOutcome{};
        }
        clock.SleepFor(period);
        outcome = session.OnReadTimer();
        if (outcome.status == SetupStatus::Failed) {
            session.CancelRead();
            return outcome;
        }
    }
    const std::int64_t left = deadline - clock.Now();
    collector.WaitFor(numbers, clock, left > 0 ? static_cast<int>(left) : 0);
    missing = collector.Missing(numbers);
    return outcome;
}

}  // namespace kp70
