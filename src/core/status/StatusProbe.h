#pragma once

#include <cstdint>
#include <string>

#include "core/status/StatusSession.h"

namespace kp70 {

class CancelToken;
class Clock;
class NetworkLink;
class PrinterPort;

// Asks for the printer's status on a connection of its own, for a screen that holds no
// connection between its operations (the firmware screen opens the port afresh for each
// transfer). Network: connects the link, asks, closes it again. Serial and USB: opens the
// port in the user setup tool's mode (so a serial port runs its receive thread), asks,
// closes it and puts its tool mode back; a port that was open is opened again as it was.
// Parallel ports, print files and a missing network link give a report with SendFailed
// and nothing known, as does a connection that cannot be opened.
StatusReport ProbeStatus(PrinterPort& port, NetworkLink* network, const std::string& address,
                         std::uint16_t tcpPort, Clock& clock, const CancelToken& cancel,
                         int answerBoundMs = StatusSession::kDefaultAnswerBoundMs);

}  // namespace kp70
