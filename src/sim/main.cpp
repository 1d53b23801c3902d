// kp70sim: the virtual printer. Prints one line per listener, then "ready", and serves its
// links until SIGINT or SIGTERM.
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <iostream>

#include "sim/Printer.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"
#include "sim/TcpPrinters.h"

int main(int argc, char** argv) {
    kp70sim::SimOptions options;
    switch (kp70sim::ParseSimOptions(argc, argv, options, std::cout, std::cerr)) {
        case kp70sim::ParseOutcome::Exit:
            return 0;
        case kp70sim::ParseOutcome::Usage:
            return 2;
        case kp70sim::ParseOutcome::Run:
            break;
    }

    // The signals arrive as readable data on a descriptor the event loop watches, so a stop
    // is handled between two link events and every file is closed cleanly.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    const int stopFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
    signal(SIGPIPE, SIG_IGN);

    kp70sim::Printer printer(options);
    std::string why;
    if (!printer.LoadState(why)) {
        std::cerr << "kp70sim: " << why << "\n";
        return 1;
    }
    kp70sim::Simulator simulator(printer, std::cerr);
    if (stopFd < 0 || !simulator.Start(why)) {
        std::cerr << "kp70sim: " << (stopFd < 0 ? "cannot watch for signals" : why) << "\n";
        return 1;
    }
    // More printers over TCP, each with its own memory and its own thread.
    kp70sim::TcpPrinters extras;
    if (!extras.Start(options, std::cerr, why)) {
        std::cerr << "kp70sim: " << why << "\n";
        return 1;
    }
    for (const auto& line : simulator.ReadyLines()) std::cout << line << "\n";
    for (const auto& line : extras.ReadyLines()) std::cout << line << "\n";
    std::cout << "ready" << std::endl;

    extras.Run(stopFd);
    simulator.Run(stopFd);
    extras.Shutdown();
    simulator.Shutdown();
    close(stopFd);
    return 0;
}
