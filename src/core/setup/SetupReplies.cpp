#include "core/setup/SetupReplies.h"

#include "core/app/CancelToken.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

SetupReplies::SetupReplies(PrinterLink& link, SettingListener& listener, Clock& receiveClock)
    : m_link(link),
      m_receiveClock(receiveClock),
      m_thread([this](std::uint8_t& byte) { return NextByte(byte); }, listener, receiveClock) {}

bool SetupReplies::NextByte(std::uint8_t& byte) {
    std::lock_guard lock(m_takeMutex);
    if (m_hold) return false;
    if (m_next >= m_inbox.size()) {
        m_inbox.clear();
        m_next = 0;
        m_link.TakeReplies(m_inbox);
        if (m_inbox.empty()) return false;
    }
    byte = m_inbox[m_next++];
    ++m_bytesTaken;
    return true;
}

bool SetupReplies::Busy() const {
    {
        std::lock_guard lock(m_takeMutex);
        if (m_next < m_inbox.size()) return true;
    }
    return m_thread.SourceBusy() || m_link.RepliesPending();
}

bool SetupReplies::WaitForQuiet(const CancelToken& cancel, const std::function<bool()>& resting) {
    for (int waited = 0; waited < kQuietLimitMs; waited += kQuietMs) {
        const long long before = m_bytesTaken.load();
        if (!SleepUnlessCancelled(m_receiveClock, kQuietMs, cancel)) return false;
        if (m_bytesTaken.load() == before && !Busy() && !(resting && resting())) return true;
    }
    return false;
}

StatusReport SetupReplies::QueryStatus(Clock& clock, const CancelToken& cancel, int answerBoundMs,
                                       const std::function<bool()>& resting) {
    // The status session reads only status blocks there; the replies stay with the thread.
    if (m_link.ReportsStatusItself())
        return StatusSession(m_link, clock, answerBoundMs).Query(cancel);
    StatusReport report;
    report.boundMs = answerBoundMs;
    report.problem = StatusReport::Problem::SendFailed;
    if (!WaitForQuiet(cancel, resting)) {
        if (cancel.Cancelled()) report.problem = StatusReport::Problem::Cancelled;
        return report;
    }
    {
        std::lock_guard lock(m_takeMutex);
        m_hold = true;
    }
    report = StatusSession(m_link, clock, answerBoundMs).Query(cancel);
    std::lock_guard lock(m_takeMutex);
    m_hold = false;
    return report;
}

}  // namespace kp70
