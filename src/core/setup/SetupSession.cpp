#include "core/setup/SetupSession.h"

#include <algorithm>

#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/setup/ParallelRead.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupReplies.h"
#include "core/setup/SetupValues.h"
#include "core/setup/TestPage.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

using namespace setup;

namespace {

constexpr const char* kRepeatFail = "GetValueCmd Fail!";
// How often the wait for the first reply looks.
constexpr int kReplyPollMs = 10;

// After a failure the screen keeps only what lets the operator leave (and the settings
// that are not stored ones); Default as well after a failed COM, USB or network read.
constexpr ActionSet kFailedActions = kExit | kSettings;

}  // namespace

struct SetupSession::KindRules {
    const std::vector<int>& (*readList)();
    // The parallel port: the printer answers only while the controller reads, so every
    // request is followed by a read request and the read timer repeats what has not
    // answered; status back off goes out after each opening.
    bool timedRead;
    // The network: the connection is checked (and made again) before a read, the requests
    // go out 10 ms apart, and the write and the test page connect afresh.
    bool networkSequence;
    // The setup receive thread runs while the screen is open (on the parallel port each
    // read starts it; a print file never answers).
    bool receiveThreadAtStart;
    int openFailMessage;
    bool openErrorOnSecondLine;  // the controller's error text goes into the box
    int readFailMessage;
    ActionSet afterReadFailure;
    // What follows a write without the USB-mode item: the printer resets.
    enum class AfterWrite { Nothing, ReopenUsb, CloseNetwork, ReopenParallel } afterWrite;
};

namespace {

using AfterWrite = SetupSession::KindRules::AfterWrite;

const SetupSession::KindRules& RulesFor(Attachment kind) {
    static const SetupSession::KindRules kSerial{
        ReadListSerial,     false, false,          true,
        msg::kInitFail,     false, msg::kReadFail, kFailedActions | kDefault,
        AfterWrite::Nothing};
    static const SetupSession::KindRules kUsb{
        ReadListSerial,       false, false,          true,
        msg::kInitFail,       false, msg::kReadFail, kFailedActions | kDefault,
        AfterWrite::ReopenUsb};
    static const SetupSession::KindRules kFile{
        ReadListSerial,     false, false,          false,
        msg::kInitFail,     false, msg::kReadFail, kFailedActions | kDefault,
        AfterWrite::Nothing};
    static const SetupSession::KindRules kNetwork{
        ReadListNetwork,         false, true,           true,
        msg::kPrinterCheck,      false, msg::kReadFail, kFailedActions | kDefault,
        AfterWrite::CloseNetwork};
    static const SetupSession::KindRules kParallel{ReadListParallel,
                                                   true,
                                                   false,
                                                   false,
                                                   msg::kInitFail,
                                                   true,
                                                   msg::kWriteToPort,
                                                   kFailedActions,
                                                   AfterWrite::ReopenParallel};
    switch (kind) {
        case Attachment::Serial:
            return kSerial;
        case Attachment::UsbPrinter:
            return kUsb;
        case Attachment::Ethernet:
            return kNetwork;
        case Attachment::Parallel:
            return kParallel;
        default:
            return kFile;
    }
}

}  // namespace

namespace {

std::unique_ptr<PrinterLink> SetupLinkOf(PrinterLinkFactory& links) {
    LinkRequest request;
    request.toolMode = kToolModeSetup;
    request.replies = true;
    return links.MakeLink(request);
}

}  // namespace

SetupSession::SetupSession(PrinterLinkFactory& links, Clock& clock, Clock& receiveClock,
                           SettingListener& listener)
    : m_link(SetupLinkOf(links)),
      m_kind(m_link->Kind()),
      m_rules(RulesFor(m_kind)),
      m_clock(clock),
      m_receiveClock(receiveClock),
      m_listener(listener) {
    SettingListener& replies = *this;
    m_replies = std::make_unique<SetupReplies>(*m_link, replies, m_receiveClock);
    m_parallelRead = std::make_unique<ParallelRead>(*m_link, *m_replies, m_rules.readList());
}

SetupSession::~SetupSession() {
    Close(false);
}

const std::vector<int>& SetupSession::ReadList() const {
    return m_rules.readList();
}

bool SetupSession::ReadAllowed() const {
    return !m_link->LegacyMode();
}

bool SetupSession::Write(const std::vector<std::uint8_t>& bytes, const CancelToken& cancel) {
    // A short write (a serial write that timed out part-way) did not deliver the command.
    return m_link->Send(bytes, cancel).Complete(static_cast<int>(bytes.size()));
}

// ---- opening ----

Outcome SetupSession::Start(const CancelToken& cancel) {
    m_closed = false;
    if (!m_link->Open(cancel)) {
        Outcome outcome = Failure(m_rules.openFailMessage, true, 0);
        const std::string why = m_link->LastErrorText();
        if (m_rules.openErrorOnSecondLine) {
            outcome.notices.front().secondLine = why;
        } else {
            outcome.notices.front().detail = why;
        }
        m_link->Close();
        return outcome;
    }
    if (m_rules.timedRead && !Write(StatusBackOff(), cancel))
        return Failure(msg::kPrinterStatusCheck, true, 0);
    if (m_rules.receiveThreadAtStart && !m_replies->Thread().Start())
        return Failure(msg::kReceiveThreadFailed, true, 0);
    return Idle();
}

// ---- reading ----

Outcome SetupSession::Read(const CancelToken& cancel, std::int64_t timeLimitMs) {
    const Outcome sent = ReadSettings(cancel);
    if (sent.status != OutcomeStatus::Waiting) {
        if (sent.status != OutcomeStatus::Done) return sent;
        return AwaitFirstReply(cancel);
    }
    using Step = ParallelRead::Step;
    // The timer gives the receive thread time to take the replies apart, so it runs on the
    // clock that paces that thread.
    const Step step = m_parallelRead->Finish(m_receiveClock, cancel, timeLimitMs);
    if (step == Step::Cancelled) {
        Outcome ended = Idle();
        ended.status = OutcomeStatus::Cancelled;
        return ended;
    }
    return ParallelOutcome(static_cast<int>(step));
}

ActionSet SetupSession::ActionsDuringRead() const {
    // The parallel port's read keeps the buttons until every setting has answered.
    return m_rules.timedRead ? kSettings | kEditStored : IdleActions();
}

bool SetupSession::AnyReplyReceived() const {
    return m_replies->Thread().AnyReceived();
}

Outcome SetupSession::AwaitFirstReply(const CancelToken& cancel) {
    // A poll of what the receive thread did, paced like that thread's own polls.
    const std::int64_t deadline = m_receiveClock.Now() + kReplyBoundMs;
    while (!m_replies->Thread().AnyReceived()) {
        if (cancel.Cancelled()) {
            Outcome outcome = Idle();
            outcome.status = OutcomeStatus::Cancelled;
            return outcome;
        }
        if (m_receiveClock.Now() >= deadline) {
            // Nothing is wrong with the screen: the operator checks the printer and asks
            // again. Replies that come late are still applied.
            Outcome outcome = Idle();
            Notice notice;
            notice.text = kNoReply;
            notice.icon = MessageIcon::Exclamation;
            outcome.notices.push_back(notice);
            return outcome;
        }
        m_receiveClock.SleepFor(kReplyPollMs);
    }
    return Idle();
}

Outcome SetupSession::ReadSettings(const CancelToken& cancel) {
    WaitOutRest();
    SetupReceiveThread& thread = m_replies->Thread();
    thread.ClearReceived();
    if (m_rules.timedRead) {
        return ParallelOutcome(static_cast<int>(m_parallelRead->Begin(cancel)));
    }
    if (m_rules.networkSequence) {
        // Stale bytes (and a reply cut short by a reset) would be taken for answers.
        m_replies->DiscardPending();
        if (!m_link->CheckConnection(cancel)) {
            m_link->Close();
            return Failure(m_rules.readFailMessage, false, m_rules.afterReadFailure);
        }
    }
    for (int number : m_rules.readList()) {
        if (!Write(ReadOneSetting(number), cancel)) {
            m_link->Close();
            return Failure(m_rules.readFailMessage, false, m_rules.afterReadFailure);
        }
        if (m_rules.networkSequence) m_clock.SleepFor(kNetworkRequestPauseMs);
    }
    // A USB printer's answers are fetched once, after the last request.
    m_link->RequestReplies();
    return Idle();
}

Outcome SetupSession::ParallelOutcome(int value) const {
    using Step = ParallelRead::Step;
    switch (static_cast<Step>(value)) {
        case Step::Waiting: {
            Outcome outcome;
            outcome.status = OutcomeStatus::Waiting;
            outcome.enabled = ActionsDuringRead();
            return outcome;
        }
        case Step::WriteFailed:
            m_link->Close();
            return Failure(m_rules.readFailMessage, false, m_rules.afterReadFailure);
        case Step::ThreadFailed:
            m_link->Close();
            return Failure(msg::kReceiveThreadFailed, false, kFailedActions);
        case Step::RepeatFailed: {
            // The read is given up where it stands; the operator can only leave.
            Outcome outcome = Outcome::Failure(Notice::Literal(kRepeatFail));
            outcome.enabled = kFailedActions;
            return outcome;
        }
        case Step::Cancelled: {
            Outcome outcome = Idle();
            outcome.status = OutcomeStatus::Cancelled;
            return outcome;
        }
        case Step::Done:
            break;
    }
    return Idle();
}

int SetupSession::ReadTimerMs() const {
    return m_parallelRead->TimerMs();
}

Outcome SetupSession::OnReadTimer() {
    if (!m_rules.timedRead) return Idle();
    return ParallelOutcome(static_cast<int>(m_parallelRead->OnTimer(CancelToken::Never())));
}

void SetupSession::CancelRead() {
    if (m_rules.timedRead) m_parallelRead->Cancel();
}

// ---- writing ----

Outcome SetupSession::WriteSettings(SetupValues& values, WriteBlock* built,
                                    const CancelToken& cancel) {
    const WriteBlock block = BuildWriteBlock(values);
    if (built) *built = block;
    Outcome outcome = WriteSettings(block, cancel);
    if (outcome.status == OutcomeStatus::Failed) values.ResetAfterFailure();
    return outcome;
}

Outcome SetupSession::SendFailure(const CancelToken& cancel, const std::string& detail) {
    m_link->Close();
    if (cancel.Cancelled()) {
        Outcome outcome;
        outcome.status = OutcomeStatus::Cancelled;
        outcome.enabled = kFailedActions;
        return outcome;
    }
    Outcome outcome = Failure(msg::kWriteFail, false, kFailedActions);
    outcome.notices.front().detail = detail;
    return outcome;
}

Outcome SetupSession::WriteSettings(const WriteBlock& block, const CancelToken& cancel) {
    Outcome outcome = Idle();
    if (block.status == WriteBlockStatus::NothingToWrite) {
        outcome.status = OutcomeStatus::NothingToDo;
        return outcome;
    }
    if (block.status != WriteBlockStatus::Ready) {
        outcome.status = OutcomeStatus::Refused;
        if (const auto notice = RefusalNotice(block)) outcome.notices.push_back(*notice);
        return outcome;
    }

    WaitOutRest();
    // The network printer dropped the connection after the last write: connect afresh.
    if (m_rules.networkSequence && !m_link->Open(cancel))
        return SendFailure(cancel, m_link->LastErrorText());
    for (const auto& bytes : {EnterUserSetting(), block.bytes, LeaveUserSetting()}) {
        if (!Write(bytes, cancel)) return SendFailure(cancel, "the settings were not sent");
    }
    // The writes returned with the bytes in the system's buffers; the printer must have
    // taken them before the settings count as written.
    const Delivery delivery = m_link->WaitDelivered(cancel);
    if (!delivery.Delivered()) return SendFailure(cancel, delivery.detail);

    if (block.usbModeIncluded) {
        // The printer comes back as a different device: nothing to reopen.
        outcome.connectionClosed = true;
        m_link->Close();
        return outcome;
    }
    switch (m_rules.afterWrite) {
        case AfterWrite::ReopenUsb:
            ReopenUsb(cancel);
            break;
        case AfterWrite::CloseNetwork:
            SleepUnlessCancelled(m_clock, kAfterWriteNetworkMs, cancel, kAfterWriteNetworkMs);
            m_link->Close();
            break;
        case AfterWrite::ReopenParallel:
            // The printer resets after "OUT"; the controller is opened afresh.
            if (!SleepUnlessCancelled(m_clock, kAfterWriteParallelMs, cancel,
                                      kAfterWriteParallelMs))
                return SendFailure(cancel, "cancelled");
            m_link->Close();
            if (!m_link->Open(cancel) || !Write(StatusBackOff(), cancel))
                return SendFailure(cancel, m_link->LastErrorText());
            break;
        case AfterWrite::Nothing:
            break;
    }
    return outcome;
}

void SetupSession::ReopenUsb(const CancelToken& cancel) {
    // The printer resets after leaving user-setting mode and its USB device goes away for a
    // while; open it again on a falling schedule. No message when it stays away.
    m_link->Close();
    if (!SleepUnlessCancelled(m_clock, kUsbReopenFirstMs, cancel, kUsbReopenFirstMs)) return;
    if (m_link->Open(cancel)) return;
    for (int wait : kUsbReopenSchedule) {
        if (!SleepUnlessCancelled(m_clock, wait, cancel, wait)) return;
        if (m_link->Open(cancel)) return;
    }
    m_clock.SleepFor(kUsbReopenLastMs);
}

// ---- test page ----

Outcome SetupSession::PrintTestPage(bool korean, const CancelToken& cancel) {
    WaitOutRest();
    if (m_rules.networkSequence && !m_link->Open(cancel))
        return SendFailure(cancel, m_link->LastErrorText());
    for (const auto& step : BuildTestPage(korean)) {
        if (!Write(step, cancel)) return SendFailure(cancel, "the test page was not sent");
    }
    const Delivery delivery = m_link->WaitDelivered(cancel);
    if (!delivery.Delivered()) return SendFailure(cancel, delivery.detail);
    SleepUnlessCancelled(m_clock, kAfterTestPageMs, cancel, kAfterTestPageMs);
    if (m_rules.networkSequence) m_link->Close();
    return Idle();
}

// ---- resting ----

void SetupSession::OnSettingReceived(const SetupReply& reply) {
    // The setup code is the last reply of a network read: the printer rests after it. The
    // rest is noted before the listener hears of the reply, so it sees the rest due.
    if (m_rules.networkSequence && reply.number == kSetupCode)
        m_restUntil = m_clock.Now() + kNetworkRestMs;
    m_listener.OnSettingReceived(reply);
}

void SetupSession::CancelDelivery() {
    m_listener.CancelDelivery();
}

std::int64_t SetupSession::RestRemainingMs() const {
    return std::max<std::int64_t>(0, m_restUntil.load() - m_clock.Now());
}

void SetupSession::WaitOutRest() {
    const std::int64_t remaining = RestRemainingMs();
    if (remaining > 0) m_clock.SleepFor(remaining);
}

Outcome SetupSession::Rest(const CancelToken& cancel) {
    // One wait: the rest is short, and a close may wait for it.
    const std::int64_t remaining = RestRemainingMs();
    if (remaining > 0) SleepUnlessCancelled(m_clock, remaining, cancel, remaining);
    return Idle();
}

ActionSet SetupSession::ActionsDuringRest() const {
    return IdleActions() & ~(kDefault | kGetValue | kSetValue);
}

// ---- status ----

StatusReport SetupSession::QueryStatus(const CancelToken& cancel, int answerBoundMs) {
    StatusReport report;
    report.boundMs = answerBoundMs;
    report.problem = StatusReport::Problem::SendFailed;
    if (m_closed || !m_link->CanAnswer() || !m_link->IsOpen()) return report;
    return m_replies->QueryStatus(m_clock, cancel, answerBoundMs,
                                  [this] { return RestRemainingMs() > 0; });
}

// ---- outcomes ----

ActionSet SetupSession::IdleActions() const {
    ActionSet actions = kSetValue | kTest | kDefault | kExit | kSettings | kEditStored;
    if (ReadAllowed()) actions |= kGetValue;
    return actions;
}

Outcome SetupSession::Idle() const {
    Outcome outcome;
    outcome.enabled = IdleActions();
    return outcome;
}

Outcome SetupSession::Failure(int message, bool closeScreen, ActionSet enabled) const {
    Outcome outcome = Outcome::Failure(Notice::Message(message));
    outcome.closeScreen = closeScreen;
    outcome.enabled = enabled;
    return outcome;
}

// ---- closing ----

void SetupSession::Close(bool exitButton) {
    if (m_closed) return;
    m_closed = true;
    m_parallelRead->Cancel();
    if (exitButton) {
        m_replies->Thread().Stop();
        m_clock.SleepFor(kExitWaitMs);
    }
    m_link->Close();
    m_replies->Thread().Stop();
}

}  // namespace kp70
