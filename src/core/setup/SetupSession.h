#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/app/CancelToken.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/Outcome.h"
#include "core/setup/SettingListener.h"
#include "core/setup/WriteBlock.h"
#include "core/status/StatusSession.h"

namespace kp70 {

class Clock;
class ParallelRead;
class PrinterLink;
class PrinterLinkFactory;
class SetupReplies;
struct SetupValues;

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

// The waits of the sequences, each named once.
// A network read sends its requests this far apart.
inline constexpr int kNetworkRequestPauseMs = 10;
// The printer resets after leaving user-setting mode. A parallel port is opened afresh after
// this wait; a network connection is closed after kAfterWriteNetworkMs; a USB printer's
// device goes away and is opened again kUsbReopenFirstMs later, then on a falling schedule.
inline constexpr int kAfterWriteParallelMs = 4000;
inline constexpr int kAfterWriteNetworkMs = 3000;
inline constexpr int kUsbReopenFirstMs = 3000;
inline constexpr int kUsbReopenSchedule[] = {500, 400, 300, 200};
inline constexpr int kUsbReopenLastMs = 100;
// The test page is given this long to print before the next command.
inline constexpr int kAfterTestPageMs = 800;
// "EXIT" gives the receive thread this long before the connection closes.
inline constexpr int kExitWaitMs = 300;

}  // namespace setup

// One connection to the printer for the user setup tool, on any port kind: opens it,
// reads the settings (replies reach the SettingListener from the receive thread), writes
// them, prints the test page and closes. What differs by port kind (the requests, the
// parallel port's read timer, what follows a write) is the kind's rule set, looked up once.
// Every operation blocks the calling thread for the waits of its sequence (up to several
// seconds) and ends early at its cancel, so a GUI runs them off its own thread, one at a
// time; the accessors may be called from any thread. Each outcome names the screen's
// actions (setup::kGetValue ...) available afterwards. A write or test page is done only
// when the link has delivered it.
class SetupSession : private SettingListener {
public:
    // The session makes its link from links, as the user setup tool opens it (a serial port
    // runs its receive thread, a parallel port is read through its own controller). clock
    // paces the sequences; receiveClock paces the receive thread's 10 ms polls and the waits
    // for what that thread brings (the first reply, the parallel read timer).
    SetupSession(PrinterLinkFactory& links, Clock& clock, Clock& receiveClock,
                 SettingListener& listener);
    ~SetupSession() override;
    SetupSession(const SetupSession&) = delete;
    SetupSession& operator=(const SetupSession&) = delete;

    Attachment Kind() const { return m_kind; }

    // Opens the connection as the setup screen does when it opens (msg::kInitFail,
    // msg::kPrinterCheck, msg::kPrinterStatusCheck, msg::kReceiveThreadFailed; a failure closes the
    // screen).
    Outcome Start(const CancelToken& cancel = CancelToken::Never());

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
    // requests (msg::kReadFail, msg::kWriteToPort, msg::kReceiveThreadFailed); on the parallel port
    // the result is Waiting and the read timer runs (ReadTimerMs, OnReadTimer).
    Outcome ReadSettings(const CancelToken& cancel = CancelToken::Never());
    // The settings this port kind asks for, in request order.
    const std::vector<int>& ReadList() const;
    // True when "Get Value" may be used (not in the parallel controller's legacy mode).
    bool ReadAllowed() const;
    // True when a reply was handed to the listener since the last read began.
    bool AnyReplyReceived() const;

    // Parallel port: the period of the armed read timer in ms, 0 when none runs.
    int ReadTimerMs() const;
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

    // Enter user setting, the block, leave user setting, and what follows (msg::kWriteFail, also
    // when the link does not deliver them). A block that is not Ready is returned as
    // Refused or NothingToDo without sending. A cancel stops the sequence where it stands:
    // Cancelled, the connection closed.
    Outcome WriteSettings(const WriteBlock& block,
                          const CancelToken& cancel = CancelToken::Never());
    // Builds the block from values and writes it; after a failure values get image number
    // 1 and lines 0. The built block (for its refusal or stop-bit warning) goes to *built.
    Outcome WriteSettings(SetupValues& values, WriteBlock* built = nullptr,
                          const CancelToken& cancel = CancelToken::Never());

    // Sends the test page (msg::kWriteFail when it stops or is not delivered).
    Outcome PrintTestPage(bool korean, const CancelToken& cancel = CancelToken::Never());

    // Closes the connection and ends the receive thread. exitButton: "EXIT" stops the
    // receive thread first and waits 300 ms; the close box closes at once.
    void Close(bool exitButton = true);

    // What the screen offers between operations.
    ActionSet IdleActions() const;

    // Asks the printer for its status over the open connection, between operations (never
    // during one: the requests would land in the middle of its bytes); see
    // SetupReplies::QueryStatus. A closed connection or a print file gives a report with
    // SendFailed and nothing known.
    StatusReport QueryStatus(const CancelToken& cancel,
                             int answerBoundMs = StatusSession::kDefaultAnswerBoundMs);

    // What a port kind's sequences do differently.
    struct KindRules;

private:
    // SettingListener: every reply passes here on its way to the session's listener.
    void OnSettingReceived(const SetupReply& reply) override;
    void CancelDelivery() override;
    void WaitOutRest();
    bool Write(const std::vector<std::uint8_t>& bytes, const CancelToken& cancel);
    void ReopenUsb(const CancelToken& cancel);
    Outcome AwaitFirstReply(const CancelToken& cancel);
    Outcome ParallelOutcome(int step) const;
    Outcome Idle() const;
    Outcome Failure(int message, bool closeScreen, ActionSet enabled) const;
    Outcome SendFailure(const CancelToken& cancel, const std::string& detail);

    std::unique_ptr<PrinterLink> m_link;
    Attachment m_kind;
    const KindRules& m_rules;
    Clock& m_clock;
    Clock& m_receiveClock;
    SettingListener& m_listener;

    std::unique_ptr<SetupReplies> m_replies;
    std::unique_ptr<ParallelRead> m_parallelRead;
    std::atomic<std::int64_t> m_restUntil{0};  // m_clock time before which the printer rests
    bool m_closed = false;
};

}  // namespace kp70
