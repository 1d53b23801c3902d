#pragma once

#include "core/status/StatusSession.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLinkFactory;

// Asks for the printer's status on a link of its own, for a screen that holds no connection
// between its operations (the firmware screen opens the port afresh for each transfer): the
// link is opened as the user setup tool opens it (a serial port runs its receive thread, a
// parallel port is read through its controller), asked and closed again. A link that
// cannot answer (a print file) or cannot be opened gives a report with SendFailed and
// nothing known.
StatusReport ProbeStatus(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel,
                         int answerBoundMs = StatusSession::kDefaultAnswerBoundMs);

}  // namespace kp70
