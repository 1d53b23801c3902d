#include "gui/app/OperationRunner.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPushButton>
#include <QThread>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace kp70 {
namespace {

constexpr ActionSet kRead = 1;
constexpr ActionSet kWrite = 2;

// Handles queued calls until done() holds or a generous deadline passes.
bool ProcessUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::yield();
    }
    return done();
}

struct Screen {
    Screen() {
        runner.SetActions({{kRead, &read}, {kWrite, &write}});
        runner.ShowActions(kRead | kWrite);
    }
    QWidget window;
    QPushButton read{&window};
    QPushButton write{&window};
    OperationRunner runner;
};

TEST(OperationRunner, StepsRunOffTheGuiThreadInOrderAndTheirOutcomeNamesTheActions) {
    Screen screen;
    std::vector<int> order;  // touched on the GUI thread only
    std::atomic<bool> offGuiThread{true};
    QThread* gui = QThread::currentThread();

    auto step = [&](int id, ActionSet enabledAfter) {
        return [&, id, enabledAfter](StepContext& context) {
            if (QThread::currentThread() == gui) offGuiThread = false;
            context.Post([&order, id] { order.push_back(-id); });  // progress
            Outcome outcome;
            outcome.enabled = enabledAfter;
            return outcome;
        };
    };
    ASSERT_TRUE(screen.runner.Run(
        step(1, kWrite), [&](const Outcome&) { order.push_back(1); }, kWrite));
    // While the first step runs, only what it allows is offered.
    EXPECT_FALSE(screen.read.isEnabled());
    EXPECT_TRUE(screen.write.isEnabled());
    ASSERT_TRUE(screen.runner.Run(step(2, kRead), [&](const Outcome& o) {
        order.push_back(2);
        EXPECT_EQ(o.enabled, kRead);
    }));
    EXPECT_TRUE(screen.runner.Busy());
    ASSERT_TRUE(ProcessUntil([&] { return !screen.runner.Busy(); }));

    EXPECT_TRUE(offGuiThread);
    EXPECT_EQ(order, (std::vector<int>{-1, 1, -2, 2}));
    // The last outcome decides what is offered.
    EXPECT_TRUE(screen.read.isEnabled());
    EXPECT_FALSE(screen.write.isEnabled());
}

TEST(OperationRunner, CloseCancelsTheRunningStepDropsTheWaitingOnesAndThenCloses) {
    Screen screen;
    std::atomic<bool> started{false};
    std::atomic<bool> sawCancel{false};
    bool firstDone = false, secondRan = false, closeStepRan = false, closed = false;
    ASSERT_TRUE(screen.runner.Run(
        [&](StepContext& context) {
            started = true;
            // A long wait that ends at the cancel.
            while (!context.cancel.Cancelled()) std::this_thread::yield();
            sawCancel = true;
            return Outcome{};
        },
        [&](const Outcome&) { firstDone = true; }, kRead | kWrite));
    ASSERT_TRUE(screen.runner.Run(
        [&](StepContext&) {
            secondRan = true;
            return Outcome{};
        },
        nullptr));
    ASSERT_TRUE(ProcessUntil([&] { return started.load(); }));

    screen.runner.Close([&] { closeStepRan = true; }, [&] { closed = true; });
    EXPECT_FALSE(screen.read.isEnabled());
    EXPECT_FALSE(screen.write.isEnabled());
    EXPECT_FALSE(screen.runner.Run([](StepContext&) { return Outcome{}; }, nullptr));
    ASSERT_TRUE(ProcessUntil([&] { return closed; }));

    EXPECT_TRUE(sawCancel);
    EXPECT_TRUE(closeStepRan);
    EXPECT_FALSE(secondRan);
    EXPECT_FALSE(firstDone);  // a closing screen is not told about the step it cut short
}

TEST(OperationRunner, ShutdownReleasesAThreadWaitingToHandOffAndJoinsTheRunningStep) {
    Screen screen;
    OperationRunner& runner = screen.runner;
    std::atomic<int> handOffs{0};
    std::atomic<bool> refused{false};
    std::atomic<bool> stepStarted{false};
    std::atomic<bool> stepEnded{false};
    // A receive thread hands replies over one at a time; the screen's thread stops
    // handling them, because the screen shuts down.
    std::thread receiver([&] {
        while (runner.CallOnGuiThread([&] { ++handOffs; })) {
        }
        refused = true;
    });
    ASSERT_TRUE(runner.Run(
        [&](StepContext& context) {
            stepStarted = true;
            while (!context.cancel.Cancelled()) std::this_thread::yield();
            stepEnded = true;
            return Outcome{};
        },
        nullptr));
    // Let a few hand-offs through, so the receiver is surely waiting in one, and the step
    // run (a step that has not started when Shutdown comes is dropped, never run).
    ASSERT_TRUE(ProcessUntil([&] { return handOffs.load() >= 3 && stepStarted.load(); }));

    runner.Shutdown();  // no event loop runs from here on
    receiver.join();
    EXPECT_TRUE(refused);
    EXPECT_TRUE(stepEnded);
    EXPECT_FALSE(runner.Run([](StepContext&) { return Outcome{}; }, nullptr));
}

TEST(OperationRunner, NothingIsCalledBackAfterShutdownEvenWhenTheStepEndedBefore) {
    Screen screen;
    std::atomic<bool> stepEnded{false};
    bool called = false;
    ASSERT_TRUE(screen.runner.Run(
        [&](StepContext& context) {
            context.Post([&] { called = true; });
            stepEnded = true;
            return Outcome{};
        },
        [&](const Outcome&) { called = true; }));
    // The step's progress and outcome are queued for the screen's thread, not yet handled.
    while (!stepEnded) std::this_thread::yield();
    screen.runner.Shutdown();
    QCoreApplication::processEvents();
    EXPECT_FALSE(called);
}

}  // namespace
}  // namespace kp70
