#pragma once

#include "core/monitor/PollBook.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLinkFactory;

// One poll of a watched printer on a link of its own: connected (within timeoutMs, in the
// link's probe rounds), asked with the four status requests in one write (each answer
// within timeoutMs), and let go again, so the shop's own programs can print between two polls. A
// printer that takes no connection is "cannot connect" with what stood in the way; one that answers
// part-way keeps what its earlier answers said.
PollResult PollPrinterStatus(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel,
                             int timeoutMs);

}  // namespace kp70
