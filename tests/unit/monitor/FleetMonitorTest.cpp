#include "core/monitor/FleetMonitor.h"

#include <gtest/gtest.h>

#include <atomic>
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

// Every worker polls with the same function.
FleetMonitor::MakePoll Each(FleetMonitor::Poll poll) {
    return [poll] { return poll; };
}

TEST(FleetMonitor, RoundsStartEveryIntervalOnTheClockAndOneMissedIsLeftOut) {
    VirtualClock clock;
    FleetMonitor monitor(
        clock, Each([](const MonitoredPrinter&, const CancelToken&) { return PollResult{true}; }),
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
    std::promise<void> answer, othersPolledOften;
    const std::shared_future<void> answered = answer.get_future().share();
    std::atomic<int> silentPolls{0};
    std::mutex mutex;
    std::map<std::string, int> polls;
    FleetMonitor monitor(
        clock, Each([&](const MonitoredPrinter& printer, const CancelToken&) {
            if (printer.name == "silent") {
                ++silentPolls;
                answered.wait();
                return PollResult{false, {}, "no answer within 1000 ms"};
            }
            std::lock_guard lock(mutex);
            if (++polls[printer.name] == 20 && polls["B"] >= 20 && polls["C"] >= 20)
                othersPolledOften.set_value();
            return PollResult{true};
        }),
        2, 1000);
    monitor.SetPrinters(Printers({"silent", "B", "C"}));
    CancelToken stop;
    std::thread run([&] { monitor.Run(stop); });
    const bool polled = othersPolledOften.get_future().wait_for(std::chrono::seconds(30)) ==
                        std::future_status::ready;
    // A scrape while rounds run: the figures of polls that ended, never half of one.
    const std::string metrics = monitor.Metrics();
    const std::size_t workers = monitor.Workers();
    stop.Cancel();
    answer.set_value();
    run.join();

    ASSERT_TRUE(polled);
    // Asked once, never twice at the same time however many rounds passed, and never more
    // workers than the bound.
    EXPECT_EQ(silentPolls.load(), 1);
    EXPECT_EQ(workers, 2u);
    EXPECT_NE(metrics.find("kp70_printer_up{printer=\"B\"} 1\n"), std::string::npos) << metrics;
    EXPECT_EQ(metrics.find("kp70_printer_up{printer=\"silent\"}"), std::string::npos) << metrics;
    // Its poll, ended by the stop, counts as no poll the printer failed.
    EXPECT_NE(monitor.Metrics().find("kp70_polls_total{printer=\"silent\"} 0\n"),
              std::string::npos);
}

}  // namespace
}  // namespace kp70
