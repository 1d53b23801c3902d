#pragma once

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/Printer.h"
#include "sim/SimOptions.h"
#include "sim/Simulator.h"

namespace kp70sim {

// The options of the extra TCP printer `index` (1..tcpPrinters): the address `index` after
// the TCP host, the same port, no pseudo-terminals or discovery, and a state file and
// output folder of its own named after its address. False, with `why`, when the TCP host
// is no dotted IPv4 address or the address would leave its /24 network's host range.
bool ExtraPrinterOptions(const SimOptions& base, int index, SimOptions& options, std::string& why);

// The extra TCP printers (--tcp-printers N): one Printer and Simulator each, served by a
// thread of its own until the stop descriptor becomes readable, so one busy printer never
// holds up another.
class TcpPrinters {
public:
    ~TcpPrinters();
    // Loads each printer's state and opens its listener. False, with `why`.
    bool Start(const SimOptions& base, std::ostream& log, std::string& why);
    std::vector<std::string> ReadyLines() const;
    // Starts the threads; they end when stopFd becomes readable.
    void Run(int stopFd);
    // Joins the threads and saves every state.
    void Shutdown();

private:
    struct Extra {
        std::unique_ptr<Printer> printer;
        std::unique_ptr<Simulator> simulator;
    };
    std::vector<Extra> m_extras;
    std::vector<std::thread> m_threads;
};

}  // namespace kp70sim
