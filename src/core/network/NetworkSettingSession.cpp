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

NetworkSettingSession::End NetworkSettingSession::ReceiveFrames(
    const CancelToken& cancel, const std::function<Take(const Datagram&)>& take) {
    const std::int64_t start = m_clock.Now();
    const std::int64_t bound = start + m_receiveMs * kDiscoveryWindowLimit;
    std::int64_t lastCounted = start;
    int counted = 0;
    for (;;) {
        if (cancel.Cancelled()) return End::Cancelled;
        const std::int64_t left = std::min(lastCounted + m_receiveMs, bound) - m_clock.Now();
        if (left <= 0) return End::Quiet;
        const Datagram datagram = m_link.Receive(std::min(left, kReceiveSliceMs));
        if (datagram.status == Datagram::Status::Failed) return End::Failed;
        if (datagram.status != Datagram::Status::Received) continue;
        switch (take(datagram)) {
            case Take::Ignore:
                break;
            case Take::Stop:
                return End::Stopped;
            case Take::Count:
                lastCounted = m_clock.Now();
                if (++counted >= kDiscoveryFrameLimit) return End::Stopped;
                break;
        }
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
    // The PC receives its own broadcast too, which names no printer; a datagram that is not
    // 35 bytes long is no frame of this protocol, and a frame that names nothing (another
    // PC's search) is no printer's answer. Only frames that name a printer count towards
    // the limit and keep the search listening; those from the PC's own addresses are no
    // printer, and a MAC address already listed is not listed again.
    std::vector<MacBytes> listed;
    ReceiveFrames(cancel, [&](const Datagram& datagram) {
        const auto frame = DiscoveryFrame::FromBytes(datagram.bytes.data(), datagram.bytes.size());
        if (!frame || frame->NamesNoPrinter()) return Take::Ignore;
        const NetworkSettings settings = frame->Settings();
        if (IsOwnAddress(datagram.sender) ||
            std::find(listed.begin(), listed.end(), settings.mac) != listed.end())
            return Take::Count;
        listed.push_back(settings.mac);
        ++outcome.count;
        if (found) found(DiscoveredPrinter::From(settings));
        return Take::Count;
    });
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
    // The answer of the printer is not read beyond this: a frame that names a printer, from
    // another address than the PC's, ends the wait. The PC's own broadcast counts as a
    // frame; datagrams of another length and frames that name nothing do not.
    bool answered = false;
    const End end = ReceiveFrames(cancel, [&](const Datagram& datagram) {
        const auto frame = DiscoveryFrame::FromBytes(datagram.bytes.data(), datagram.bytes.size());
        if (!frame || frame->NamesNoPrinter()) return Take::Ignore;
        if (IsOwnAddress(datagram.sender)) return Take::Count;
        answered = true;
        return Take::Stop;
    });
    SendFrame(setFrame.WithCommand(discovery::kEndOfChange), outcome);
    Close();
    m_changeOffered = false;
    if (answered) {
        outcome.notices.push_back(WithCaption(Notice::Message(msg::kNetworkUpdateComplete), kind));
    } else if (end == End::Cancelled) {
        outcome.status = OutcomeStatus::Cancelled;
    } else {
        // The frames went out as always; what did not happen is said, not "Update Complete".
        Notice notice;
        notice.text = kNoPrinterAnswered;
        notice.icon = MessageIcon::Exclamation;
        outcome.notices.push_back(WithCaption(std::move(notice), kind));
        outcome.status = OutcomeStatus::Failed;
    }
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
