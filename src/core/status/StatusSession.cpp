#include "core/status/StatusSession.h"

#include <algorithm>

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/HexText.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

// How often the link is looked at while an answer is due.
constexpr int kPollMs = 10;

}  // namespace

std::string StatusReport::ShownLine(bool korean) const {
    if (!Complete()) return {};
    return std::string(korean ? "상태: " : "STATUS: ") + StatusLine(status, korean);
}

std::string StatusReport::ProblemText(bool korean) const {
    const std::string ms = std::to_string(boundMs);
    switch (problem) {
        case Problem::None:
            return "";
        case Problem::NoAnswer:
            return korean ? ms + " ms 안에 응답이 없습니다" : "no answer within " + ms + " ms";
        case Problem::NotStatus: {
            std::string bytes;
            if (block) {
                bytes = HexBytes(block->data(), block->size());
            } else if (problemRequest >= 1 && answers[problemRequest - 1]) {
                bytes = HexByte(*answers[problemRequest - 1]);
            }
            const std::string to =
                problemRequest > 0 ? " to DLE EOT " + std::to_string(problemRequest) : "";
            return korean ? "응답 " + bytes + "은(는) 상태 응답이 아닙니다"
                          : "the answer " + bytes + to + " is not a status answer";
        }
        case Problem::SendFailed:
            return korean ? "상태 요청을 보낼 수 없습니다" : "the status request could not be sent";
        case Problem::Cancelled:
            return korean ? "취소됨" : "cancelled";
    }
    return "";
}

StatusSession::StatusSession(PrinterLink& link, Clock& clock, int answerBoundMs)
    : m_link(link), m_clock(clock), m_boundMs(answerBoundMs) {}

bool StatusSession::WaitForByte(const CancelToken& cancel, std::uint8_t& byte) {
    const std::int64_t deadline = m_clock.Now() + m_boundMs;
    for (;;) {
        Receive(m_pending);
        if (!m_pending.empty()) {
            byte = m_pending.front();
            m_pending.erase(m_pending.begin());
            return true;
        }
        const std::int64_t left = deadline - m_clock.Now();
        if (left <= 0 || cancel.Cancelled()) return false;
        m_clock.SleepFor(std::min<std::int64_t>(left, kPollMs));
    }
}

StatusReport StatusSession::Query(const CancelToken& cancel) {
    if (m_link.ReportsStatusItself()) return QueryAutomatic(cancel);
    StatusReport report;
    report.boundMs = m_boundMs;
    // What came before the first request (a late reply to something else) is no answer.
    m_pending.clear();
    m_link.TakeReplies(m_pending);
    m_pending.clear();
    for (int n = 1; n <= kStatusRequestCount; ++n) {
        report.problemRequest = n;
        if (cancel.Cancelled()) {
            report.problem = StatusReport::Problem::Cancelled;
            return report;
        }
        const std::vector<std::uint8_t> request = StatusRequest(n);
        if (!m_link.Send(request, cancel).Complete(static_cast<int>(request.size()))) {
            report.problem = StatusReport::Problem::SendFailed;
            return report;
        }
        std::uint8_t byte = 0;
        if (!WaitForByte(cancel, byte)) {
            report.problem = cancel.Cancelled() ? StatusReport::Problem::Cancelled
                                                : StatusReport::Problem::NoAnswer;
            return report;
        }
        report.answers[n - 1] = byte;
        const auto decoded = DecodeStatusAnswer(n, byte);
        if (!decoded) {
            // Whatever follows would be out of step with the requests.
            report.problem = StatusReport::Problem::NotStatus;
            return report;
        }
        report.status.Merge(*decoded);
    }
    report.problemRequest = 0;
    return report;
}

StatusReport StatusSession::QueryAutomatic(const CancelToken& cancel) {
    StatusReport report;
    report.automatic = true;
    report.boundMs = m_boundMs;
    const std::int64_t deadline = m_clock.Now() + m_boundMs;
    std::optional<StatusBlock> fresh;
    for (;;) {
        // The controller reads on request; its reply bytes belong to whoever owns the link.
        m_link.RequestReplies();
        while (auto block = m_link.TakeStatusBlock()) fresh = block;
        if (fresh || m_lastBlock) break;
        const std::int64_t left = deadline - m_clock.Now();
        if (left <= 0 || cancel.Cancelled()) {
            report.problem = cancel.Cancelled() ? StatusReport::Problem::Cancelled
                                                : StatusReport::Problem::NoAnswer;
            return report;
        }
        m_clock.SleepFor(std::min<std::int64_t>(left, kPollMs));
    }
    if (fresh) m_lastBlock = fresh;
    report.block = m_lastBlock;
    const auto decoded = DecodeStatusBlock(*m_lastBlock);
    if (!decoded) {
        report.problem = StatusReport::Problem::NotStatus;
        return report;
    }
    report.status = *decoded;
    return report;
}

void StatusSession::Receive(std::vector<std::uint8_t>& bytes) {
    // A USB printer's answer is read back on request; elsewhere this does nothing.
    m_link.RequestReplies();
    m_link.TakeReplies(bytes);
}

void StatusSession::Watch(const CancelToken& cancel,
                          const std::function<void(const StatusReport&)>& onChange, int periodMs) {
    std::optional<StatusReport> last;
    while (!cancel.Cancelled()) {
        const StatusReport report = Query(cancel);
        if (report.problem == StatusReport::Problem::Cancelled) return;
        if (!last || !report.SameAs(*last)) onChange(report);
        last = report;
        if (!SleepUnlessCancelled(m_clock, periodMs, cancel)) return;
    }
}

LinkRequest StatusLinkRequest() {
    LinkRequest request;
    request.toolMode = kToolModeSetup;
    request.replies = true;
    return request;
}

StatusReport ProbeStatus(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel,
                         int answerBoundMs) {
    StatusReport report;
    report.boundMs = answerBoundMs;
    report.problem = StatusReport::Problem::SendFailed;
    const std::unique_ptr<PrinterLink> link = links.MakeLink(StatusLinkRequest());
    if (!link->CanAnswer() || !link->Open(cancel)) return report;
    report = StatusSession(*link, clock, answerBoundMs).Query(cancel);
    link->StopReplies();
    link->Close();
    return report;
}

}  // namespace kp70
