#include "core/setup/SetupReceiveThread.h"

#include <system_error>

#include "core/app/Clock.h"
#include "core/setup/ReplyMapping.h"
#include "core/setup/SettingListener.h"

namespace kp70 {

SetupReceiveThread::SetupReceiveThread(ByteSource source, SettingListener& listener, Clock& clock)
    : m_source(std::move(source)), m_listener(listener), m_clock(clock) {}

SetupReceiveThread::~SetupReceiveThread() {
    Stop();
}

bool SetupReceiveThread::Start() {
    if (m_thread.joinable()) return true;
    {
        std::lock_guard lock(m_handOffMutex);
        m_stop = false;
        m_handingOff = false;
    }
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void SetupReceiveThread::Stop() {
    if (!m_thread.joinable()) return;
    bool cancel;
    {
        std::lock_guard lock(m_handOffMutex);
        m_stop = true;
        cancel = m_handingOff;
    }
    if (cancel) m_listener.CancelDelivery();
    m_thread.join();
    m_sourceBusy = false;
}

void SetupReceiveThread::DiscardPending() {
    std::lock_guard lock(m_consumeMutex);
    std::uint8_t byte;
    while (m_source(byte)) {
    }
    m_parser.Reset();
}

bool SetupReceiveThread::Received(int number) const {
    return m_received[static_cast<std::size_t>(number & 0xFF)].load();
}

void SetupReceiveThread::ClearReceived() {
    for (auto& flag : m_received) flag = false;
    m_anyReceived = false;
}

void SetupReceiveThread::Run() {
    for (;;) {
        {
            std::lock_guard lock(m_handOffMutex);
            if (m_stop) return;
        }
        std::optional<SetupReply> reply;
        bool gotByte;
        {
            std::lock_guard lock(m_consumeMutex);
            std::uint8_t byte = 0;
            gotByte = m_source(byte);
            if (gotByte) reply = m_parser.Feed(byte);
        }
        m_sourceBusy = gotByte;
        if (!gotByte) {
            m_clock.SleepFor(kPollMs);
            continue;
        }
        if (!reply) continue;
        const std::optional<SetupReply> mapped = MapReply(*reply);
        if (!mapped) continue;
        {
            std::lock_guard lock(m_handOffMutex);
            if (m_stop) return;
            m_handingOff = true;
        }
        m_listener.OnSettingReceived(*mapped);
        m_received[static_cast<std::size_t>(mapped->number & 0xFF)] = true;
        m_anyReceived = true;
        std::lock_guard lock(m_handOffMutex);
        m_handingOff = false;
    }
}

}  // namespace kp70
