#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLink;
class SetupReplies;

// "Get Value" on a parallel port, where a printer answers only what it is asked for while
// the controller reads: status back off, then every setting's request followed by a read
// request, then the read timer. After 3000 ms, and every 2000 ms after that, whatever has
// not answered is asked again, until every setting has; replies still being taken apart
// make the timer look again later instead. The end stops the receive thread and the reader
// and sends the trailer.
class ParallelRead {
public:
    static constexpr int kFirstTimerMs = 3000;
    static constexpr int kRepeatTimerMs = 2000;
    // The timer is waited for in slices, so a close need not wait for a whole period.
    static constexpr int kTimerSliceMs = 100;

    enum class Step {
        Waiting,       // the timer runs
        Done,          // every setting answered: the read has ended
        WriteFailed,   // a request of the first pass (or status back off) was not written
        ThreadFailed,  // the reader or the receive thread did not start
        RepeatFailed,  // a repeated request was not written: the read stops where it stands
        Cancelled,     // the cancel or the time limit ended it
    };

    ParallelRead(PrinterLink& link, SetupReplies& replies, const std::vector<int>& readList);

    // Sends the first pass and arms the timer (kFirstTimerMs).
    Step Begin(const CancelToken& cancel);
    // The timer fired.
    Step OnTimer(const CancelToken& cancel);
    // Runs the timer on clock until the read ends, the cancel comes or timeLimitMs (when
    // not 0) would pass.
    Step Finish(Clock& clock, const CancelToken& cancel, std::int64_t timeLimitMs);
    // Ends a read that has not completed.
    void Cancel();
    // The period of the armed timer in ms, 0 when none runs.
    int TimerMs() const { return m_timerMs.load(); }

private:
    bool Write(const std::vector<std::uint8_t>& bytes, const CancelToken& cancel);

    PrinterLink& m_link;
    SetupReplies& m_replies;
    const std::vector<int>& m_readList;
    std::atomic<int> m_timerMs{0};
};

}  // namespace kp70
