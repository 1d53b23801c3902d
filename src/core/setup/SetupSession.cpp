#include "core/setup/SetupSession.h"

#include "core/app/Clock.h"
#include "core/setup/SettingListener.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupReceiveThread.h"
#include "core/setup/SetupValues.h"
#include "core/setup/TestPage.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/ParallelController.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

using setup::Bytes;

// Message numbers of the setup sessions.
constexpr int kInitFail = 2;
constexpr int kNetworkCheck = 20;
constexpr int kWriteToPort = 22;
constexpr int kPrinterCheck = 24;
constexpr int kWriteFail = 48;
constexpr int kThreadFail = 52;
constexpr int kReadFail = 60;
constexpr const char* kRepeatFail = "GetValueCmd Fail!";

constexpr int kFirstReadTimerMs = 3000;
constexpr int kRepeatReadTimerMs = 2000;

SetupOutcome Failure(int message, bool closeScreen, bool screenFailed) {
    SetupOutcome outcome;
    outcome.status = SetupStatus::Failed;
    outcome.message = message;
    outcome.closeScreen = closeScreen;
    outcome.screenFailed = screenFailed;
    return outcome;
}

}  // namespace

SetupSession::SetupSession(std::string portName, SetupLinks links, Clock& clock,
                           Clock& receiveClock, SettingListener& listener)
    : m_portName(std::move(portName)),
      m_kind(PortKindOf(m_portName)),
      m_links(std::move(links)),
      m_clock(clock),
      m_receiveClock(receiveClock),
      m_listener(listener) {
    m_receiver = std::make_unique<SetupReceiveThread>(
        [this](std::uint8_t& byte) { return NextByte(byte); }, m_listener, m_receiveClock);
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
    switch (m_kind) {
        case PortKind::Parallel: {
            int flag = -1;
            byte = m_links.parallel->GetByte(flag);
            return flag == 1;
        }
        case PortKind::Network: {
            ReceiveQueue& queue = m_links.network->Queue();
            if (queue.IsEmpty()) return false;
            byte = queue.Get();
            return true;
        }
        default:
            if (m_ring.IsEmpty()) return false;
            byte = m_ring.Get();
            return true;
    }
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

SetupOutcome SetupSession::Start() {
    m_closed = false;
    switch (m_kind) {
        case PortKind::Parallel: {
            if (!m_links.parallel || !m_links.parallel->Open(m_portName)) {
                SetupOutcome outcome = Failure(kInitFail, true, false);
                if (m_links.parallel) outcome.detail = m_links.parallel->lastErrorText();
                return outcome;
            }
            m_parallelOpen = true;
            if (!ParallelWrite(setup::StatusBackOff())) return Failure(kPrinterCheck, true, false);
            return SetupOutcome{};
        }
        case PortKind::Network:
            if (!m_links.network || !ConnectNetwork(*m_links.network, m_clock,
                                                    m_links.networkAddress, m_links.networkPort)) {
                if (m_links.network) m_links.network->CloseSocket();
                return Failure(kNetworkCheck, true, false);
            }
            if (!StartReceiveThread()) return Failure(kThreadFail, true, false);
            return SetupOutcome{};
        default: {
            PrinterPort* port = m_links.port;
            if (!port) return Failure(kInitFail, true, false);
            port->Settings().toolMode = kToolModeSetup;
            port->SetNotifyWindow(this);
            if (port->isOpen()) port->Close();
            if (!port->Open()) return Failure(kInitFail, true, false);
            if ((m_kind == PortKind::Serial || m_kind == PortKind::Usb) && !StartReceiveThread())
                return Failure(kThreadFail, true, false);
            return SetupOutcome{};
        }
    }
}

// ---- reading ----

SetupOutcome SetupSession::ReadSettings() {
    switch (m_kind) {
        case PortKind::Parallel:
            return ReadParallel();
        case PortKind::Network:
            // Stale bytes (and a reply cut short by a reset) would be taken for answers.
            m_receiver->DiscardPending();
            if (!ProbeNetwork()) {
                m_links.network->CloseSocket();
                return Failure(kReadFail, false, true);
            }
            for (int number : setup::ReadListNetwork()) {
                NetworkSend(setup::ReadOneSetting(number));
                m_clock.SleepFor(10);
            }
            return SetupOutcome{};
        default:
            for (int number : setup::ReadListSerial()) {
                if (!PortWrite(setup::ReadOneSetting(number))) {
                    ClosePort();
                    return Failure(kReadFail, false, true);
                }
            }
            // A USB printer's answers are fetched once; they reach OnDataReceived.
            if (m_kind == PortKind::Usb) m_links.port->ReadUsbReply();
            return SetupOutcome{};
    }
}

SetupOutcome SetupSession::ReadParallel() {
    ParallelController& ctl = *m_links.parallel;
    m_timerMs = 0;
    StopReceiveThread();  // a read that was given up
    if (!ParallelWrite(setup::StatusBackOff())) {
        m_parallelOpen = false;
        return Failure(kWriteToPort, false, true);
    }
    for (int number : setup::ReadListParallel()) {
        if (!ParallelWrite(setup::ReadOneSetting(number))) {
            m_parallelOpen = false;
            return Failure(kWriteToPort, false, true);
        }
        ctl.RequestRead();
    }
    if (!ctl.StartReader()) {
        m_parallelOpen = false;
        return Failure(kThreadFail, false, true);
    }
    m_receiver->ClearReceived();
    if (!StartReceiveThread()) {
        m_parallelOpen = false;
        return Failure(kThreadFail, false, true);
    }
    m_timerMs = kFirstReadTimerMs;
    SetupOutcome outcome;
    outcome.status = SetupStatus::Reading;
    return outcome;
}

SetupOutcome SetupSession::OnReadTimer() {
    if (m_kind != PortKind::Parallel || m_timerMs.exchange(0) == 0) return SetupOutcome{};
    SetupOutcome reading;
    reading.status = SetupStatus::Reading;
    // Replies still being taken apart: look again later rather than ask twice.
    if (m_receiver->SourceBusy()) {
        m_timerMs = kRepeatReadTimerMs;
        return reading;
    }
    bool repeated = false;
    for (int number : setup::ReadListParallel()) {
        if (m_receiver->Received(number)) continue;
        if (!ParallelWrite(setup::ReadOneSetting(number))) {
            SetupOutcome outcome;
            outcome.status = SetupStatus::Failed;
            outcome.literal = kRepeatFail;
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
    return SetupOutcome{};
}

void SetupSession::CancelRead() {
    if (m_kind != PortKind::Parallel) return;
    m_timerMs = 0;
    StopReceiveThread();
    m_links.parallel->StopReader();
}

// ---- writing ----

SetupOutcome SetupSession::WriteSettings(SetupValues& values) {
    const WriteBlock block = BuildWriteBlock(values);
    SetupOutcome outcome = WriteSettings(block);
    if (outcome.screenFailed) values.ResetAfterFailure();
    return outcome;
}

SetupOutcome SetupSession::WriteSettings(const WriteBlock& block) {
    SetupOutcome outcome;
    outcome.block = block;
    if (block.status == WriteBlockStatus::NothingToWrite) {
        outcome.status = SetupStatus::NothingToWrite;
        return outcome;
    }
    if (block.status != WriteBlockStatus::Ready) {
        outcome.status = SetupStatus::Refused;
        outcome.message = block.message;
        return outcome;
    }

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
            break;
    }
    if (!written) {
        ClosePort();
        SetupOutcome failed = Failure(kWriteFail, false, true);
        failed.block = block;
        return failed;
    }

    if (block.usbModeIncluded) {
        // The printer comes back as a different device: nothing to reopen.
        outcome.usbModeChanged = true;
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

SetupOutcome SetupSession::PrintTestPage(bool korean) {
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
        return Failure(kWriteFail, false, true);
    }
    m_clock.SleepFor(800);
    if (m_kind == PortKind::Network) m_links.network->CloseSocket();
    return SetupOutcome{};
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
