#include "core/logo/LogoLink.h"

#include "core/app/Clock.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

bool LogoLink::Send(const std::uint8_t* data, int length) {
    if (m_port) return m_port->Write(data, length) == length;
    return m_network->Send(data, length) == length;
}

bool LogoLink::StillUp(Clock& clock) {
    if (m_port) return m_port->LinkUp();
    constexpr int kPollMs = 100;
    for (int waited = 0; m_network->Unacknowledged() > 0; waited += kPollMs) {
        if (waited >= kAckWaitMs) return false;
        clock.SleepFor(kPollMs);
    }
    return m_network->connected() && m_network->Send(nullptr, 0) == 0;
}

int LogoLink::LastErrorCode() const {
    return m_port ? m_port->LastErrorCode() : m_network->LastErrorCode();
}

}  // namespace kp70
