#include "core/setup/ParallelRead.h"

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupReplies.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

ParallelRead::ParallelRead(PrinterLink& link, SetupReplies& replies,
                           const std::vector<int>& readList)
    : m_link(link), m_replies(replies), m_readList(readList) {}

bool ParallelRead::Write(const std::vector<std::uint8_t>& bytes, const CancelToken& cancel) {
    return m_link.Send(bytes, cancel).Complete(static_cast<int>(bytes.size()));
}

ParallelRead::Step ParallelRead::Begin(const CancelToken& cancel) {
    m_timerMs = 0;
    SetupReceiveThread& thread = m_replies.Thread();
    thread.Stop();  // a read that was given up
    if (!Write(setup::StatusBackOff(), cancel)) return Step::WriteFailed;
    for (int number : m_readList) {
        if (!Write(setup::ReadOneSetting(number), cancel)) return Step::WriteFailed;
        if (!m_link.RequestReplies()) return Step::ThreadFailed;
    }
    thread.ClearReceived();
    if (!thread.Start()) return Step::ThreadFailed;
    m_timerMs = kFirstTimerMs;
    return Step::Waiting;
}

ParallelRead::Step ParallelRead::OnTimer(const CancelToken& cancel) {
    if (m_timerMs.exchange(0) == 0) return Step::Done;
    // Replies still being taken apart: look again later rather than ask twice.
    if (m_replies.Busy()) {
        m_timerMs = kRepeatTimerMs;
        return Step::Waiting;
    }
    SetupReceiveThread& thread = m_replies.Thread();
    bool repeated = false;
    for (int number : m_readList) {
        if (thread.Received(number)) continue;
        if (!Write(setup::ReadOneSetting(number), cancel)) return Step::RepeatFailed;
        m_link.RequestReplies();
        repeated = true;
    }
    if (repeated) {
        m_timerMs = kRepeatTimerMs;
        return Step::Waiting;
    }
    thread.Stop();
    m_link.StopReplies();
    Write(setup::ReadTrailer(), cancel);
    return Step::Done;
}

ParallelRead::Step ParallelRead::Finish(Clock& clock, const CancelToken& cancel,
                                        std::int64_t timeLimitMs) {
    const std::int64_t deadline = timeLimitMs > 0 ? clock.Now() + timeLimitMs : -1;
    Step step = Step::Waiting;
    while (step == Step::Waiting) {
        const int period = m_timerMs.load();
        if (period <= 0) return Step::Done;
        const bool limited = deadline >= 0 && clock.Now() + period > deadline;
        if (limited || !SleepUnlessCancelled(clock, period, cancel, kTimerSliceMs)) {
            Cancel();
            return Step::Cancelled;
        }
        step = OnTimer(cancel);
    }
    return step;
}

void ParallelRead::Cancel() {
    m_timerMs = 0;
    m_replies.Thread().Stop();
    m_link.StopReplies();
}

}  // namespace kp70
