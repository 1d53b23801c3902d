#include "core/status/StatusLinks.h"

#include "core/transport/NetworkLink.h"
#include "core/transport/ParallelController.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

void Drain(ReceiveQueue& queue, std::vector<std::uint8_t>& bytes) {
    while (!queue.IsEmpty()) bytes.push_back(queue.Get());
}

}  // namespace

bool PortStatusLink::Send(const std::vector<std::uint8_t>& bytes) {
    const int length = static_cast<int>(bytes.size());
    return m_port.Write(bytes.data(), length) == length;
}

void PortStatusLink::Receive(std::vector<std::uint8_t>& bytes) {
    if (m_port.Settings().portName == "USB") m_port.ReadUsbReply();
    Drain(m_port.QueueRead(), bytes);
}

bool NetworkStatusLink::Send(const std::vector<std::uint8_t>& bytes) {
    const int length = static_cast<int>(bytes.size());
    return m_link.Send(bytes.data(), length) == length;
}

void NetworkStatusLink::Receive(std::vector<std::uint8_t>& bytes) {
    Drain(m_link.Queue(), bytes);
}

ParallelStatusLink::ParallelStatusLink(ParallelController& controller, bool takeReplies)
    : m_controller(controller),
      m_takeReplies(takeReplies),
      m_blocksSeen(controller.statusBlocks()) {}

bool ParallelStatusLink::Send(const std::vector<std::uint8_t>&) {
    return true;
}

void ParallelStatusLink::Receive(std::vector<std::uint8_t>& bytes) {
    if (!m_readerStarted) m_readerStarted = m_controller.StartReader() != 0;
    // The reader reads once per request; asking again while it waits changes nothing.
    m_controller.RequestRead();
    if (!m_takeReplies) return;
    int flag = 1;
    for (;;) {
        const std::uint8_t byte = m_controller.GetByte(flag);
        if (flag != 1) break;
        bytes.push_back(byte);
    }
}

std::optional<StatusBlock> ParallelStatusLink::TakeBlock() {
    const int seen = m_controller.statusBlocks();
    if (seen == m_blocksSeen) return std::nullopt;
    m_blocksSeen = seen;
    return m_controller.lastStatus();
}

}  // namespace kp70
