#pragma once

// How every kp70ctl verb runs. A verb is added with AddVerb and given a Verb, which it uses
// for everything it says and everything it needs of the printer:
//
//   auto options = std::make_shared<MyOptions>();
//   CLI::App* verb = AddVerb(parent, context, "name", "what it does",
//                            [options](Verb& verb) { return RunMine(*options, verb); });
//   AddConnectionOptions(*verb, options->connection);      // when it talks to a printer
//
//   int RunMine(const MyOptions& o, Verb& verb) {
//       if (...) verb.Refuse("--x wants ...");              // exit 2, nothing sent
//       verb.Resolve(o.connection, PrinterNeed::Answers);  // refusals (2), no hardware
//       const Outcome outcome = SomeSession(verb.Links().Factory(), verb.Time(), ..., // USB
//                                           verb.Cancel());
//       return verb.Finish(outcome);                       // notices, exit status
//   }
//
// What is said goes one way: messages (refusals, failures, notices, progress, questions) to
// stderr, results to stdout, and a --json result as one JSON document on stdout. The exit
// status says how it ended: 0 done, 1 failed or the printer did not answer, 2 a command line
// refused or a question no one answered, 130 interrupted (Ctrl+C, SIGTERM, SIGHUP).

#include <CLI/CLI.hpp>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/Terminal.h"
#include "core/app/Outcome.h"

namespace kp70 {

class Clock;
class PrinterLink;
struct LinkRequest;

// What a verb needs of the printer it is given.
enum class PrinterNeed {
    Bytes,    // it only sends: a printer, or a print file (--file)
    Answers,  // it reads the printer's answers: a print file is refused
};

class Verb {
public:
    // `name` is the verb as typed after kp70ctl ("setup get").
    Verb(CliContext& context, std::string name);
    ~Verb();
    Verb(const Verb&) = delete;
    Verb& operator=(const Verb&) = delete;

    CliContext& Context() { return m_context; }
    const MessageCatalogue& Catalogue() const { return m_context.catalogue; }
    // The context's clock, which all pacing goes through.
    Clock& Time() { return *m_context.clock; }
    const std::string& Name() const { return m_name; }

    // ---- what is said ----

    // Ends the verb: "kp70ctl NAME: why" on stderr, exit status 2 (Refuse: the command line
    // or the input cannot be used; nothing was sent) or 1 (Fail).
    [[noreturn]] void Refuse(const std::string& why);
    [[noreturn]] void Fail(const std::string& why);
    // Ends the verb with `exitCode`, once what happened was said.
    [[noreturn]] void Stop(int exitCode);
    // "kp70ctl NAME: text" on stderr; the verb goes on.
    void Warn(const std::string& text);
    // A message line on stderr as it stands (a notice, progress, a note).
    void Tell(const std::string& line);
    void Tell(const Notice& notice);
    void Tell(const std::vector<Notice>& notices);
    // A result on stdout: the text and a line break.
    void Result(const std::string& line);
    // The --json result: one document on stdout, valid JSON whatever the texts in it hold
    // (bytes that are not UTF-8 become U+FFFD).
    void Json(const nlohmann::ordered_json& document);

    // An operation's end: its notices (an operation that went well puts its completion
    // message, the result, on stdout; every other notice goes to stderr) and the exit
    // status of its outcome.
    int Finish(const Outcome& outcome);
    // An operation that must go well before the verb goes on: when it did not, its notices
    // are said and the verb ends with the outcome's exit status. Notices of one that went
    // well are said too.
    void Require(const Outcome& outcome);
    static int ExitOf(OutcomeStatus status);

    // ---- the printer ----

    // Resolves the connection options, once, without touching hardware: what the
    // connection screen would refuse ends the verb with 2, and so does a print file when the
    // verb reads answers.
    const PrinterChoice& Resolve(const ConnectionOptions& options, PrinterNeed need);
    const PrinterChoice& Printer() const { return m_choice; }
    // The links to the resolved printer, which the core sessions make their links with. The
    // first call takes the printer: a USB printer is searched for (none, or more than one,
    // ends the verb with 1).
    CliLinks& Links();
    // A link for a verb that talks to the printer itself. One that does not open ends the
    // verb with 1, said as the connection screen says it ("ERROR : Port open." and what
    // stood in the way).
    std::unique_ptr<PrinterLink> OpenLink(const LinkRequest& request);

    // ---- the operator ----

    // --yes given to the verb: it answers Ask's and the rules' questions.
    void AnswerYes(bool yes);
    Terminal& Operator() { return m_terminal; }
    // Asks before something is sent: Yes goes on, No ends the verb with 1, a question no one
    // can answer with 2.
    void Confirm(const std::string& question);

    // Ctrl+C, SIGTERM and SIGHUP cancel this token, from the first call on, instead of
    // ending kp70ctl, so a long operation stops at a safe point and says so.
    const CancelToken& Cancel();

private:
    CliContext& m_context;
    std::string m_name;
    Terminal m_terminal;
    PrinterChoice m_choice;
    std::unique_ptr<CliLinks> m_links;
    std::optional<InterruptCancels> m_interrupt;
};

// Adds the subcommand `name` to `parent`; when it is given, `run` runs with its Verb and its
// return value is kp70ctl's exit status.
CLI::App* AddVerb(CLI::App& parent, CliContext& context, const std::string& name,
                  const std::string& description, std::function<int(Verb&)> run);

}  // namespace kp70
