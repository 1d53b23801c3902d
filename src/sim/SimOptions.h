#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "sim/Faults.h"
#include "sim/Hex.h"
#include "sim/StatusState.h"

namespace kp70sim {

// One scripted answer: whenever a link has received `request`, it answers `reply`.
struct ReplyRule {
    Bytes request;
    Bytes reply;
};

// Everything kp70sim was started with.
struct SimOptions {
    std::string tcpHost = "127.0.0.1";
    int tcpPort = 6001;  // 0: the system picks a free port, printed when ready
    bool tcpEnabled = true;
    std::string ptyPath = "/tmp/kp70sim/ttyKP70";
    bool ptyEnabled = true;
    std::string lptPath;  // the parallel side's pseudo-terminal link; empty: none
    // --device [KIND:]PATH: a device node the printer answers on as it answers on its
    // pseudo-terminal (a USB gadget's /dev/ttyGS0 or /dev/g_printer0, a virtual machine's
    // port). KIND says which side of a printer it is: serial (the default), usb (the USB
    // printer class: replies escaped as the printer's USB interface escapes them) or lpt
    // (the parallel side, with its automatic status blocks). Empty: none.
    std::string devicePath;
    enum class DeviceKind { Serial, Usb, Parallel };
    DeviceKind deviceKind = DeviceKind::Serial;
    std::string udpAddress;  // discovery address; empty: no discovery
    int printers = 1;
    // Virtual printers over TCP besides the one at tcpHost, each with its own memory, at the
    // addresses after tcpHost on the same port (127.0.0.2.. for 127.0.0.1).
    int tcpPrinters = 0;
    int modelCode = 6;
    std::string stateFile;  // empty: the memory lives only as long as the process
    std::string outDir;     // empty: nothing is captured
    // Every delay the printer makes of its own (the deafness of a reset, silence, late
    // replies) is multiplied by this, 0 < timeScale <= 1, so tests need not sit through a
    // printer's real seconds.
    double timeScale = 1.0;
    FaultSet faults;
    std::vector<ReplyRule> replies;
    StatusState status;       // --status at start
    std::string controlPath;  // --control: a file of status names, read again when it changes
};

// The outcome of reading the command line: run, stop at once with status 0 (--help), or
// stop with status 2 (a wrong command line; the reason went to err).
enum class ParseOutcome { Run, Exit, Usage };

ParseOutcome ParseSimOptions(int argc, const char* const* argv, SimOptions& options,
                             std::ostream& out, std::ostream& err);

// "HEX=HEX" of --reply. False, with `why`, when either side is not hex or is empty.
bool ParseReplyRule(const std::string& text, ReplyRule& rule, std::string& why);

// Reads a reply script: one "HEX = HEX" rule a line; blank lines and lines starting with
// '#' are skipped. False, with `why` naming the line, on the first bad line.
bool LoadReplyScript(const std::string& path, std::vector<ReplyRule>& rules, std::string& why);

}  // namespace kp70sim
