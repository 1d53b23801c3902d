// kp70ctl status: asks a printer how it is (on line, cover, paper, errors) once, or watches
// it and prints a line whenever that changes.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/Verb.h"
#include "core/app/Clock.h"
#include "core/app/HexText.h"
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

std::string BlockHex(const StatusBlock& block) {
    return HexBytes(block.data(), block.size());
}

nlohmann::ordered_json Json(const StatusReport& report, bool korean) {
    nlohmann::ordered_json json{{"answered", report.Complete()},
                                {"source", report.automatic ? "status-block" : "requests"}};
    if (report.automatic) {
        json["block"] = report.block ? nlohmann::ordered_json(BlockHex(*report.block)) : nullptr;
    } else {
        nlohmann::ordered_json answers = nlohmann::ordered_json::object();
        for (int n = 1; n <= kStatusRequestCount; ++n) {
            const auto& answer = report.answers[n - 1];
            answers[std::to_string(n)] =
                answer ? nlohmann::ordered_json(HexByte(*answer)) : nullptr;
        }
        json["answers"] = answers;
    }
    nlohmann::ordered_json conditions = nlohmann::ordered_json::object();
    for (std::size_t i = 0; i < kStatusConditionCount; ++i) {
        const auto c = static_cast<StatusCondition>(i);
        conditions[ConditionName(c)] =
            report.status.Known(c) ? nlohmann::ordered_json(report.status.Present(c)) : nullptr;
    }
    json["conditions"] = conditions;
    const std::string line = StatusLine(report.status, korean);
    json["status"] = line.empty() ? nullptr : nlohmann::ordered_json(line);
    json["problem"] =
        report.Complete() ? nullptr : nlohmann::ordered_json(report.ProblemText(korean));
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
            context.out << "DLE EOT " << n << "  " << name << " " << HexByte(*answer) << "  "
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

int RunStatus(const StatusOptions& options, Verb& verb) {
    CliContext& context = verb.Context();
    verb.Resolve(options.connection, PrinterNeed::Answers);
    const std::unique_ptr<PrinterLink> link = verb.OpenLink(StatusLinkRequest());
    StatusSession session(*link, verb.Time(), options.timeoutMs);
    const bool korean = verb.Catalogue().IsKorean();
    int exitCode = kExitDone;
    if (options.watch) {
        // One JSON document a line while watching, so a reader takes each change as it comes.
        session.Watch(verb.Cancel(), [&](const StatusReport& report) {
            verb.Result(options.json
                            ? Json(report, korean)
                                  .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
                            : WatchLine(report, context));
        });
    } else {
        const StatusReport report = session.Query(verb.Cancel());
        if (options.json) {
            verb.Json(Json(report, korean));
        } else {
            PrintReport(report, context);
        }
        if (!report.Complete()) {
            verb.Warn(report.ProblemText(korean));
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
    CLI::App* command = AddVerb(
        app, context, "status",
        "ask the printer how it is: on line or off, cover, paper, errors (DLE EOT 1..4; on a "
        "parallel port its automatic status block)",
        [options](Verb& verb) { return RunStatus(*options, verb); });
    AddConnectionOptions(*command, options->connection);
    command
        ->add_option("--timeout", options->timeoutMs,
                     "how long each answer is waited for, in ms (default 1000)")
        ->check(CLI::Range(1, 600000));
    command->add_flag("--json", options->json, "print the outcome as JSON");
    command->add_flag(
        "--watch", options->watch,
        "ask every second and print a line whenever the status changes, until Ctrl+C");
}

}  // namespace kp70
