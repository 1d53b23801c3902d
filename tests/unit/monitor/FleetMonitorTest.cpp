#include "core/monitor/FleetMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <map>
#include <mutex>
#include <thread>

#include "core/app/CancelToken.h"
#include "core/app/VirtualClock.h"

namespace kp70 {
namespace {

std::vector<MonitoredPrinter> Printers(std::initializer_list<const char*> names) {
    std::vector<MonitoredPrinter> printers;
    for (const char* name : names) printers.push_back({name, "", "KP70 E-II"});
    return printers;
}

// A gate polls wait at until the test opens it: a printer that keeps its poll waiting.
class Gate {
public:
    void Wait() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_open; });
    }
    void Open() {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

// Every worker polls with the same function.
FleetMonitor::MakePoll Each(FleetMonitor::Poll poll) {
    return [poll] { return poll; };
}

// A bound for the waits on other threads, never reached when the code works.
constexpr auto kBound = std::chrono::seconds(30);

TEST(FleetMonitor, RoundsStartEveryIntervalOnTheClockAndOneMissedIsLeftOut) {
    VirtualClock clock;
    FleetMonitor monitor(clock, Each([](const MonitoredPrinter&, const CancelToken&) {
                             return PollResult{true, {}, ""};
                         }),
                         4, 1000);
    monitor.SetPrinters(Printers({"A"}));
    CancelToken stop;
    std::vector<std::int64_t> starts;
    monitor.Run(stop, [&] {
        starts.push_back(clock.Now());
        // The second round's preparation takes 2.5 s: the rounds due meanwhile are left out.
        if (starts.size() == 2) clock.SleepFor(2500);
        if (starts.size() == 4) stop.Cancel();
    });
    EXPECT_EQ(starts, (std::vector<std::int64_t>{0, 1000, 4000, 5000}));
}

TEST(FleetMonitor, ASilentPrinterHoldsOneWorkerWhileTheOthersKeepBeingPolled) {
    VirtualClock clock;
    Gate silent;
    std::promise<void> othersPolledOften;
    std::atomic<int> silentPolls{0};
    std::mutex countMutex;
    std::map<std::string, int> polls;
    CancelToken stop;
    FleetMonitor monitor(
        clock, Each([&](const MonitoredPrinter& printer, const CancelToken&) {
            if (printer.name == "silent") {
                ++silentPolls;
                silent.Wait();
                return PollResult{false, {}, "no answer within 1000 ms"};
            }
            std::lock_guard lock(countMutex);
            if (++polls[printer.name] == 20 && polls["B"] >= 20 && polls["C"] >= 20)
                othersPolledOften.set_value();
            return PollResult{true, {}, ""};
        }),
        2, 1000);
    monitor.SetPrinters(Printers({"silent", "B", "C"}));
    std::thread run([&] { monitor.Run(stop); });
    const bool polled =
        othersPolledOften.get_future().wait_for(kBound) == std::future_status::ready;
    // A scrape while rounds run: the figures of polls that ended, never half of one.
    const std::string metrics = monitor.Metrics();
    const std::size_t workers = monitor.Workers();
    stop.Cancel();
    silent.Open();
    run.join();

    ASSERT_TRUE(polled);
    // Asked once, never twice at the same time however many rounds passed.
    EXPECT_EQ(silentPolls.load(), 1);
    EXPECT_LE(workers, 2u);
    EXPECT_NE(metrics.find("kp70_printer_up{printer=\"B\"} 1\n"), std::string::npos) << metrics;
    EXPECT_EQ(metrics.find("kp70_printer_up{printer=\"silent\"}"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find("kp70_polls_total{printer=\"silent\"} 0\n"), std::string::npos);
    // Its poll, ended by the stop, is not counted as a poll the printer failed.
    EXPECT_NE(monitor.Metrics().find("kp70_polls_total{printer=\"silent\"} 0\n"),
              std::string::npos);
}

TEST(FleetMonitor, NeverPollsMorePrintersAtOnceThanItsJobs) {
    VirtualClock clock;
    Gate gate;
    std::mutex mutex;
    std::condition_variable changed;
    int inFlight = 0, mostInFlight = 0, rounds = 0;
    std::map<std::string, int> polls;
    CancelToken stop;
    FleetMonitor monitor(clock, Each([&](const MonitoredPrinter& printer, const CancelToken&) {
                             {
                                 std::lock_guard lock(mutex);
                                 mostInFlight = std::max(mostInFlight, ++inFlight);
                             }
                             changed.notify_all();
                             gate.Wait();
                             std::lock_guard lock(mutex);
                             --inFlight;
                             ++polls[printer.name];
                             changed.notify_all();
                             return PollResult{true, {}, ""};
                         }),
                         3, 1000);
    monitor.SetPrinters(Printers({"A", "B", "C", "D", "E", "F", "G", "H"}));
    std::thread run([&] {
        monitor.Run(stop, [&] {
            {
                std::lock_guard lock(mutex);
                ++rounds;
            }
            changed.notify_all();
        });
    });
    std::unique_lock lock(mutex);
    const bool full = changed.wait_for(lock, kBound, [&] { return inFlight == 3; });
    // Many rounds come and go while three polls hang: none of them starts a fourth.
    const int roundsThen = rounds;
    const bool passed = changed.wait_for(lock, kBound, [&] { return rounds >= roundsThen + 50; });
    const int heldInFlight = inFlight;
    lock.unlock();
    const std::size_t workers = monitor.Workers();
    gate.Open();
    lock.lock();
    const bool everyone = changed.wait_for(lock, kBound, [&] { return polls.size() == 8; });
    lock.unlock();
    stop.Cancel();
    run.join();

    ASSERT_TRUE(full && passed && everyone);
    EXPECT_EQ(heldInFlight, 3);
    EXPECT_EQ(workers, 3u);
    EXPECT_EQ(mostInFlight, 3);
}

}  // namespace
}  // namespace kp70
