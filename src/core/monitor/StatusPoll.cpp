#include "core/monitor/StatusPoll.h"

#include <algorithm>

#include "core/app/CancelToken.h"
#include "core/status/StatusSession.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

PollResult PollPrinterStatus(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel,
                             int timeoutMs) {
    // The status link (as the user setup tool opens it, so the printer's answers are read),
    // its connection bounded by the poll's time-out.
    LinkRequest request = StatusLinkRequest();
    request.connectRounds = std::max(1, timeoutMs / request.connectWaitMs);
    const std::unique_ptr<PrinterLink> link = links.MakeLink(request);
    PollResult result;
    if (!link->CanAnswer()) {
        result.problem = "this connection cannot answer";
        return result;
    }
    if (!link->Open(cancel)) {
        const std::string detail = link->LastErrorText();
        result.problem = "cannot connect" + (detail.empty() ? "" : " (" + detail + ")");
        return result;
    }
    const StatusReport report =
        StatusSession(*link, clock, timeoutMs, StatusSession::Requests::Together).Query(cancel);
    link->StopReplies();
    link->Close();
    result.answered = report.Complete();
    result.status = report.status;
    result.problem = report.ProblemText(false);
    return result;
}

}  // namespace kp70
