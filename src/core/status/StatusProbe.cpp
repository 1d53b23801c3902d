#include "core/status/StatusProbe.h"

#include "core/app/CancelToken.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

StatusReport ProbeStatus(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel,
                         int answerBoundMs) {
    StatusReport report;
    report.boundMs = answerBoundMs;
    report.problem = StatusReport::Problem::SendFailed;
    LinkRequest request;
    request.toolMode = kToolModeSetup;
    request.replies = true;
    const std::unique_ptr<PrinterLink> link = links.MakeLink(request);
    if (!link->CanAnswer() || !link->Open(cancel)) return report;
    report = StatusSession(*link, clock, answerBoundMs).Query(cancel);
    link->StopReplies();
    link->Close();
    return report;
}

}  // namespace kp70
