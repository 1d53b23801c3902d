#include "gui/app/OperationRunner.h"

#include <QThread>
#include <QWidget>
#include <algorithm>
#include <system_error>

namespace kp70 {

// One hand-off from another thread: queued to the screen's thread, which runs it unless
// the hand-offs were stopped first.
struct OperationRunner::HandOff {
    bool started = false;   // the screen's thread has begun running it
    bool finished = false;  // ran, or released without running
    bool ran = false;
};

OperationRunner::OperationRunner(QObject* parent) : QObject(parent) {}

OperationRunner::~OperationRunner() {
    Shutdown();
}

void OperationRunner::Shutdown() {
    // Calls the runner's thread queued before the join are dropped when they arrive.
    m_shutDown = true;
    m_closing = true;
    StopHandOffs();
    m_cancel.Cancel();
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        m_handed.clear();
    }
    m_wake.notify_all();
    if (m_thread.joinable()) m_thread.join();
    m_queue.clear();
}

void OperationRunner::SetActions(std::vector<std::pair<ActionSet, QWidget*>> actions) {
    m_actions = std::move(actions);
    ShowActions(m_shown);
}

void OperationRunner::ShowActions(ActionSet enabled) {
    m_shown = enabled;
    for (const auto& [bit, widget] : m_actions) widget->setEnabled((enabled & bit) != 0);
}

bool OperationRunner::Run(Step step, Done done, ActionSet whileRunning) {
    if (m_closing) return false;
    Task task;
    task.step = std::move(step);
    task.done = std::move(done);
    task.whileRunning = whileRunning;
    return Enqueue(std::move(task));
}

bool OperationRunner::Busy() const {
    return m_running || !m_queue.empty();
}

void OperationRunner::Close(std::function<void()> closeStep, std::function<void()> closed) {
    if (m_closing) return;
    m_closing = true;
    m_queue.clear();
    m_cancel.Cancel();
    StopHandOffs();
    ShowActions(0);
    Task task;
    task.closing = true;
    task.closeStep = closeStep;
    task.closed = closed;
    if (!Enqueue(std::move(task))) {
        // No thread to close on: close here, nothing runs on the runner's thread.
        m_queue.clear();
        if (closeStep) closeStep();
        if (closed) closed();
    }
}

bool OperationRunner::Enqueue(Task task) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stop) return false;
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread([this] { ThreadMain(); });
            } catch (const std::system_error&) {
                return false;
            }
        }
    }
    m_queue.push_back(std::move(task));
    if (!m_running) StartNext();
    return true;
}

void OperationRunner::StartNext() {
    if (m_queue.empty()) return;
    Task task = std::move(m_queue.front());
    m_queue.pop_front();
    m_running = true;
    if (!task.closing) m_cancel.Reset();
    ShowActions(task.closing ? 0 : task.whileRunning);
    {
        std::lock_guard lock(m_mutex);
        m_handed.push_back(std::move(task));
    }
    m_wake.notify_one();
}

void OperationRunner::ThreadMain() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop || !m_handed.empty(); });
        if (m_stop) return;
        Task task = std::move(m_handed.front());
        m_handed.pop_front();
        lock.unlock();

        Outcome outcome;
        if (task.closing) {
            if (task.closeStep) task.closeStep();
        } else if (task.step) {
            StepContext context(m_cancel, [this](std::function<void()> fn) {
                PostToGui([this, fn = std::move(fn)] {
                    if (!m_shutDown) fn();
                });
            });
            outcome = task.step(context);
        }
        PostToGui([this, task, outcome] { Finish(task, outcome); });

        lock.lock();
    }
}

void OperationRunner::PostToGui(std::function<void()> fn) {
    // Posted events to this object are discarded when it is destroyed, and the destructor
    // joins this thread before that, so nothing runs on a runner that is gone.
    QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

void OperationRunner::Finish(Task task, const Outcome& outcome) {
    if (m_shutDown) return;
    m_running = false;
    if (task.closing) {
        if (task.closed) task.closed();
        return;
    }
    if (!m_closing) {
        ShowActions(outcome.enabled);
        if (task.done) task.done(outcome);
    }
    if (!m_running) StartNext();
}

bool OperationRunner::CallOnGuiThread(std::function<void()> fn) {
    if (QThread::currentThread() == thread()) {
        {
            std::lock_guard lock(m_handOffMutex);
            if (m_handOffsStopped) return false;
        }
        fn();
        return true;
    }
    auto handOff = std::make_shared<HandOff>();
    {
        std::lock_guard lock(m_handOffMutex);
        if (m_handOffsStopped) return false;
        m_handOffs.push_back(handOff);
        ++m_posting;
    }
    QMetaObject::invokeMethod(
        this,
        [this, handOff, fn] {
            {
                std::lock_guard lock(m_handOffMutex);
                if (handOff->finished) return;  // released while it waited in the queue
                handOff->started = true;
            }
            fn();
            {
                std::lock_guard lock(m_handOffMutex);
                handOff->finished = true;
                handOff->ran = true;
            }
            m_handOffDone.notify_all();
        },
        Qt::QueuedConnection);

    std::unique_lock lock(m_handOffMutex);
    --m_posting;
    m_handOffDone.notify_all();
    m_handOffDone.wait(lock, [&] { return handOff->finished; });
    m_handOffs.erase(std::find(m_handOffs.begin(), m_handOffs.end(), handOff));
    return handOff->ran;
}

void OperationRunner::ReleaseHandOffs() {
    std::lock_guard lock(m_handOffMutex);
    for (const auto& handOff : m_handOffs)
        if (!handOff->started) handOff->finished = true;
    m_handOffDone.notify_all();
}

void OperationRunner::StopHandOffs() {
    std::unique_lock lock(m_handOffMutex);
    m_handOffsStopped = true;
    // A hand-off that has started is running further up this very thread's stack (a box
    // opened while a reply was applied); it finishes by itself.
    for (const auto& handOff : m_handOffs)
        if (!handOff->started) handOff->finished = true;
    m_handOffDone.notify_all();
    // Threads that passed the check above are about to queue their call; once they have,
    // their call is either released here or discarded with this object.
    m_handOffDone.wait(lock, [this] { return m_posting == 0; });
}

}  // namespace kp70
