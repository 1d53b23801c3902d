#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "core/setup/SetupReplyParser.h"

namespace kp70 {

class Clock;
class SettingListener;

// The setup receive thread: takes received bytes one at a time from a byte source, feeds
// the reply parser and hands each reply the mapping accepts to the listener, waiting until
// the listener has applied it. When the source is empty it sleeps kPollMs on its clock.
class SetupReceiveThread {
public:
    // Returns true with the next byte, false when nothing is waiting. Called on the receive
    // thread only (and by DiscardPending, never at the same time).
    using ByteSource = std::function<bool(std::uint8_t&)>;

    static constexpr int kPollMs = 10;

    SetupReceiveThread(ByteSource source, SettingListener& listener, Clock& clock);
    ~SetupReceiveThread();
    SetupReceiveThread(const SetupReceiveThread&) = delete;
    SetupReceiveThread& operator=(const SetupReceiveThread&) = delete;

    // Starts the thread; false when it cannot be created.
    bool Start();
    // Asks the thread to end, lets a hand-off under way return (CancelDelivery) and waits
    // for the thread. Safe to call when it is not running.
    void Stop();
    bool IsRunning() const { return m_thread.joinable(); }

    // Throws away every byte the source holds and a partly parsed reply.
    void DiscardPending();

    // Received flags: set after the listener applied a reply for the setting.
    bool Received(int number) const;
    // True when any reply was applied since the flags were last cleared.
    bool AnyReceived() const { return m_anyReceived.load(); }
    void ClearReceived();
    // True while the source delivered a byte at the last attempt (it may hold more).
    bool SourceBusy() const { return m_sourceBusy.load(); }

private:
    void Run();

    ByteSource m_source;
    SettingListener& m_listener;
    Clock& m_clock;
    SetupReplyParser m_parser;
    std::mutex m_consumeMutex;  // the source and the parser
    std::mutex m_handOffMutex;  // m_stop against m_handingOff
    bool m_stop = false;
    bool m_handingOff = false;
    std::atomic<bool> m_sourceBusy{false};
    std::array<std::atomic<bool>, 256> m_received{};
    std::atomic<bool> m_anyReceived{false};
    std::thread m_thread;
};

}  // namespace kp70
