#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kp70 {

// Runs the blocking steps of a setup session (writes with their waits, re-open schedules,
// network probes, the parallel-port read timer) one at a time and in the order posted, on
// a thread of its own, so the screen's thread never waits for the printer. A task reports
// back to the screen with a queued call.
class SessionWorker {
public:
    SessionWorker() = default;
    // Lets the task under way finish, drops the tasks still waiting and ends the thread.
    ~SessionWorker();
    SessionWorker(const SessionWorker&) = delete;
    SessionWorker& operator=(const SessionWorker&) = delete;

    // Queues a task; the thread is started with the first one. False when the thread
    // cannot be created (the task is then dropped).
    bool Post(std::function<void()> task);
    // True while a task runs or waits to run.
    bool Busy() const;

private:
    void Run();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
    bool m_running = false;  // a task is being run
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace kp70
