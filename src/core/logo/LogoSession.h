#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/logo/LogoMessage.h"
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

// The outcome of one button press: the messages to show, in order.
struct SessionResult {
    bool ok = false;  // the operation ran to its end (an upload: not cancelled, not failed)
    std::vector<LogoMessage> messages;
    UploadResult upload;
    PrintResult print;
};

// The printer check: writes 1D 49 01. A failed write is message 22. The reply is not used,
// so no wait is made for it (the logo tool runs no receive thread).
bool CheckPrinter(LogoLink& link, std::vector<LogoMessage>& messages);

// True when a printer with only 128 KB of NV graphics memory (model code 5) cannot take
// the list; the caller shows logotext::kTalvo30Notice with the caption "Notice".
bool NvMemoryTooSmall(int modelCode, std::int64_t usedKB);

// The Upload button with a non-empty list (after the operator confirmed message 17):
// connect by port kind (parallel: reopen and check, no init; network: connect, neither
// check nor init; file: open only; others: open, check, 1B 40), run the upload, report,
// close what was opened.
SessionResult UploadLogos(LogoConnection& connection, LogoList& list, const LogoOptions& options,
                          Profile* profile, const UploadCallbacks& callbacks);

// The Upload button with an empty list (after message 23 was confirmed): sends the
// delete-all command 1C 71 01 00 00 00 00.
SessionResult DeleteAllLogos(LogoConnection& connection);

// The Print button: connect (parallel: open and check; network: connect only, the socket
// stays open; others: open, check, 1B 40), check a selection (message 25), print, close
// the port. selection is ignored when request.all is set.
SessionResult PrintLogos(LogoConnection& connection, PrintRequest request,
                         const std::string& selection, const PrintCallbacks& callbacks);

}  // namespace kp70
