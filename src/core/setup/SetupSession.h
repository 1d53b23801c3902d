#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/app/CancelToken.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/Outcome.h"
#include "core/setup/SettingListener.h"
#include "core/setup/WriteBlock.h"
#include "core/status/StatusSession.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/Notifier.h"
#include "core/transport/ReceiveQueue.h"

namespace kp70 {

class Clock;
class NetworkLink;
class ParallelController;
class PrinterPort;
class SetupReceiveThread;
struct SetupValues;

// The connections a setup session may use; only the one its port kind needs must be given.
struct SetupLinks {
    PrinterPort* port = nullptr;     // COM, USB and the other port kinds (CPorts)
    NetworkLink* network = nullptr;  // "ETHERNET_II"
    std::string networkAddress = kDefaultPrinterAddress;
    std::uint16_t networkPort = kDefaultPrinterPort;
    ParallelController* parallel = nullptr;  // LPT: the setup tool's own controller
};

namespace setup {

// The actions of the user setup screen, for the sets an Outcome names.
inline constexpr ActionSet kGetValue = 1u << 0;
inline constexpr ActionSet kSetValue = 1u << 1;
inline constexpr ActionSet kTest = 1u << 2;
inline constexpr ActionSet kDefault = 1u << 3;
inline constexpr ActionSet kExit = 1u << 4;
// The two groups of settings can be used (the stop bit and the newer options).
inline constexpr ActionSet kSettings = 1u << 5;
// The stored settings of the left group other than the stop bit can be edited; off in the
// failed state, which lasts until the screen is opened again.
inline constexpr ActionSet kEditStored = 1u << 6;

// The first reply to a read has this long to arrive before the operator is told that the
// printer does not answer. Replies come within a few hundred ms on every port kind.
inline constexpr int kReplyBoundMs = 3000;
// What the operator is told then.
inline constexpr BilingualText kNoReply{
    "The printer did not answer within 3 seconds.\nCheck that it is switched on and "
    "connected, then read the settings again.",
    "프린터가 3초 안에 응답하지 않았습니다.\n프린터의 전원과 연결을 확인한 후 설정을 다시 "
    "읽으십시오."};

// After the last reply of a network read the printer needs a rest before the next command.
inline constexpr int kNetworkRestMs = 800;

// A status query waits for this long a quiet link, so no reply of a read is taken for a
// status answer, and gives up after the limit.
inline constexpr int kStatusQuietMs = 500;
inline constexpr int kStatusQuietLimitMs = 5000;

}  // namespace setup

// One connection to the printer for the user setup tool, on any port kind: opens it,
// reads the settings (replies reach the SettingListener from the receive thread), writes
// them, prints the test page and closes. Every operation blocks the calling thread for
// the waits of its sequence (up to several seconds), so a GUI runs them off its own thread,
// one at a time; the accessors may be called from any thread. Each outcome names the
// screen's actions (setup::kGetValue ...) available afterwards.
class SetupSession : private ReceiveListener, private SettingListener {
public:
    // clock paces the sequences; receiveClock paces the receive thread's 10 ms polls and
    // the waits for what that thread brings (the first reply, the parallel read timer).
    SetupSession(std::string portName, SetupLinks links, Clock& clock, Clock& receiveClock,
                 SettingListener& listener);
    ~SetupSession() override;
    SetupSession(const SetupSession&) = delete;
    SetupSession& operator=(const SetupSession&) = delete;

    PortKind Kind() const { return m_kind; }
    const std::string& PortName() const { return m_portName; }

    // Opens the connection as the setup screen does when it opens (messages 2, 20, 24, 52;
    // a failure closes the screen).
    Outcome Start();

    // "Get Value": sends the read requests of the port kind and waits for the answers as
    // the port kind does. On the parallel port the read timer repeats what has not answered
    // until everything has, or until the cancel (or timeLimitMs, when not 0) ends the read.
    // On the other ports it waits only for the first reply, up to setup::kReplyBoundMs
    // whatever the time limit; no reply at all is said with setup::kNoReply. The replies
    // reach the listener meanwhile and afterwards.
    Outcome Read(const CancelToken& cancel, std::int64_t timeLimitMs = 0);
    // The actions a screen offers while Read runs: everything on COM, USB and the network;
    // on the parallel port only the settings, the buttons wait.
    ActionSet ActionsDuringRead() const;

    // The steps of Read, for tests and callers with their own pacing. ReadSettings sends the
    // requests (messages 60, 22, 52); on the parallel port the result is Waiting and the
    // read timer runs (ReadTimerMs, OnReadTimer).
    Outcome ReadSettings();
    // The settings this port kind asks for, in request order.
    const std::vector<int>& ReadList() const;
    // True when "Get Value" may be used (not in the parallel controller's legacy mode).
    bool ReadAllowed() const;
    // True when a reply was handed to the listener since the last read began.
    bool AnyReplyReceived() const;

    // Parallel port: the period of the armed read timer in ms, 0 when none runs.
    int ReadTimerMs() const { return m_timerMs.load(); }
    // The read timer fired: repeats unanswered requests (timer 2000 ms) or ends the read
    // (Done). A repeated request that cannot be written gives the literal
    // "GetValueCmd Fail!" and no timer.
    Outcome OnReadTimer();
    // Ends a parallel-port read that has not completed.
    void CancelRead();

    // The printer needs a rest of setup::kNetworkRestMs after the last reply of a network
    // read before the next command: what is left of it now, in ms (0 when none is due).
    // Every operation that sends waits it out first, so no caller can forget it.
    std::int64_t RestRemainingMs() const;
    // Waits out the rest (unless cancelled); meanwhile Default, Get Value and Set Value
    // wait on the screen.
    Outcome Rest(const CancelToken& cancel);
    // The actions a screen offers during that rest.
    ActionSet ActionsDuringRest() const;

    // Enter user setting, the block, leave user setting, and what follows (message 48).
    // A block that is not Ready is returned as Refused or NothingToDo without sending.
    Outcome WriteSettings(const WriteBlock& block);
    // Builds the block from values and writes it; after a failure values get image number
    // 1 and lines 0. The built block (for its refusal or stop-bit warning) goes to *built.
    Outcome WriteSettings(SetupValues& values, WriteBlock* built = nullptr);

    // Sends the test page (message 48 when it stops).
    Outcome PrintTestPage(bool korean);

    // Closes the connection and ends the receive thread. exitButton: "EXIT" stops the
    // receive thread first and waits 300 ms; the close box closes at once.
    void Close(bool exitButton = true);

    // What the screen offers between operations.
    ActionSet IdleActions() const;

    // Asks the printer for its status over the open connection, between operations (never
    // during one: the requests would land in the middle of its bytes). A read's replies go
    // on arriving after Read returns, so it first waits until nothing has come for
    // setup::kStatusQuietMs and the network rest is over (giving up, with nothing known,
    // after setup::kStatusQuietLimitMs of traffic); meanwhile the receive thread takes no bytes, so
    // the answers reach the status session and not the reply parser. On a parallel port nothing is
    // sent and only a status block the printer sends by itself counts. A closed connection
    // or a print file gives a report with SendFailed and nothing known.
    StatusReport QueryStatus(const CancelToken& cancel,
                             int answerBoundMs = StatusSession::kDefaultAnswerBoundMs);

private:
    class HeldLink;
    bool WaitForQuiet(const CancelToken& cancel);

    void OnDataReceived() override;
    // SettingListener: every reply passes here on its way to the session's listener.
    void OnSettingReceived(const SetupReply& reply) override;
    void CancelDelivery() override;
    void WaitOutRest();
    bool NextByte(std::uint8_t& byte);
    bool StartReceiveThread();
    void StopReceiveThread();
    void ClosePort();
    bool PortWrite(const std::vector<std::uint8_t>& bytes);
    bool ParallelWrite(const std::vector<std::uint8_t>& bytes);
    void NetworkSend(const std::vector<std::uint8_t>& bytes);
    bool ProbeNetwork();
    void ReopenUsb();
    Outcome ReadParallel();
    Outcome FinishParallelRead(const CancelToken& cancel, std::int64_t timeLimitMs);
    Outcome AwaitFirstReply(const CancelToken& cancel);
    Outcome Idle() const;
    Outcome Failure(int message, bool closeScreen, ActionSet enabled) const;

    std::string m_portName;
    PortKind m_kind;
    SetupLinks m_links;
    Clock& m_clock;
    Clock& m_receiveClock;
    SettingListener& m_listener;

    ReceiveQueue m_ring;     // COM and USB: bytes moved out of the port's queue
    std::mutex m_ringMutex;  // against two threads delivering at once
    std::unique_ptr<SetupReceiveThread> m_receiver;
    std::atomic<int> m_timerMs{0};
    std::atomic<std::int64_t> m_restUntil{0};  // m_clock time before which the printer rests
    bool m_parallelOpen = false;
    bool m_closed = false;
    // While a status query holds the link the receive thread takes no bytes; the lock
    // keeps the two from taking from the same queue at once.
    std::mutex m_takeMutex;
    bool m_statusHold = false;
    std::atomic<long long> m_bytesTaken{0};  // by the receive thread, for the quiet wait
};

}  // namespace kp70
