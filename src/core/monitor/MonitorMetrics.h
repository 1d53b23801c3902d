#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/status/PrinterStatus.h"

namespace kp70 {

// A condition as the exporter names it: kp70sim's --status names with "-" as "_", so the
// name a test sets is the name a dashboard shows. drawer_low is the drawer pin read low,
// the inverse of what the answer's bit says.
struct MetricCondition {
    const char* name;
    StatusCondition condition;
    bool inverted;
};
inline constexpr MetricCondition kMetricConditions[] = {
    {"paper_end", StatusCondition::PaperEnd, false},
    {"paper_near_end", StatusCondition::PaperNearEnd, false},
    {"cover_open", StatusCondition::CoverOpen, false},
    {"offline", StatusCondition::Offline, false},
    {"feed_button", StatusCondition::FeedButtonPressed, false},
    {"mechanical_error", StatusCondition::MechanicalError, false},
    {"cutter_error", StatusCondition::CutterError, false},
    {"error", StatusCondition::UnrecoverableError, false},
    {"auto_recoverable_error", StatusCondition::AutoRecoverableError, false},
    {"drawer_low", StatusCondition::DrawerPinHigh, true},
};

// What the exporter knows of one printer it watches.
struct PrinterSample {
    std::string printer;  // "HOST:PORT", the printer label
    std::string mac;      // from discovery; empty when not known
    std::string model;    // the DEVICE entry it is polled as
    bool polled = false;  // a poll of it has ended since it joined
    // Of the last poll that ended: every status request answered, what the answers said (a
    // poll that stopped part-way keeps what the earlier answers said), how long it took.
    bool up = false;
    PrinterStatus status;
    std::int64_t durationMs = 0;
    std::uint64_t polls = 0;
    std::uint64_t failures = 0;  // polls not answered completely
};

// The exporter's own figures: the rounds started, those whose polls had not all ended when
// the next round was due, and how long the last round that ended took (-1: none yet).
struct RoundFigures {
    std::uint64_t rounds = 0;
    std::uint64_t late = 0;
    std::int64_t lastRoundMs = -1;
};

// The metrics in Prometheus's text exposition format (version 0.0.4), every family once
// with its HELP and TYPE lines, the printers in the order given:
//
//   kp70_printer_up, kp70_printer_condition (one series per known condition),
//   kp70_poll_duration_seconds   after the printer's first poll
//   kp70_polls_total, kp70_poll_failures_total, kp70_printer_info   from the start
//   kp70_poll_round_duration_seconds, kp70_poll_rounds_total, kp70_poll_rounds_late_total
//
// A condition no answer of the last poll covered has no series: it is not known, and a
// printer that did not answer at all shows only kp70_printer_up 0.
std::string RenderMetrics(const std::vector<PrinterSample>& printers, const RoundFigures& rounds);

// A label value as the format quotes it: backslash, double quote and line feed escaped.
std::string MetricLabelValue(const std::string& text);

}  // namespace kp70
