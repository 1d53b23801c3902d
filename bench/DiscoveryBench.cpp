// Discovery benchmark: kp70sim plays 253 printers on the loopback network (in a network
// namespace of the benchmark's own where the system allows it), and the tool's search runs
// against them on the real clock. Prints, for each round, how many printers were listed and
// when the first and the last answer arrived after the search frame went out. The goal:
// all 253 within one receive window (1000 ms), so a search never loses printers that
// answer together.
//
//   kp70bench_discovery [--printers N] [--rounds N]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/app/CancelToken.h"
#include "core/network/NetworkSettingSession.h"
#include "platform/DatagramSocket.h"
#include "platform/SystemClock.h"
#include "support/IsolatedNetwork.h"
#include "support/SimProcess.h"

int main(int argc, char** argv) {
    const bool isolated = kp70::test::EnterIsolatedNetwork();
    int printers = 253;
    int rounds = 5;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--printers") == 0) printers = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--rounds") == 0) rounds = std::atoi(argv[i + 1]);
    }
    kp70::test::SimProcess sim;
    if (!sim.Start({"--udp", "127.0.0.1", "--printers", std::to_string(printers)})) {
        std::fprintf(stderr, "kp70sim did not start: %s\n", sim.Log().c_str());
        return 1;
    }
    std::printf("discovery: %d virtual printers on %s\n", printers,
                isolated ? "the loopback network of a namespace of its own"
                         : "the machine's loopback network");

    kp70::SystemClock clock;
    kp70::DatagramSocket sockets(clock);
    int worst = printers;
    double slowest = 0;
    for (int round = 1; round <= rounds; ++round) {
        kp70::NetworkSettingSession session(sockets, clock, "127.255.255.255");
        session.Open();
        kp70::CancelToken cancel;
        using Steady = std::chrono::steady_clock;
        const auto start = Steady::now();
        std::vector<double> arrivals;
        const kp70::Outcome outcome = session.Search(cancel, [&](const kp70::DiscoveredPrinter&) {
            arrivals.push_back(
                std::chrono::duration<double, std::milli>(Steady::now() - start).count());
        });
        const double total =
            std::chrono::duration<double, std::milli>(Steady::now() - start).count();
        const double first = arrivals.empty() ? 0 : arrivals.front();
        const double last = arrivals.empty() ? 0 : arrivals.back();
        std::printf(
            "  round %d: %3d of %d listed; first answer %.1f ms, last %.1f ms after the search "
            "frame; the search ended after %.0f ms%s\n",
            round, outcome.count, printers, first, last, total,
            outcome.ok() ? "" : " (with a set-up or send failure)");
        worst = std::min(worst, outcome.count);
        slowest = std::max(slowest, last);
    }
    const bool met = worst == printers && slowest < static_cast<double>(kp70::kDiscoveryReceiveMs);
    std::printf(
        "discovery: at least %d of %d listed in every round, the last answer at most %.1f ms "
        "after the search: %s\n",
        worst, printers, slowest, met ? "goal met" : "GOAL MISSED");
    return 0;
}
