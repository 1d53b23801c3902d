#pragma once

#include <QObject>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/app/CancelToken.h"
#include "core/app/Outcome.h"

class QWidget;

namespace kp70 {

// What a step sees while it runs on the runner's thread.
class StepContext {
public:
    // Set when the operator closes the screen (or the runner is told to cancel): the step
    // should stop at its next safe point and return.
    const CancelToken& cancel;

    // Runs fn on the screen's thread soon after (progress, a title dot). Dropped when the
    // screen is gone by then.
    void Post(std::function<void()> fn) const { m_post(std::move(fn)); }

    StepContext(const CancelToken& token, std::function<void(std::function<void()>)> post)
        : cancel(token), m_post(std::move(post)) {}

private:
    std::function<void(std::function<void()>)> m_post;
};

// The one way a screen runs the steps of a core session. A step (a write with its waits,
// a re-open schedule, a network probe, a search) runs on the runner's own thread, one at a
// time and in the order asked for, so the screen's thread never waits for the printer and
// the window keeps painting. While a step runs the screen offers only the actions the step
// allows; when it ends, its outcome arrives on the screen's thread and the screen offers
// exactly the actions the outcome names.
//
// Closing: Close() cancels the running step, drops the steps still waiting, runs the
// closing step and then calls back on the screen's thread, all without blocking that
// thread. The destructor cancels, releases any thread waiting in CallOnGuiThread and joins
// the runner's thread; it never spins an event loop.
class OperationRunner : public QObject {
    Q_OBJECT

public:
    using Step = std::function<Outcome(StepContext&)>;
    using Done = std::function<void(const Outcome&)>;

    explicit OperationRunner(QObject* parent = nullptr);
    ~OperationRunner() override;
    OperationRunner(const OperationRunner&) = delete;
    OperationRunner& operator=(const OperationRunner&) = delete;

    // The screen's controls, each standing for one action bit (a bit may name several).
    void SetActions(std::vector<std::pair<ActionSet, QWidget*>> actions);
    // Enables exactly the controls of `enabled`.
    void ShowActions(ActionSet enabled);
    ActionSet ShownActions() const { return m_shown; }

    // Runs step on the runner's thread; while it runs only the actions of whileRunning are
    // enabled. done gets the outcome on the screen's thread, after the actions the outcome
    // names were enabled (done may change them again). Steps asked for while one runs wait
    // their turn. False when the runner is closing or its thread cannot be started (the
    // step is then dropped).
    bool Run(Step step, Done done, ActionSet whileRunning = 0);

    // True while a step runs or waits to run (the closing step included).
    bool Busy() const;
    bool Closing() const { return m_closing; }

    // Cancels the step under way, drops the waiting ones, runs closeStep (may be empty)
    // and then calls closed on the screen's thread. Every action is disabled meanwhile.
    // A second Close while one is under way is ignored.
    void Close(std::function<void()> closeStep, std::function<void()> closed);

    // From any thread: runs fn on the screen's thread and returns once it has run (a
    // blocking hand-off, so one reply is applied at a time). Returns false at once, without
    // running fn, when the runner is shutting down; a caller waiting at that moment is
    // released with false as well, so a thread being joined never waits for the screen.
    bool CallOnGuiThread(std::function<void()> fn);
    // Releases every waiting hand-off and makes later ones return false at once.
    void StopHandOffs();
    // Releases the hand-offs waiting now (they return false without running); later ones
    // run as usual. For a thread that is being stopped while the screen stays open.
    void ReleaseHandOffs();

    // Stops for good, without an event loop: releases the hand-offs, cancels the running
    // step, drops the waiting ones and joins the runner's thread. No done or closed call
    // follows. An owner whose other threads hand off through this runner calls it before
    // it stops those threads, and destroys the runner only after them; the destructor
    // calls it too.
    void Shutdown();

private:
    struct Task {
        Step step;
        Done done;
        ActionSet whileRunning = 0;
        bool closing = false;
        std::function<void()> closeStep;
        std::function<void()> closed;
    };
    struct HandOff;

    bool Enqueue(Task task);
    void StartNext();
    void ThreadMain();
    void Finish(Task task, const Outcome& outcome);
    void PostToGui(std::function<void()> fn);

    std::vector<std::pair<ActionSet, QWidget*>> m_actions;
    ActionSet m_shown = 0;
    bool m_closing = false;   // screen's thread only
    bool m_shutDown = false;  // screen's thread only: nothing runs any more
    bool m_running = false;   // screen's thread only: a task was handed to the thread

    // Shared with the runner's thread.
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Task> m_queue;   // screen's thread only: tasks waiting for their turn
    std::deque<Task> m_handed;  // the task handed to the thread (at most one)
    bool m_stop = false;
    CancelToken m_cancel;
    std::thread m_thread;

    // Hand-offs from other threads.
    std::mutex m_handOffMutex;
    std::condition_variable m_handOffDone;
    std::vector<std::shared_ptr<HandOff>> m_handOffs;
    int m_posting = 0;  // threads between the closing check and their queued call
    bool m_handOffsStopped = false;
};

}  // namespace kp70
