#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/app/Outcome.h"
#include "core/logo/PrintJob.h"
#include "core/logo/UploadJob.h"
#include "core/transport/NetworkLink.h"

namespace kp70 {

class Clock;
class ErrorLog;
class LogoLink;
class LogoList;
class NetworkLink;
class PrinterPort;
class Profile;
struct LogoOptions;

// The printer the logo tool talks to. The port holds the connection settings: its port
// name decides the kind ("ETHERNET_II" goes through the network link, "FILE" writes the
// bytes to the file the port opens, names starting "LPT" or a parallel device are the
// parallel port, everything else a serial or USB port).
struct LogoConnection {
    PrinterPort& port;
    NetworkLink* network = nullptr;
    std::string networkAddress = kDefaultPrinterAddress;
    std::uint16_t networkPort = kDefaultPrinterPort;
    Clock& clock;
    ErrorLog* log = nullptr;
};

// Each button press returns an Outcome: Done when the operation ran to its end, Failed
// (open, check or a send the link did not deliver), Cancelled when the operator stopped
// it, Refused for a selection that is not valid; the notices in the order they are shown
// (message 21 closes a complete upload); count = images uploaded or printed.

// The printer check: writes 1D 49 01. A failed write is message 22. The reply is not used,
// so no wait is made for it (the logo tool runs no receive thread).
bool CheckPrinter(LogoLink& link, std::vector<Notice>& notices);

// True when the Print button may print over the port: serial, parallel, USB or network.
// A print file cannot hold stored logos to print.
bool PrintAvailable(const std::string& portName);

// True when a printer with only 128 KB of NV graphics memory (model code 5) cannot take
// the list; the caller shows logotext::kTalvo30Notice with the caption "Notice".
bool NvMemoryTooSmall(int modelCode, std::int64_t usedKB);

// The Upload button with a non-empty list (after the operator confirmed message 17):
// connect by port kind (parallel: reopen and check, no init; network: connect, neither
// check nor init; file: open only; others: open, check, 1B 40), run the upload, report,
// close what was opened. details, when given, receives the upload window's result.
Outcome UploadLogos(LogoConnection& connection, LogoList& list, const LogoOptions& options,
                    Profile* profile, const UploadCallbacks& callbacks,
                    UploadResult* details = nullptr);

// The Upload button with an empty list (after message 23 was confirmed): sends the
// delete-all command 1C 71 01 00 00 00 00 (message 22 when the link does not deliver it).
Outcome DeleteAllLogos(LogoConnection& connection);

// The Print button: connect (parallel: open and check; network: connect only, the socket
// stays open; others: open, check, 1B 40), check a selection (message 25), print, close
// the port. selection is ignored when request.all is set. details, when given, receives
// the print window's result.
Outcome PrintLogos(LogoConnection& connection, PrintRequest request, const std::string& selection,
                   const PrintCallbacks& callbacks, PrintResult* details = nullptr);

}  // namespace kp70
