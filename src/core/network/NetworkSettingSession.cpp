#include "core/network/NetworkSettingSession.h"

#include <algorithm>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/MessageCatalogue.h"

namespace kp70 {

namespace {

// A wait for a datagram looks at the cancel token this often.
constexpr std::int64_t kReceiveSliceMs = 100;

Notice WithCaption(Notice notice, ChangeKind kind) {
    if (kind == ChangeKind::FromRow) notice.caption = texts::kNoticeCaption;
    return notice;
}

}  // namespace

NetworkSettingSession::NetworkSettingSession(DatagramLink& link, Clock& clock,
                                             std::string broadcastAddress, std::int64_t receiveMs)
    : m_link(link),
      m_clock(clock),
      m_broadcastAddress(std::move(broadcastAddress)),
      m_receiveMs(receiveMs) {}

NetworkSettingSession::~NetworkSettingSession() {
    Close();
}

ActionSet NetworkSettingSession::IdleActions() const {
    return network::kSearch | network::kManual | network::kExit | network::kFields |
           (m_changeOffered ? network::kChange : 0);
}

RowFields NetworkSettingSession::ChooseRow(const DiscoveredPrinter& row) {
    RowFields fields = FieldsOfRow(row);
    m_selectedMac = fields.mac;
    m_changeOffered = true;
    return fields;
}

void NetworkSettingSession::ChooseNoRow() {
    m_changeOffered = false;
}

Outcome NetworkSettingSession::Open() {
    Close();
    Outcome outcome;
    const std::vector<DatagramFailure> failures = m_link.Open(kDiscoveryPort);
    m_open = true;
    m_ownAddresses = m_link.LocalAddresses();
    for (const DatagramFailure& failure : failures) {
        Notice notice = failure.step == DatagramStep::SendSocket
                            ? Notice::Literal(kSocketErrorText)
                            : Notice::Message(msg::kSystemError);
        notice.secondLine = failure.reason;
        outcome.notices.push_back(std::move(notice));
    }
    if (!failures.empty()) outcome.status = OutcomeStatus::Failed;
    outcome.enabled = IdleActions();
    return outcome;
}

void NetworkSettingSession::Close() {
    if (!m_open) return;
    m_link.Close();
    m_open = false;
}

bool NetworkSettingSession::IsOwnAddress(const std::string& address) const {
    return std::find(m_ownAddresses.begin(), m_ownAddresses.end(), address) != m_ownAddresses.end();
}

NetworkSettingSession::Wait NetworkSettingSession::ReceiveOne(const CancelToken& cancel,
                                                              Datagram& datagram) {
    const std::int64_t start = m_clock.Now();
    for (;;) {
        if (cancel.Cancelled()) return Wait::Cancelled;
        const std::int64_t left = m_receiveMs - (m_clock.Now() - start);
        if (left <= 0) return Wait::TimedOut;
        datagram = m_link.Receive(std::min(left, kReceiveSliceMs));
        if (datagram.status == Datagram::Status::Received) return Wait::Datagram;
        if (datagram.status == Datagram::Status::Failed) return Wait::Failed;
    }
}

void NetworkSettingSession::SendFrame(const DiscoveryFrame& frame, Outcome& outcome) {
    const std::string reason =
        m_link.Send(frame.bytes().data(), frame.bytes().size(), m_broadcastAddress, kDiscoveryPort);
    if (reason.empty()) return;
    Notice notice;
    notice.text = kFrameNotSent;
    notice.icon = MessageIcon::Exclamation;
    notice.secondLine = m_broadcastAddress + ": " + reason;
    outcome.notices.push_back(std::move(notice));
    outcome.status = OutcomeStatus::Failed;
}

Outcome NetworkSettingSession::Search(const CancelToken& cancel,
                                      const std::function<void(const DiscoveredPrinter&)>& found) {
    // Opened here when the caller did not: the set-up notices then come first.
    Outcome outcome = m_open ? Outcome{} : Open();
    SendFrame(DiscoveryFrame::Search(), outcome);
    // The PC receives its own broadcast too; it counts towards the limit but is no printer.
    // A datagram that is not 35 bytes long is no frame of this protocol, and a frame that
    // names nothing (another PC's search) is no printer's answer.
    Datagram datagram;
    for (int received = 0; received < kDiscoveryFrameLimit; ++received) {
        if (ReceiveOne(cancel, datagram) != Wait::Datagram) break;
        const auto frame = DiscoveryFrame::FromBytes(datagram.bytes.data(), datagram.bytes.size());
        if (!frame || IsOwnAddress(datagram.sender) || frame->NamesNoPrinter()) continue;
        ++outcome.count;
        if (found) found(DiscoveredPrinter::From(frame->Settings()));
    }
    Close();
    outcome.notices.push_back(Notice::Message(msg::kSearchFinished));
    outcome.enabled = IdleActions();
    return outcome;
}

Notice NetworkSettingSession::ChangeQuestion(ChangeKind kind) {
    return WithCaption(Notice::Message(msg::kChangeNetworkQuestion, MessageIcon::Question), kind);
}

Outcome NetworkSettingSession::Change(ChangeKind kind, const DiscoveryFrame& setFrame,
                                      const CancelToken& cancel) {
    Outcome outcome = m_open ? Outcome{} : Open();
    SendFrame(setFrame, outcome);
    // The answer of the printer is not read: any frame from another address than the PC's
    // ends the wait. The PC's own broadcast and datagrams of another length do not.
    Datagram datagram;
    for (int own = 0; own < kDiscoveryFrameLimit; ++own) {
        if (ReceiveOne(cancel, datagram) != Wait::Datagram) break;
        if (datagram.bytes.size() == DiscoveryFrame::kSize && !IsOwnAddress(datagram.sender)) break;
    }
    SendFrame(setFrame.WithCommand(discovery::kEndOfChange), outcome);
    Close();
    m_changeOffered = false;
    outcome.notices.push_back(WithCaption(Notice::Message(msg::kNetworkUpdateComplete), kind));
    outcome.enabled = IdleActions();
    return outcome;
}

Outcome NetworkSettingSession::Decline() {
    Close();
    m_changeOffered = false;
    Outcome outcome;
    outcome.status = OutcomeStatus::NothingToDo;
    outcome.enabled = IdleActions();
    return outcome;
}

}  // namespace kp70
