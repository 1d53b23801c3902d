#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "core/setup/SetupReceiveThread.h"
#include "core/status/StatusSession.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLink;
class SettingListener;

// The receiving side of a setup session: the setup receive thread, which takes what the
// link received, feeds the reply parser and hands each reply to the listener; and the
// status query between operations, which holds the thread off the link while the four
// status answers come in, so they reach the status session and not the reply parser.
class SetupReplies {
public:
    // A status query waits for this long a quiet link, so no reply of a read is taken for a
    // status answer, and gives up after the limit.
    static constexpr int kQuietMs = 500;
    static constexpr int kQuietLimitMs = 5000;

    SetupReplies(PrinterLink& link, SettingListener& listener, Clock& receiveClock);
    SetupReplies(const SetupReplies&) = delete;
    SetupReplies& operator=(const SetupReplies&) = delete;

    SetupReceiveThread& Thread() { return m_thread; }
    // Throws away what was received and not parsed, and a partly parsed reply.
    void DiscardPending() { m_thread.DiscardPending(); }
    // True while received bytes wait to be parsed, here or in the link.
    bool Busy() const;

    // Asks the printer for its status over the open link. Over a parallel port only a block
    // the printer sent by itself counts, and nothing is held. Elsewhere it first waits until
    // nothing has come for kQuietMs and `resting` (the network printer's rest after a read)
    // is over, giving up with nothing known after kQuietLimitMs of traffic.
    StatusReport QueryStatus(Clock& clock, const CancelToken& cancel, int answerBoundMs,
                             const std::function<bool()>& resting);

private:
    bool NextByte(std::uint8_t& byte);
    bool WaitForQuiet(const CancelToken& cancel, const std::function<bool()>& resting);

    PrinterLink& m_link;
    Clock& m_receiveClock;
    mutable std::mutex m_takeMutex;  // the inbox, and the hold for a status query
    std::vector<std::uint8_t> m_inbox;
    std::size_t m_next = 0;
    bool m_hold = false;
    std::atomic<long long> m_bytesTaken{0};
    SetupReceiveThread m_thread;  // last: it stops before the rest goes
};

}  // namespace kp70
