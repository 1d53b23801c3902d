#include "gui/setup/SessionWorker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace kp70 {
namespace {

// Lets a test hold a task on the worker until it says go.
struct Gate {
    void Wait() {
        std::unique_lock lock(mutex);
        cv.wait(lock, [this] { return open; });
    }
    void Open() {
        {
            std::lock_guard lock(mutex);
            open = true;
        }
        cv.notify_all();
    }
    std::mutex mutex;
    std::condition_variable cv;
    bool open = false;
};

bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

TEST(SessionWorker, RunsTasksOneAtATimeInOrderAndReportsBusy) {
    SessionWorker worker;
    EXPECT_FALSE(worker.Busy());
    Gate gate;
    std::vector<int> order;  // written by the worker only
    std::atomic<int> done{0};
    ASSERT_TRUE(worker.Post([&] {
        gate.Wait();
        order.push_back(1);
        ++done;
    }));
    ASSERT_TRUE(worker.Post([&] {
        order.push_back(2);
        ++done;
    }));
    EXPECT_TRUE(worker.Busy());
    EXPECT_EQ(done.load(), 0);  // the second waits behind the first
    gate.Open();
    ASSERT_TRUE(WaitFor([&] { return !worker.Busy(); }));
    EXPECT_EQ(done.load(), 2);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(SessionWorker, EndingFinishesTheRunningTaskAndDropsTheRest) {
    std::atomic<int> ran{0};
    std::atomic<bool> started{false};
    Gate gate;
    std::thread opener;
    {
        SessionWorker worker;
        ASSERT_TRUE(worker.Post([&] {
            started = true;
            gate.Wait();
            ++ran;
        }));
        ASSERT_TRUE(WaitFor([&] { return started.load(); }));
        ASSERT_TRUE(worker.Post([&] { ran += 10; }));
        opener = std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            gate.Open();
        });
    }  // waits for the first task, never runs the second
    opener.join();
    EXPECT_EQ(ran.load(), 1);
}

}  // namespace
}  // namespace kp70
