#include "core/transport/PortLink.h"

#include <algorithm>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {
constexpr int kDrainPollMs = 20;
}  // namespace

PortLink::PortLink(PrinterPort& port, Clock& clock, LinkRequest request)
    : m_port(port),
      m_clock(clock),
      m_request(request),
      m_kind(AttachmentOfPort(port.Settings().portName)),
      m_portName(port.Settings().portName) {}

PortLink::~PortLink() {
    Close();
}

bool PortLink::Open(const CancelToken&) {
    // A print file keeps what was written to it: opening it again would ask for its name
    // again and empty it.
    if (m_kind == Attachment::File && m_opened && m_port.isOpen()) return true;
    ConnectionSettings& settings = m_port.Settings();
    if (!m_opened) m_savedToolMode = settings.toolMode;
    settings.portName = m_portName;
    // The port runs its receive thread in the user setup tool's mode.
    settings.toolMode = m_request.replies ? kToolModeSetup : m_request.toolMode;
    if (m_request.binary && m_kind == Attachment::Serial) {
        if (!m_savedFlow) m_savedFlow = settings.flowControl;
        settings.flowControl = 3;
    }
    {
        std::lock_guard lock(m_mutex);
        m_replies.clear();
    }
    // A port left open (by a tool before, or this link) is closed first rather than opened
    // twice, which would make the port wait a second.
    if (m_port.isOpen()) m_port.Close();
    m_port.SetNotifyWindow(this);
    m_opened = true;
    m_port.KeepFiles(m_request.readFiles);
    if (m_port.Open()) return true;
    m_port.SetNotifyWindow(nullptr);
    return false;
}

bool PortLink::IsOpen() const {
    return m_opened && m_port.isOpen();
}

bool PortLink::CheckConnection(const CancelToken&) {
    return IsOpen();
}

SendResult PortLink::Send(const std::uint8_t* data, int length, const CancelToken& cancel) {
    if (!IsOpen()) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    return m_port.WriteBounded(data, length, cancel);
}

bool PortLink::CanAnswer() const {
    return m_kind == Attachment::UsbPrinter || (m_kind == Attachment::Serial && m_request.replies);
}

bool PortLink::RequestReplies() {
    // A USB printer's answer is read back on request; it reaches OnDataReceived.
    if (m_kind == Attachment::UsbPrinter && IsOpen()) return m_port.ReadUsbReply() != 0;
    return true;
}

void PortLink::OnDataReceived() {
    // On the port's receive thread (or in ReadUsbReply): empty m_QueueRead at once.
    ReceiveQueue& queue = m_port.QueueRead();
    std::lock_guard lock(m_mutex);
    while (!queue.IsEmpty()) m_replies.push_back(queue.Get());
}

void PortLink::TakeReplies(std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(m_mutex);
    bytes.insert(bytes.end(), m_replies.begin(), m_replies.end());
    m_replies.clear();
}

bool PortLink::RepliesPending() const {
    std::lock_guard lock(m_mutex);
    return !m_replies.empty();
}

bool PortLink::StillUp() {
    return IsOpen() && m_port.LinkUp();
}

Delivery PortLink::WaitDelivered(const CancelToken& cancel) {
    if (!IsOpen()) return {DeliveryFault::Lost, "the port is not open"};
    if (m_kind == Attachment::File) {
        if (m_port.SyncOutput()) return {};
        return {DeliveryFault::Lost, "the file could not be written to the disk"};
    }
    // What the driver still holds goes out at the line's pace; it must move on.
    int pending = m_port.OutputPending();
    std::int64_t still = m_clock.Now();
    while (pending > 0) {
        if (cancel.Cancelled()) return {DeliveryFault::Cancelled, "cancelled"};
        if (m_clock.Now() - still >= kDrainStallMs) {
            return {DeliveryFault::NotTaken,
                    "the printer took nothing for " + std::to_string(kDrainStallMs / 1000) +
                        " s (" + std::to_string(pending) + " bytes still in the port)"};
        }
        m_clock.SleepFor(kDrainPollMs);
        const int now = m_port.OutputPending();
        if (now < pending) still = m_clock.Now();
        pending = now;
    }
    if (!SleepUnlessCancelled(m_clock, kHangUpSettleMs, cancel))
        return {DeliveryFault::Cancelled, "cancelled"};
    if (!StillUp())
        return {DeliveryFault::Lost, "the link went before the printer had taken the last bytes"};
    return {};
}

void PortLink::Close() {
    if (!m_opened) return;
    // Close joins the receive thread, so nothing is handed over after it.
    if (m_port.isOpen()) m_port.Close();
    m_port.SetNotifyWindow(nullptr);
    m_opened = false;
    PutBack();
}

void PortLink::PutBack() {
    // The connection screen's choice as it was: the port name (not a print file's path),
    // the operator's flow control and the tool mode.
    ConnectionSettings& settings = m_port.Settings();
    settings.portName = m_portName;
    settings.toolMode = m_savedToolMode;
    if (m_savedFlow) settings.flowControl = *m_savedFlow;
    m_savedFlow.reset();
}

int PortLink::LastErrorCode() const {
    return m_port.LastErrorCode();
}

std::string PortLink::LastErrorText() const {
    return m_port.LastErrorText();
}

}  // namespace kp70
