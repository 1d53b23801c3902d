#include "core/transport/ParallelLink.h"

#include "core/app/CancelToken.h"
#include "core/transport/ParallelController.h"

namespace kp70 {

ParallelLink::ParallelLink(std::unique_ptr<ParallelController> controller, std::string portName)
    : m_controller(std::move(controller)), m_portName(std::move(portName)) {}

ParallelLink::~ParallelLink() {
    Close();
}

bool ParallelLink::Open(const CancelToken&) {
    m_readerStarted = false;
    if (!m_controller->Open(m_portName)) return false;
    m_blocksSeen = m_controller->statusBlocks();
    return true;
}

bool ParallelLink::IsOpen() const {
    return m_controller->isOpen();
}

SendResult ParallelLink::Send(const std::uint8_t* data, int length, const CancelToken& cancel) {
    if (!IsOpen()) return {0, SendFault::NotOpen, 0};
    if (length <= 0) return {};
    return m_controller->WriteBounded(data, length, cancel);
}

bool ParallelLink::RequestReplies() {
    // One reader serves the link until StopReplies; each request makes it read once more.
    if (!m_readerStarted) {
        if (!m_controller->StartReader()) return false;
        m_readerStarted = true;
    }
    m_controller->RequestRead();
    return true;
}

void ParallelLink::StopReplies() {
    m_controller->StopReader();
    m_readerStarted = false;
}

void ParallelLink::TakeReplies(std::vector<std::uint8_t>& bytes) {
    for (int flag = 1;;) {
        const std::uint8_t byte = m_controller->GetByte(flag);
        if (flag != 1) return;
        bytes.push_back(byte);
    }
}

bool ParallelLink::RepliesPending() const {
    return m_controller->Queued() > 0;
}

std::optional<StatusBlock> ParallelLink::TakeStatusBlock() {
    const int seen = m_controller->statusBlocks();
    if (seen == m_blocksSeen) return std::nullopt;
    m_blocksSeen = seen;
    return m_controller->lastStatus();
}

bool ParallelLink::StillUp() {
    return m_controller->LinkUp();
}

Delivery ParallelLink::WaitDelivered(const CancelToken& cancel) {
    // The controller's write returns once the port has taken the bytes.
    if (cancel.Cancelled()) return {DeliveryFault::Cancelled, "cancelled"};
    if (!StillUp())
        return {DeliveryFault::Lost, "the port went before the printer had taken the last bytes"};
    return {};
}

void ParallelLink::Close() {
    if (!m_controller->isOpen()) return;
    m_readerStarted = false;
    m_controller->Close();
}

int ParallelLink::LastErrorCode() const {
    return m_controller->lastErrorCode();
}

std::string ParallelLink::LastErrorText() const {
    return m_controller->lastErrorText();
}

bool ParallelLink::LegacyMode() const {
    return m_controller->timeoutsSet();
}

}  // namespace kp70
