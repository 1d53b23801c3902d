#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/status/PrinterStatus.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLink;
class PrinterLinkFactory;
struct LinkRequest;

// What one status query found.
struct StatusReport {
    enum class Problem {
        None,        // every request answered with a status
        NoAnswer,    // the printer said nothing within the bound
        NotStatus,   // it answered a byte that is no status answer
        SendFailed,  // a request could not be sent
        Cancelled,
    };

    PrinterStatus status;    // what the valid answers said
    bool automatic = false;  // read from the parallel port's automatic status block
    // The byte each request DLE EOT 1..4 got, as it came (valid or not).
    std::array<std::optional<std::uint8_t>, 4> answers;
    std::optional<StatusBlock> block;  // automatic: the block read
    Problem problem = Problem::None;
    int problemRequest = 0;  // the request (1..4) the problem belongs to; 0 for a block
    int boundMs = 0;         // how long an answer was waited for

    bool Complete() const { return problem == Problem::None; }
    // Empty when there is no problem, else "no answer within 1000 ms" and the like.
    std::string ProblemText(bool korean) const;
    // The line a screen shows beside its DEVICE group: "STATUS: " and the status when every
    // request was answered; empty otherwise, so a status not known is never shown.
    std::string ShownLine(bool korean) const;
    // Two reports that a person would see as the same status.
    bool SameAs(const StatusReport& other) const {
        return status == other.status && problem == other.problem;
    }
};

// Asks a printer how it is: over a serial, USB or network link the four real-time status
// requests DLE EOT 1..4 (10 04 n), each answered with one byte within a bound on the Clock;
// over a parallel port it sends nothing and reads the automatic status block the printer
// sends by itself. The link must be open; the calling thread waits.
class StatusSession {
public:
    static constexpr int kDefaultAnswerBoundMs = 1000;
    static constexpr int kWatchPeriodMs = 1000;

    StatusSession(PrinterLink& link, Clock& clock, int answerBoundMs = kDefaultAnswerBoundMs);

    // One query. Stops at the first request that gets no status answer; what the earlier
    // answers said is kept. On a parallel port a block that arrived since the last query
    // is taken; with none, the last block of this session still holds (the printer sends a
    // block when its status changes), and the first query waits up to the bound for one.
    StatusReport Query(const CancelToken& cancel);

    // Queries every periodMs until cancelled and hands on each report that differs from the
    // one before (the first one always).
    void Watch(const CancelToken& cancel, const std::function<void(const StatusReport&)>& onChange,
               int periodMs = kWatchPeriodMs);

private:
    bool WaitForByte(const CancelToken& cancel, std::uint8_t& byte);
    void Receive(std::vector<std::uint8_t>& bytes);
    StatusReport QueryAutomatic(const CancelToken& cancel);

    PrinterLink& m_link;
    Clock& m_clock;
    int m_boundMs;
    std::vector<std::uint8_t> m_pending;  // received and not yet taken as an answer
    std::optional<StatusBlock> m_lastBlock;
};

// The link a status query runs on, opened as the user setup tool opens it: a serial port
// runs its receive thread, a parallel port is read through the controller that keeps the
// automatic status blocks apart.
LinkRequest StatusLinkRequest();

// Asks for the printer's status on a link of its own, for a screen that holds no connection
// between its operations (the firmware screen opens the port afresh for each transfer): the
// link (StatusLinkRequest) is opened, asked and closed again. A link that cannot answer (a
// print file) or cannot be opened gives a report with SendFailed and nothing known.
StatusReport ProbeStatus(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel,
                         int answerBoundMs = StatusSession::kDefaultAnswerBoundMs);

}  // namespace kp70
