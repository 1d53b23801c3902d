#include "core/setup/SetupSession.h"

#include <algorithm>

#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"
#include "core/setup/SettingListener.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupReceiveThread.h"
#include "core/setup/SetupValues.h"
#include "core/setup/TestPage.h"
#include "core/status/StatusLinks.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/ParallelController.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

using setup::Bytes;

using namespace setup;

constexpr const char* kRepeatFail = "GetValueCmd Fail!";

constexpr int kFirstReadTimerMs = 3000;
constexpr int kRepeatReadTimerMs = 2000;
// After a write on a serial port: time for the line to carry the bytes still in the system's
// buffers before the link is checked.
constexpr int kDeliveryWaitMs = 500;
// The read timer is waited for in slices, so a close need not wait for a whole period.
constexpr int kTimerSliceMs = 100;
// How often the wait for the first reply looks.
constexpr int kReplyPollMs = 10;

// After a failure the screen keeps only what lets the operator leave (and the settings
// that are not stored ones); Default as well after a failed COM, USB or network read.
constexpr ActionSet kFailedActions = kExit | kSettings;

}  // namespace

SetupSession::SetupSession(std::string portName, SetupLinks links, Clock& clock,
                           Clock& receiveClock, SettingListener& listener)
    : m_portName(std::move(portName)),
      m_kind(PortKindOf(m_portName)),
      m_links(std::move(links)),
      m_clock(clock),
      m_receiveClock(receiveClock),
      m_listener(listener) {
    SettingListener& replies = *this;
    m_receiver = std::make_unique<SetupReceiveThread>(
        [this](std::uint8_t& byte) { return NextByte(byte); }, replies, m_receiveClock);
}

SetupSession::~SetupSession() {
    Close(false);
}

const std::vector<int>& SetupSession::ReadList() const {
    if (m_kind == PortKind::Network) return setup::ReadListNetwork();
    if (m_kind == PortKind::Parallel) return setup::ReadListParallel();
    return setup::ReadListSerial();
}

bool SetupSession::ReadAllowed() const {
    return !(m_kind == PortKind::Parallel && m_links.parallel && m_links.parallel->timeoutsSet());
}

// ---- receiving ----

void SetupSession::OnDataReceived() {
    // Called on the port's receive thread (COM) or in ReadUsbReply (USB): move what arrived
    // into our own ring, which only the setup receive thread reads. What does not fit stays
    // in the port's queue for the next call.
    std::lock_guard lock(m_ringMutex);
    ReceiveQueue& queue = m_links.port->QueueRead();
    while (!queue.IsEmpty() && m_ring.FitsChunk(1)) m_ring.Put(queue.Get());
}

bool SetupSession::NextByte(std::uint8_t& byte) {
    std::unique_lock<std::mutex> lock;
    if (m_kind != PortKind::Parallel) {
        lock = std::unique_lock(m_takeMutex);
        if (m_statusHold) return false;
    }
    bool taken = false;
    switch (m_kind) {
        case PortKind::Parallel: {
            int flag = -1;
            byte = m_links.parallel->GetByte(flag);
            taken = flag == 1;
            break;
        }
        case PortKind::Network: {
            ReceiveQueue& queue = m_links.network->Queue();
            taken = !queue.IsEmpty();
            if (taken) byte = queue.Get();
            break;
        }
        default:
            taken = !m_ring.IsEmpty();
            if (taken) byte = m_ring.Get();
            break;
    }
    if (taken) ++m_bytesTaken;
    return taken;
}

bool SetupSession::StartReceiveThread() {
    return m_receiver->Start();
}

void SetupSession::StopReceiveThread() {
    m_receiver->Stop();
}

// ---- port helpers ----

bool SetupSession::PortWrite(const Bytes& bytes) {
    const int length = static_cast<int>(bytes.size());
    // A short write (a serial write that timed out part-way) did not deliver the command.
    return m_links.port && m_links.port->Write(bytes.data(), length) == length;
}

bool SetupSession::ParallelWrite(const Bytes& bytes) {
    const int length = static_cast<int>(bytes.size());
    return m_links.parallel->Write(bytes.data(), length) == length;
}

void SetupSession::NetworkSend(const Bytes& bytes) {
    // The printer's socket accepts or drops; the result of a send is not looked at.
    m_links.network->Send(bytes.data(), static_cast<int>(bytes.size()));
}

void SetupSession::ClosePort() {
    switch (m_kind) {
        case PortKind::Parallel:
            m_parallelOpen = false;
            break;
        case PortKind::Network:
            m_links.network->CloseSocket();
            break;
        default:
            if (m_links.port && m_links.port->isOpen()) m_links.port->Close();
            break;
    }
}

bool SetupSession::ProbeNetwork() {
    // The connection opened with the screen may have been dropped by the printer (it resets
    // after every write): probe it, and reconnect while the probe fails.
    for (int round = 0; round < 10; ++round) {
        m_clock.SleepFor(50);
        if (m_links.network->Send(nullptr, 0) == 0) return true;
        if (round < 9) m_links.network->StartConnect(m_links.networkAddress, m_links.networkPort);
    }
    return false;
}

void SetupSession::ReopenUsb() {
    // The printer resets after leaving user-setting mode and its USB device goes away for a
    // while; open it again on a falling schedule. No message when it stays away.
    PrinterPort& port = *m_links.port;
    if (port.isOpen()) port.Close();
    m_clock.SleepFor(3000);
    if (port.Open()) return;
    m_clock.SleepFor(500);
    port.Close();
    if (port.Open()) return;
    for (int wait : {400, 300, 200}) {
        m_clock.SleepFor(wait);
        if (port.Open()) return;
    }
    m_clock.SleepFor(100);
}

// ---- opening ----

Outcome SetupSession::Start() {
    m_closed = false;
    switch (m_kind) {
        case PortKind::Parallel: {
            if (!m_links.parallel || !m_links.parallel->Open(m_portName)) {
                Outcome outcome = Failure(msg::kInitFail, true, 0);
                if (m_links.parallel)
                    outcome.notices.front().secondLine = m_links.parallel->lastErrorText();
                return outcome;
            }
            m_parallelOpen = true;
            if (!ParallelWrite(setup::StatusBackOff()))
                return Failure(msg::kPrinterStatusCheck, true, 0);
            return Idle();
        }
        case PortKind::Network:
            if (!m_links.network || !ConnectNetwork(*m_links.network, m_clock,
                                                    m_links.networkAddress, m_links.networkPort)) {
                if (m_links.network) m_links.network->CloseSocket();
                return Failure(msg::kPrinterCheck, true, 0);
            }
            if (!StartReceiveThread()) return Failure(msg::kReceiveThreadFailed, true, 0);
            return Idle();
        default: {
            PrinterPort* port = m_links.port;
            if (!port) return Failure(msg::kInitFail, true, 0);
            // A print file the caller has opened stays as it is: opening it again would ask
            // for its name again and empty it.
            if (m_kind == PortKind::File && port->isOpen()) return Idle();
            port->Settings().toolMode = kToolModeSetup;
            port->SetNotifyWindow(this);
            if (port->isOpen()) port->Close();
            if (!port->Open()) return Failure(msg::kInitFail, true, 0);
            if ((m_kind == PortKind::Serial || m_kind == PortKind::Usb) && !StartReceiveThread())
                return Failure(msg::kReceiveThreadFailed, true, 0);
            return Idle();
        }
    }
}

// ---- reading ----

Outcome SetupSession::Read(const CancelToken& cancel, std::int64_t timeLimitMs) {
    const Outcome sent = ReadSettings();
    if (sent.status != OutcomeStatus::Done && sent.status != OutcomeStatus::Waiting) return sent;
    if (m_kind == PortKind::Parallel) return FinishParallelRead(cancel, timeLimitMs);
    return AwaitFirstReply(cancel);
}

ActionSet SetupSession::ActionsDuringRead() const {
    // The parallel port's read keeps the buttons until every setting has answered.
    return m_kind == PortKind::Parallel ? kSettings | kEditStored : IdleActions();
}

bool SetupSession::AnyReplyReceived() const {
    return m_receiver->AnyReceived();
}

Outcome SetupSession::AwaitFirstReply(const CancelToken& cancel) {
    // A poll of what the receive thread did, paced like that thread's own polls.
    const std::int64_t deadline = m_receiveClock.Now() + kReplyBoundMs;
    while (!m_receiver->AnyReceived()) {
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

Outcome SetupSession::FinishParallelRead(const CancelToken& cancel, std::int64_t timeLimitMs) {
    // The timer gives the receive thread time to take the replies apart, so it runs on the
    // clock that paces that thread.
    Clock& clock = m_receiveClock;
    const std::int64_t deadline = timeLimitMs > 0 ? clock.Now() + timeLimitMs : -1;
    Outcome outcome;
    outcome.status = OutcomeStatus::Waiting;
    // The read timer: after its period, ask again for what has not answered, until
    // everything has. The timer is given up on a cancel or at the time limit.
    while (outcome.status == OutcomeStatus::Waiting) {
        const int period = m_timerMs.load();
        if (period <= 0) break;
        const bool limited = deadline >= 0 && clock.Now() + period > deadline;
        if (limited || !SleepUnlessCancelled(clock, period, cancel, kTimerSliceMs)) {
            CancelRead();
            Outcome ended = Idle();
            ended.status = OutcomeStatus::Cancelled;
            return ended;
        }
        outcome = OnReadTimer();
    }
    return outcome;
}

Outcome SetupSession::ReadSettings() {
    WaitOutRest();
    // The flags tell what this read brings.
    m_receiver->ClearReceived();
    switch (m_kind) {
        case PortKind::Parallel:
            return ReadParallel();
        case PortKind::Network:
            // Stale bytes (and a reply cut short by a reset) would be taken for answers.
            m_receiver->DiscardPending();
            if (!ProbeNetwork()) {
                m_links.network->CloseSocket();
                return Failure(msg::kReadFail, false, kFailedActions | kDefault);
            }
            for (int number : setup::ReadListNetwork()) {
                NetworkSend(setup::ReadOneSetting(number));
                m_clock.SleepFor(10);
            }
            return Idle();
        default:
            for (int number : setup::ReadListSerial()) {
                if (!PortWrite(setup::ReadOneSetting(number))) {
                    ClosePort();
                    return Failure(msg::kReadFail, false, kFailedActions | kDefault);
                }
            }
            // A USB printer's answers are fetched once; they reach OnDataReceived.
            if (m_kind == PortKind::Usb) m_links.port->ReadUsbReply();
            return Idle();
    }
}

Outcome SetupSession::ReadParallel() {
    ParallelController& ctl = *m_links.parallel;
    m_timerMs = 0;
    StopReceiveThread();  // a read that was given up
    if (!ParallelWrite(setup::StatusBackOff())) {
        m_parallelOpen = false;
        return Failure(msg::kWriteToPort, false, kFailedActions);
    }
    for (int number : setup::ReadListParallel()) {
        if (!ParallelWrite(setup::ReadOneSetting(number))) {
            m_parallelOpen = false;
            return Failure(msg::kWriteToPort, false, kFailedActions);
        }
        ctl.RequestRead();
    }
    if (!ctl.StartReader()) {
        m_parallelOpen = false;
        return Failure(msg::kReceiveThreadFailed, false, kFailedActions);
    }
    m_receiver->ClearReceived();
    if (!StartReceiveThread()) {
        m_parallelOpen = false;
        return Failure(msg::kReceiveThreadFailed, false, kFailedActions);
    }
    m_timerMs = kFirstReadTimerMs;
    Outcome outcome;
    outcome.status = OutcomeStatus::Waiting;
    outcome.enabled = ActionsDuringRead();
    return outcome;
}

Outcome SetupSession::OnReadTimer() {
    if (m_kind != PortKind::Parallel || m_timerMs.exchange(0) == 0) return Idle();
    Outcome reading;
    reading.status = OutcomeStatus::Waiting;
    reading.enabled = ActionsDuringRead();
    // Replies still being taken apart: look again later rather than ask twice.
    if (m_receiver->SourceBusy()) {
        m_timerMs = kRepeatReadTimerMs;
        return reading;
    }
    bool repeated = false;
    for (int number : setup::ReadListParallel()) {
        if (m_receiver->Received(number)) continue;
        if (!ParallelWrite(setup::ReadOneSetting(number))) {
            // The read is given up where it stands; the operator can only leave.
            Outcome outcome = Outcome::Failure(Notice::Literal(kRepeatFail));
            outcome.enabled = kFailedActions;
            return outcome;
        }
        m_links.parallel->RequestRead();
        repeated = true;
    }
    if (repeated) {
        m_timerMs = kRepeatReadTimerMs;
        return reading;
    }
    StopReceiveThread();
    m_links.parallel->StopReader();
    ParallelWrite(setup::ReadTrailer());
    return Idle();
}

void SetupSession::CancelRead() {
    if (m_kind != PortKind::Parallel) return;
    m_timerMs = 0;
    StopReceiveThread();
    m_links.parallel->StopReader();
}

// ---- writing ----

Outcome SetupSession::WriteSettings(SetupValues& values, WriteBlock* built) {
    const WriteBlock block = BuildWriteBlock(values);
    if (built) *built = block;
    Outcome outcome = WriteSettings(block);
    if (outcome.status == OutcomeStatus::Failed) values.ResetAfterFailure();
    return outcome;
}

Outcome SetupSession::WriteSettings(const WriteBlock& block) {
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
    const Bytes enter = setup::EnterUserSetting();
    const Bytes leave = setup::LeaveUserSetting();
    bool written = true;
    switch (m_kind) {
        case PortKind::Parallel:
            written = ParallelWrite(enter) && ParallelWrite(block.bytes) && ParallelWrite(leave);
            if (written) {
                // The printer resets after "OUT"; the controller is opened afresh.
                m_clock.SleepFor(4000);
                m_links.parallel->Close();
                written =
                    m_links.parallel->Open(m_portName) && ParallelWrite(setup::StatusBackOff());
            }
            break;
        case PortKind::Network:
            written = ConnectNetwork(*m_links.network, m_clock, m_links.networkAddress,
                                     m_links.networkPort);
            if (written) {
                NetworkSend(enter);
                NetworkSend(block.bytes);
                NetworkSend(leave);
            }
            break;
        default:
            written = PortWrite(enter) && PortWrite(block.bytes) && PortWrite(leave);
            // The writes may have returned while the bytes still sat in the system's
            // buffers; a line that went away meanwhile (a vanished adapter, a hung-up
            // terminal) did not carry the settings to the printer.
            if (written && m_kind == PortKind::Serial) {
                m_clock.SleepFor(kDeliveryWaitMs);
                written = m_links.port->LinkUp();
            }
            break;
    }
    if (!written) {
        ClosePort();
        return Failure(msg::kWriteFail, false, kFailedActions);
    }

    if (block.usbModeIncluded) {
        // The printer comes back as a different device: nothing to reopen.
        outcome.connectionClosed = true;
        if (m_kind == PortKind::Parallel) {
            m_parallelOpen = false;
            m_links.parallel->Close();
        } else {
            ClosePort();
        }
    } else if (m_kind == PortKind::Usb) {
        ReopenUsb();
    } else if (m_kind == PortKind::Network) {
        m_clock.SleepFor(3000);
        m_links.network->CloseSocket();
    }
    return outcome;
}

// ---- test page ----

Outcome SetupSession::PrintTestPage(bool korean) {
    WaitOutRest();
    const auto steps = BuildTestPage(korean);
    bool written = true;
    switch (m_kind) {
        case PortKind::Parallel:
            for (const Bytes& step : steps)
                if (!(written = ParallelWrite(step))) break;
            break;
        case PortKind::Network:
            written = ConnectNetwork(*m_links.network, m_clock, m_links.networkAddress,
                                     m_links.networkPort);
            if (written)
                for (const Bytes& step : steps) NetworkSend(step);
            break;
        default:
            for (const Bytes& step : steps)
                if (!(written = PortWrite(step))) break;
            break;
    }
    if (!written) {
        ClosePort();
        return Failure(msg::kWriteFail, false, kFailedActions);
    }
    m_clock.SleepFor(800);
    if (m_kind == PortKind::Network) m_links.network->CloseSocket();
    return Idle();
}

// ---- resting ----

void SetupSession::OnSettingReceived(const SetupReply& reply) {
    // The setup code is the last reply of a network read: the printer rests after it. The
    // rest is noted before the listener hears of the reply, so it sees the rest due.
    if (m_kind == PortKind::Network && reply.number == kSetupCode)
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
    m_timerMs = 0;
    if (exitButton) {
        StopReceiveThread();
        m_clock.SleepFor(300);
    }
    switch (m_kind) {
        case PortKind::Parallel:
            if (m_links.parallel && (m_parallelOpen || m_links.parallel->isOpen()))
                m_links.parallel->Close();
            m_parallelOpen = false;
            break;
        case PortKind::Network:
            if (m_links.network) m_links.network->CloseSocket();
            break;
        default:
            if (m_links.port) {
                if (m_links.port->isOpen()) m_links.port->Close();
                m_links.port->SetNotifyWindow(nullptr);
            }
            break;
    }
    StopReceiveThread();
}

}  // namespace kp70

namespace kp70 {

// The session's own connection as a status link: requests go out as the session's own
// commands do, answers are taken from where the receive thread would take them.
class SetupSession::HeldLink : public StatusLink {
public:
    explicit HeldLink(SetupSession& session) : m_session(session) {}
    bool Send(const std::vector<std::uint8_t>& bytes) override {
        if (m_session.m_kind == PortKind::Network) {
            const int length = static_cast<int>(bytes.size());
            return m_session.m_links.network->Send(bytes.data(), length) == length;
        }
        return m_session.PortWrite(bytes);
    }
    void Receive(std::vector<std::uint8_t>& bytes) override {
        if (m_session.m_kind == PortKind::Usb) m_session.m_links.port->ReadUsbReply();
        std::lock_guard lock(m_session.m_takeMutex);
        ReceiveQueue& queue = m_session.m_kind == PortKind::Network
                                  ? m_session.m_links.network->Queue()
                                  : m_session.m_ring;
        while (!queue.IsEmpty()) bytes.push_back(queue.Get());
    }

private:
    SetupSession& m_session;
};

bool SetupSession::WaitForQuiet(const CancelToken& cancel) {
    for (int waited = 0; waited < setup::kStatusQuietLimitMs; waited += setup::kStatusQuietMs) {
        const long long before = m_bytesTaken.load();
        if (!SleepUnlessCancelled(m_receiveClock, setup::kStatusQuietMs, cancel)) return false;
        const bool queued =
            m_kind == PortKind::Network ? !m_links.network->Queue().IsEmpty() : !m_ring.IsEmpty();
        if (m_bytesTaken.load() == before && !queued && RestRemainingMs() <= 0) return true;
    }
    return false;
}

StatusReport SetupSession::QueryStatus(const CancelToken& cancel, int answerBoundMs) {
    StatusReport report;
    report.boundMs = answerBoundMs;
    report.problem = StatusReport::Problem::SendFailed;
    if (m_closed || m_kind == PortKind::File || m_kind == PortKind::None) return report;
    if (m_kind == PortKind::Parallel) {
        if (!m_parallelOpen || !m_links.parallel) return report;
        // The setup's receive thread owns the controller's reply queue.
        ParallelStatusLink link(*m_links.parallel, false);
        return StatusSession(link, m_clock, answerBoundMs).Query(cancel);
    }
    if (m_kind == PortKind::Network ? !m_links.network : !m_links.port || !m_links.port->isOpen())
        return report;
    if (!WaitForQuiet(cancel)) {
        if (cancel.Cancelled()) report.problem = StatusReport::Problem::Cancelled;
        return report;
    }
    {
        std::lock_guard lock(m_takeMutex);
        m_statusHold = true;
    }
    HeldLink link(*this);
    report = StatusSession(link, m_clock, answerBoundMs).Query(cancel);
    std::lock_guard lock(m_takeMutex);
    m_statusHold = false;
    return report;
}

}  // namespace kp70
