#include "cli/Verb.h"

#include <ostream>

#include "core/app/Clock.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

// What ends a verb early; what there was to say has been said.
struct VerbStop {
    int exitCode;
};

// "setup get": the subcommands from kp70ctl down to this one.
std::string FullName(const CLI::App& verb) {
    std::string name = verb.get_name();
    for (const CLI::App* parent = verb.get_parent(); parent && parent->get_parent();
         parent = parent->get_parent())
        name = parent->get_name() + " " + name;
    return name;
}

}  // namespace

Verb::Verb(CliContext& context, std::string name)
    : m_context(context), m_name(name), m_terminal(context, std::move(name), false) {}

Verb::~Verb() = default;

void Verb::Refuse(const std::string& why) {
    Warn(why);
    Stop(kExitUsage);
}

void Verb::Fail(const std::string& why) {
    Warn(why);
    Stop(kExitFailed);
}

void Verb::Stop(int exitCode) {
    throw VerbStop{exitCode};
}

void Verb::Warn(const std::string& text) {
    m_context.err << "kp70ctl " << m_name << ": " << TerminalText(text) << "\n";
}

void Verb::Tell(const std::string& line) {
    m_context.err << TerminalText(line) << "\n";
}

void Verb::Tell(const Notice& notice) {
    Tell(NoticeText(m_context, notice));
}

void Verb::Tell(const std::vector<Notice>& notices) {
    for (const Notice& notice : notices) Tell(notice);
}

void Verb::Result(const std::string& line) {
    m_context.out << TerminalText(line) << "\n";
}

void Verb::Json(const nlohmann::ordered_json& document) {
    m_context.out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
}

int Verb::ExitOf(OutcomeStatus status) {
    switch (status) {
        case OutcomeStatus::Done:
        case OutcomeStatus::Waiting:
        case OutcomeStatus::NothingToDo:
            return kExitDone;
        case OutcomeStatus::Refused:
            return kExitUsage;
        case OutcomeStatus::Cancelled:
            return kExitInterrupted;
        case OutcomeStatus::Failed:
            break;
    }
    return kExitFailed;
}

int Verb::Finish(const Outcome& outcome) {
    for (const Notice& notice : outcome.notices) {
        if (outcome.ok() && msg::IsCompletion(notice.number)) {
            Result(NoticeText(m_context, notice));
        } else {
            Tell(notice);
        }
    }
    return ExitOf(outcome.status);
}

void Verb::Require(const Outcome& outcome) {
    const int exitCode = Finish(outcome);
    if (!outcome.ok()) Stop(exitCode);
}

const PrinterChoice& Verb::Resolve(const ConnectionOptions& options, PrinterNeed need) {
    std::string why;
    if (!ResolveConnection(options, m_choice, m_context.catalogue, why)) Refuse(why);
    if (need == PrinterNeed::Answers && !m_choice.filePath.empty())
        Refuse("a print file cannot answer; give a printer connection (--port, --usb or --net)");
    return m_choice;
}

CliLinks& Verb::Links() {
    if (!m_links) {
        auto links = std::make_unique<CliLinks>(m_context);
        std::string why;
        if (!links->Choose(m_choice, why)) {
            Tell(why);
            Stop(kExitFailed);
        }
        m_links = std::move(links);
    }
    return *m_links;
}

std::unique_ptr<PrinterLink> Verb::OpenLink(const LinkRequest& request) {
    std::string why;
    std::unique_ptr<PrinterLink> link = Links().OpenLink(request, Cancel(), why);
    if (!link) {
        if (Cancel().Cancelled()) Stop(kExitInterrupted);
        Tell(why);
        Stop(kExitFailed);
    }
    return link;
}

void Verb::AnswerYes(bool yes) {
    m_terminal.AnswerYes(yes);
}

void Verb::Confirm(const std::string& question) {
    switch (m_terminal.Ask(question)) {
        case Terminal::Answer::Yes:
            return;
        case Terminal::Answer::No:
            Stop(kExitFailed);
        case Terminal::Answer::Unanswered:
            Stop(kExitUsage);
    }
}

const CancelToken& Verb::Cancel() {
    if (!m_interrupt) m_interrupt.emplace();
    return m_interrupt->Token();
}

CLI::App* AddVerb(CLI::App& parent, CliContext& context, const std::string& name,
                  const std::string& description, std::function<int(Verb&)> run) {
    CLI::App* app = parent.add_subcommand(name, description);
    app->callback([app, &context, run = std::move(run)] {
        Verb verb(context, FullName(*app));
        try {
            context.exitCode = run(verb);
        } catch (const VerbStop& stop) {
            context.exitCode = stop.exitCode;
        }
    });
    return app;
}

}  // namespace kp70
