#include "core/monitor/MonitorMetrics.h"

namespace kp70 {

namespace {

// Milliseconds as seconds with three decimals, made of digits alone so no locale can turn
// the point into a comma.
std::string Seconds(std::int64_t ms) {
    if (ms < 0) ms = 0;
    std::string fraction = std::to_string(ms % 1000);
    fraction.insert(0, 3 - fraction.size(), '0');
    return std::to_string(ms / 1000) + "." + fraction;
}

void Family(std::string& out, const char* name, const char* type, const char* help) {
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

std::string PrinterLabel(const PrinterSample& p) {
    return "printer=\"" + MetricLabelValue(p.printer) + "\"";
}

}  // namespace

std::string MetricLabelValue(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string RenderMetrics(const std::vector<PrinterSample>& printers, const RoundFigures& rounds) {
    std::string out;
    // About 1 KiB per printer: one allocation for a fleet of a few hundred.
    out.reserve(1024 * (printers.size() + 1));

    Family(out, "kp70_printer_up", "gauge",
           "1 when the printer answered every status request of its last poll, else 0.");
    for (const PrinterSample& p : printers) {
        if (!p.polled) continue;
        out += "kp70_printer_up{" + PrinterLabel(p) + "} " + (p.up ? "1" : "0") + "\n";
    }

    Family(out, "kp70_printer_condition", "gauge",
           "A status condition of the printer as its last poll reported it (1 present, 0 not); "
           "no series when the poll did not tell.");
    for (const PrinterSample& p : printers) {
        if (!p.polled) continue;
        const std::string label = PrinterLabel(p);
        for (const MetricCondition& c : kMetricConditions) {
            if (!p.status.Known(c.condition)) continue;
            const bool present = p.status.Present(c.condition) != c.inverted;
            out += "kp70_printer_condition{" + label + ",condition=\"" + c.name + "\"} " +
                   (present ? "1" : "0") + "\n";
        }
    }

    Family(out, "kp70_poll_duration_seconds", "gauge",
           "How long the printer's last poll took: connecting, the status requests and "
           "their answers.");
    for (const PrinterSample& p : printers) {
        if (!p.polled) continue;
        out +=
            "kp70_poll_duration_seconds{" + PrinterLabel(p) + "} " + Seconds(p.durationMs) + "\n";
    }

    Family(out, "kp70_polls_total", "counter", "Polls of the printer that ended.");
    for (const PrinterSample& p : printers)
        out += "kp70_polls_total{" + PrinterLabel(p) + "} " + std::to_string(p.polls) + "\n";

    Family(out, "kp70_poll_failures_total", "counter",
           "Polls of the printer that did not get every status answer.");
    for (const PrinterSample& p : printers)
        out += "kp70_poll_failures_total{" + PrinterLabel(p) + "} " + std::to_string(p.failures) +
               "\n";

    Family(out, "kp70_printer_info", "gauge",
           "The printer's MAC address (from discovery; empty when not known) and the DEVICE "
           "entry it is polled as.");
    for (const PrinterSample& p : printers) {
        out += "kp70_printer_info{" + PrinterLabel(p) + ",mac=\"" + MetricLabelValue(p.mac) +
               "\",model=\"" + MetricLabelValue(p.model) + "\"} 1\n";
    }

    Family(out, "kp70_poll_round_duration_seconds", "gauge",
           "How long the last poll round that ended took, from its start until its last poll "
           "ended.");
    if (rounds.lastRoundMs >= 0)
        out += "kp70_poll_round_duration_seconds " + Seconds(rounds.lastRoundMs) + "\n";
    Family(out, "kp70_poll_rounds_total", "counter", "Poll rounds started.");
    out += "kp70_poll_rounds_total " + std::to_string(rounds.rounds) + "\n";
    Family(out, "kp70_poll_rounds_late_total", "counter",
           "Poll rounds whose polls had not all ended when the next round was due.");
    out += "kp70_poll_rounds_late_total " + std::to_string(rounds.late) + "\n";
    return out;
}

}  // namespace kp70
