#include "core/setup/SettingsCollector.h"

#include <algorithm>

#include "core/app/Clock.h"
#include "core/setup/ReplyMapping.h"

namespace kp70 {

void SettingsCollector::OnSettingReceived(const SetupReply& reply) {
    std::lock_guard lock(m_mutex);
    if (ApplyReply(m_values, reply))
        m_clean[static_cast<std::size_t>(reply.number & 0xFF)] = IsCleanReply(reply);
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

std::vector<int> SettingsCollector::Unclean(const std::vector<int>& numbers) const {
    std::lock_guard lock(m_mutex);
    std::vector<int> unclean;
    for (int n : numbers) {
        const auto i = static_cast<std::size_t>(n & 0xFF);
        if (!m_values.received[i] || !m_clean[i]) unclean.push_back(n);
    }
    return unclean;
}

std::vector<int> SettingsCollector::UncleanForWrite(const std::vector<int>& blockSettings,
                                                    const std::vector<int>& setByOperator) const {
    std::vector<int> fromReplies;
    for (int number : blockSettings) {
        if (std::find(setByOperator.begin(), setByOperator.end(), number) == setByOperator.end())
            fromReplies.push_back(number);
    }
    return Unclean(fromReplies);
}

bool SettingsCollector::WaitFor(const std::vector<int>& numbers, Clock& clock, int timeoutMs,
                                const CancelToken& cancel) const {
    const std::int64_t deadline = clock.Now() + timeoutMs;
    for (;;) {
        if (Missing(numbers).empty()) return true;
        if (clock.Now() >= deadline || cancel.Cancelled()) return false;
        clock.SleepFor(10);
    }
}

Outcome CollectSettings(SetupSession& session, SettingsCollector& collector, Clock& clock,
                        int timeoutMs, std::vector<int>& missing, const CancelToken& cancel) {
    missing.clear();
    const std::int64_t deadline = clock.Now() + timeoutMs;
    Outcome outcome = session.Read(cancel, timeoutMs);
    if (outcome.status == OutcomeStatus::Failed) return outcome;
    if (cancel.Cancelled()) {
        outcome.status = OutcomeStatus::Cancelled;
        return outcome;
    }
    // A parallel-port read given up at the time limit: what did not answer is missing.
    if (outcome.status == OutcomeStatus::Cancelled) outcome.status = OutcomeStatus::Done;
    const std::vector<int>& numbers = session.ReadList();
    if (session.AnyReplyReceived()) {
        const std::int64_t left = deadline - clock.Now();
        collector.WaitFor(numbers, clock, left > 0 ? static_cast<int>(left) : 0, cancel);
    }
    missing = collector.Missing(numbers);
    return outcome;
}

}  // namespace kp70
