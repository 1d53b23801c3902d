#include "gui/setup/SessionWorker.h"

#include <system_error>

namespace kp70 {

SessionWorker::~SessionWorker() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_tasks.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
}

bool SessionWorker::Post(std::function<void()> task) {
    std::lock_guard lock(m_mutex);
    if (m_stop) return false;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
    }
    m_tasks.push_back(std::move(task));
    m_wake.notify_one();
    return true;
}

bool SessionWorker::Busy() const {
    std::lock_guard lock(m_mutex);
    return m_running || !m_tasks.empty();
}

void SessionWorker::Run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_tasks.empty(); });
        if (m_stop) return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_running = true;
        lock.unlock();
        task();
        lock.lock();
        m_running = false;
    }
}

}  // namespace kp70
