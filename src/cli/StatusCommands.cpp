// kp70ctl status: asks a printer how it is (on line, cover, paper, errors) once, or watches
// it and prints a line whenever that changes.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "core/app/Clock.h"
#include "core/status/StatusSession.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

struct StatusOptions {
    ConnectionOptions connection;
    int timeoutMs = StatusSession::kDefaultAnswerBoundMs;
    bool json = false;
    bool watch = false;
};

std::string Hex(std::uint8_t byte) {
    char text[3];
    std::snprintf(text, sizeof text, "%02X", byte);
    return text;
}

std::string BlockHex(const StatusBlock& block) {
    std::string text;
    for (std::uint8_t b : block) text += (text.empty() ? "" : " ") + Hex(b);
    return text;
}

std::string Json(const StatusReport& report, bool korean) {
    std::string json = "{\"answered\": ";
    json += report.Complete() ? "true" : "false";
    json += ", \"source\": ";
    json += report.automatic ? "\"status-block\"" : "\"requests\"";
    if (report.automatic) {
        json += ", \"block\": ";
        json += report.block ? JsonText(BlockHex(*report.block)) : "null";
    } else {
        json += ", \"answers\": {";
        for (int n = 1; n <= kStatusRequestCount; ++n) {
            const auto& answer = report.answers[n - 1];
            json += (n > 1 ? ", " : "") + JsonText(std::to_string(n)) + ": " +
                    (answer ? JsonText(Hex(*answer)) : "null");
        }
        json += "}";
    }
    json += ", \"conditions\": {";
    for (std::size_t i = 0; i < kStatusConditionCount; ++i) {
        const auto c = static_cast<StatusCondition>(i);
        json += (i ? ", " : "") + JsonText(ConditionName(c)) + ": ";
        json += !report.status.Known(c) ? "null" : report.status.Present(c) ? "true" : "false";
    }
    json += "}, \"status\": ";
    const std::string line = StatusLine(report.status, korean);
    json += line.empty() ? "null" : JsonText(line);
    json += ", \"problem\": ";
    json += report.Complete() ? "null" : JsonText(report.ProblemText(korean));
    json += "}";
    return json;
}

// What each answer says, one line each, then the status in one line.
void PrintReport(const StatusReport& report, CliContext& context) {
    const bool korean = context.catalogue.IsKorean();
    if (report.automatic) {
        if (report.block) {
            context.out << "status block   " << BlockHex(*report.block) << "  "
                        << PresentConditions(report.status, korean) << "\n";
        }
    } else {
        for (int n = 1; n <= kStatusRequestCount; ++n) {
            const auto& answer = report.answers[n - 1];
            if (!answer) continue;
            const auto decoded = DecodeStatusAnswer(n, *answer);
            char name[32];
            std::snprintf(name, sizeof name, "%-14s", StatusRequestName(n).In(false));
            context.out << "DLE EOT " << n << "  " << name << " " << Hex(*answer) << "  "
                        << (decoded ? PresentConditions(*decoded, korean) : "?") << "\n";
        }
    }
    const std::string line = StatusLine(report.status, korean);
    if (!line.empty()) context.out << "status: " << line << "\n";
}

std::string WatchLine(const StatusReport& report, CliContext& context) {
    const std::tm now = context.clock->LocalTime();
    char stamp[16];
    std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d ", now.tm_hour, now.tm_min, now.tm_sec);
    const bool korean = context.catalogue.IsKorean();
    std::string line = StatusLine(report.status, korean);
    if (!report.Complete()) line += (line.empty() ? "" : "; ") + report.ProblemText(korean);
    return stamp + line;
}

int RunStatus(const StatusOptions& options, CliContext& context) {
    PrinterChoice choice;
    std::string why;
    if (!ResolveConnection(options.connection, choice, context.catalogue, why)) {
        context.err << "kp70ctl status: " << why << "\n";
        return kExitUsage;
    }
    if (PortKindOf(choice.settings.portName) == PortKind::File) {
        context.err << "kp70ctl status: a print file does not answer; give a printer "
                       "connection (--port, --usb or --net)\n";
        return kExitUsage;
    }

    Clock& clock = *context.clock;
    CliLinks links(context);
    if (!links.Choose(choice, why)) {
        context.err << why << "\n";
        return kExitFailed;
    }
    // As the user setup tool opens it: a serial port runs its receive thread, a parallel
    // port is read with the controller that keeps the automatic status blocks apart.
    LinkRequest request;
    request.toolMode = kToolModeSetup;
    request.replies = true;
    const std::unique_ptr<PrinterLink> link = links.OpenLink(request, CancelToken::Never(), why);
    if (!link) {
        context.err << why << "\n";
        return kExitFailed;
    }

    StatusSession session(*link, clock, options.timeoutMs);
    const bool korean = context.catalogue.IsKorean();
    int exitCode = kExitDone;
    if (options.watch) {
        InterruptCancels interrupt;
        session.Watch(interrupt.Token(), [&](const StatusReport& report) {
            context.out << (options.json ? Json(report, korean) : WatchLine(report, context))
                        << "\n";
        });
    } else {
        const StatusReport report = session.Query(CancelToken::Never());
        if (options.json) {
            context.out << Json(report, korean) << "\n";
        } else {
            PrintReport(report, context);
        }
        if (!report.Complete()) {
            context.err << "kp70ctl status: " << report.ProblemText(korean) << "\n";
            exitCode = kExitFailed;
        }
    }
    link->StopReplies();
    link->Close();
    return exitCode;
}

}  // namespace

void AddStatusCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<StatusOptions>();
    CLI::App* verb = app.add_subcommand(
        "status",
        "ask the printer how it is: on line or off, cover, paper, errors (DLE EOT 1..4; on a "
        "parallel port its automatic status block)");
    AddConnectionOptions(*verb, options->connection);
    verb->add_option("--timeout", options->timeoutMs,
                     "how long each answer is waited for, in ms (default 1000)")
        ->check(CLI::Range(1, 600000));
    verb->add_flag("--json", options->json, "print the outcome as JSON");
    verb->add_flag("--watch", options->watch,
                   "ask every second and print a line whenever the status changes, until Ctrl+C");
    verb->callback([options, &context] { context.exitCode = RunStatus(*options, context); });
}

}  // namespace kp70
