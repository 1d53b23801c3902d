// kp70ctl setup: the User Setup tool on the command line. `get` reads every setting the
// printer reports, `set NAME=VALUE ...` changes settings with the screen's rules and the
// model's (it reads the printer first, as Get Value before Set Value does, so the margin and
// setup code that every write carries are kept, and writes only what came back clean),
// `defaults` writes the default settings and `test-print` prints the test page. With --file
// the bytes go into the file instead.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CliSetup.h"
#include "cli/Connection.h"
#include "cli/ServiceCommands.h"
#include "cli/Verb.h"
#include "core/app/Clock.h"
#include "core/app/ErrorLog.h"
#include "core/app/ModelCatalogue.h"
#include "core/app/Profile.h"
#include "core/service/Backup.h"
#include "core/service/BackupSequences.h"
#include "core/setup/SettingModel.h"
#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupProfile.h"
#include "core/setup/SetupSession.h"
#include "core/setup/TestPage.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

constexpr int kDefaultTimeoutMs = 8000;

struct SetupCliOptions {
    ConnectionOptions connection;
    std::vector<std::string> assignments;
    bool json = false;
    bool yes = false;  // answer Yes to the rules' questions
    int timeoutMs = kDefaultTimeoutMs;
    std::string from;  // set: a JSON file of settings (setup get --json, a backup manifest)
};

std::vector<std::string> NamesOf(const std::vector<Setting>& table,
                                 const std::vector<int>& numbers) {
    std::vector<std::string> names;
    for (const Setting& s : table)
        if (std::find(numbers.begin(), numbers.end(), s.number) != numbers.end())
            names.push_back(s.name);
    return names;
}

// Reads every setting the printer reports; ends the verb (1) when the read failed or
// nothing came back. Returns the settings that did not answer.
std::vector<int> ReadAll(CliSetup& link, const SetupCliOptions& options, Verb& verb) {
    SetupSession& session = link.Session();
    if (!session.ReadAllowed()) verb.Fail("this parallel port cannot read the printer's settings");
    std::vector<int> missing;
    const Outcome outcome =
        CollectSettings(session, link.Collector(), verb.Time(), options.timeoutMs, missing);
    if (!outcome.ok() || !outcome.notices.empty()) {
        verb.Tell(outcome.notices);
        verb.Stop(outcome.ok() ? kExitFailed : Verb::ExitOf(outcome.status));
    }
    if (missing.size() == session.ReadList().size()) {
        verb.Tell(TerminalText(verb.Catalogue().Message(msg::kReadFail)));
        verb.Stop(kExitFailed);
    }
    return missing;
}

// The setup session on the verb's printer, opened; ends the verb (1) when it does not open.
void OpenSetup(CliSetup& link, Verb& verb) {
    if (!link.Open(verb.Cancel()))
        verb.Stop(verb.Cancel().Cancelled() ? kExitInterrupted : kExitFailed);
}

int RunGet(const SetupCliOptions& options, Verb& verb) {
    verb.Resolve(options.connection, PrinterNeed::Answers);
    Profile profile(verb.Context().profilePath);
    const auto table = SettingTable(LoadReceiveBufferList(profile, verb.Catalogue().IsKorean()));

    CliSetup link(verb, verb.Links());
    OpenSetup(link, verb);
    const std::vector<int> missing = ReadAll(link, options, verb);
    const SetupValues values = link.Collector().Values();
    const std::vector<int>& asked = link.Session().ReadList();

    nlohmann::ordered_json document = nlohmann::ordered_json::object();
    for (const Setting& s : table) {
        if (std::find(asked.begin(), asked.end(), s.number) == asked.end()) continue;
        const bool answered = std::find(missing.begin(), missing.end(), s.number) == missing.end();
        const std::string value = answered ? FormatSetting(s, values) : std::string();
        if (options.json) {
            document[s.name] = value.empty() || value == "-" ? nlohmann::ordered_json()
                                                             : nlohmann::ordered_json(value);
            continue;
        }
        std::string line = s.name;
        line.resize(22, ' ');
        verb.Result(line + (value.empty() ? "(no reply)" : value));
    }
    if (options.json) verb.Json(document);
    if (!missing.empty()) {
        std::string names;
        for (const std::string& name : NamesOf(table, missing)) names += " " + name;
        verb.Tell("no reply for:" + names);
        return kExitFailed;
    }
    return kExitDone;
}

// What a write after a read must keep: the settings the operator's changes and the rules
// set, which need no reply, and the replies, which must have come back clean for every
// other setting the block carries.
struct ReadBack {
    const std::vector<Setting>* table;
    const SettingsCollector* collector;
    std::vector<int> changed;
};

// Writes the block: into the file, or through the session. Says what happened.
int WriteValues(SetupValues& values, CliSetup& link, Verb& verb,
                const ReadBack* readBack = nullptr) {
    const WriteBlock block = BuildWriteBlock(values);
    switch (block.status) {
        case WriteBlockStatus::NothingToWrite:
            verb.Tell("nothing to write");
            return kExitDone;
        case WriteBlockStatus::MarginRefused:
        case WriteBlockStatus::RangeRefused: {
            const char* field = block.status == WriteBlockStatus::MarginRefused ? "left-margin"
                                : block.rangeField == RangeField::ImageNumber   ? "water-mark-image"
                                                                                : "cutting-lines";
            verb.Tell(NoticeText(verb.Context(), *RefusalNotice(block)) + " (" + field + " is " +
                      std::to_string(block.rangeValue) + "; nothing written)");
            return kExitFailed;
        }
        case WriteBlockStatus::Ready:
            break;
    }
    if (readBack) {
        const std::vector<int> unclean =
            readBack->collector->UncleanForWrite(block.settings, readBack->changed);
        if (!unclean.empty()) {
            std::string names;
            for (const std::string& name : NamesOf(*readBack->table, unclean)) names += " " + name;
            verb.Warn("no clean reply from the printer for:" + names);
            verb.Tell(
                "nothing written: every write carries these settings as read; read again, or "
                "give them as NAME=VALUE");
            return kExitFailed;
        }
    }
    // The stop bit matters to the link only on a serial port, and the USB mode only when
    // the printer is reached over USB (as a printer or as a virtual serial port).
    const PrinterChoice& choice = verb.Printer();
    const Attachment kind = link.Session().Kind();
    const Attachment attached =
        models::AttachmentOfEntry(choice.deviceEntry, models::ClassifyAtOk(choice.deviceEntry));
    const bool overUsb = kind == Attachment::UsbPrinter || attached == Attachment::UsbSerial;
    if (block.stopBitWarning && kind == Attachment::Serial && !overUsb) verb.Tell(StopBitWarning());
    const Outcome outcome = link.Session().WriteSettings(block, verb.Cancel());
    if (outcome.status == OutcomeStatus::Cancelled) {
        verb.Tell("interrupted: the settings may be written only in part; read them again");
        return kExitInterrupted;
    }
    if (!outcome.ok()) return verb.Finish(outcome);
    verb.Result(verb.Catalogue().Message(msg::kCompleted));
    if (outcome.connectionClosed && overUsb) {
        verb.Tell(std::string("the write set the USB mode: the printer restarts as a ") +
                  (values.usbMode == 1 ? "virtual serial (COM)" : "USB printer") +
                  " device; connect to it again");
    }
    return kExitDone;
}

int RunSet(const SetupCliOptions& options, Verb& verb) {
    const PrinterChoice& target = verb.Resolve(options.connection, PrinterNeed::Bytes);
    Profile profile(verb.Context().profilePath);
    const bool korean = verb.Catalogue().IsKorean();
    const int modelCode = target.settings.modelCode;
    const auto table = SettingTable(LoadReceiveBufferList(profile, korean));

    // NAME=VALUE, checked before anything is sent.
    struct Change {
        const Setting* setting;
        int value;
        std::string assignment;
    };
    std::vector<Change> changes;
    for (const std::string& assignment : options.assignments) {
        const auto eq = assignment.find('=');
        const Setting* setting =
            eq == std::string::npos ? nullptr : FindSetting(table, assignment.substr(0, eq));
        if (!setting)
            verb.Refuse("\"" + assignment +
                        "\" is not NAME=VALUE with a setting name; see kp70ctl setup --help");
        std::string why;
        int value = 0;
        if (!ParseSetting(*setting, assignment.substr(eq + 1), value, why)) {
            // The margin's own message first, as the screen shows it.
            if (setting->number == setup::kLeftMargin)
                why = verb.Catalogue().Message(msg::kMarginRange) + " " + why;
            verb.Refuse(why);
        }
        changes.push_back({setting, value, assignment});
    }
    std::vector<BackupSetting> fromFile;
    if (!options.from.empty()) {
        std::string text, why;
        if (!ReadTextFile(options.from, text, why) || !ReadSettingsJson(text, fromFile, why))
            verb.Refuse(options.from + ": " + why);
    }
    if (changes.empty() && options.from.empty())
        verb.Refuse("give at least one NAME=VALUE, or --from FILE");
    // In the screen's order, whatever the command line's: a setting comes after the ones it
    // depends on (paper-type before two-color-density), as an operator works down the rows.
    std::stable_sort(changes.begin(), changes.end(), [&](const Change& a, const Change& b) {
        return a.setting - table.data() < b.setting - table.data();
    });

    // The printer's current settings first, as Get Value before Set Value (a file has
    // none to give).
    SetupValues values;
    const bool file = !target.filePath.empty();
    CliSetup link(verb, verb.Links());
    if (!file) {
        OpenSetup(link, verb);
        ReadAll(link, options, verb);
        values = link.Collector().Values();
    }

    // The screen's rules, with the questions answered by --yes or not at all.
    const AskOperator ask = verb.Operator().RuleAnswers();
    ReadBack readBack{&table, &link.Collector(), {}};
    if (!options.from.empty()) {
        // The file's settings first, as a restore applies them; NAME=VALUE then overrides.
        const SettingsPlan plan =
            PlanSettings(table, fromFile, values, modelCode, korean, false, ask);
        verb.Tell(plan.notices);
        PrintPlanNotes(verb, plan);
        if (plan.refused) verb.Refuse(options.from + ": nothing written");
        readBack.changed = plan.changed;
    }
    for (const Change& change : changes) {
        const ChangeOutcome outcome =
            ChangeSetting(values, *change.setting, change.value, modelCode, korean, ask);
        verb.Tell(outcome.notices);
        if (outcome.status != ChangeStatus::Applied) {
            verb.Refuse(
                change.assignment +
                (outcome.unanswered ? " asks this question; --yes answers Yes" : " refused") +
                "; nothing written");
        }
        readBack.changed.insert(readBack.changed.end(), outcome.changed.begin(),
                                outcome.changed.end());
    }
    // A file is made only for what is written.
    if (file) OpenSetup(link, verb);
    return WriteValues(values, link, verb, file ? nullptr : &readBack);
}

int RunDefaults(const SetupCliOptions& options, Verb& verb) {
    verb.Resolve(options.connection, PrinterNeed::Bytes);
    SetupValues values;
    LoadDefaults(values, verb.Catalogue().IsKorean());
    CliSetup link(verb, verb.Links());
    OpenSetup(link, verb);
    return WriteValues(values, link, verb);
}

int RunTestPrint(const SetupCliOptions& options, Verb& verb) {
    verb.Resolve(options.connection, PrinterNeed::Bytes);
    CliSetup link(verb, verb.Links());
    OpenSetup(link, verb);
    const Outcome outcome =
        link.Session().PrintTestPage(verb.Catalogue().IsKorean(), verb.Cancel());
    if (outcome.status == OutcomeStatus::Cancelled) return kExitInterrupted;
    return verb.Finish(outcome);
}

using SetupRun = int (*)(const SetupCliOptions&, Verb&);

CLI::App* AddSetupVerb(CLI::App& setup, CliContext& context, const char* name,
                       const char* description, std::shared_ptr<SetupCliOptions> options,
                       SetupRun run) {
    CLI::App* command = AddVerb(setup, context, name, description, [options, run](Verb& verb) {
        verb.AnswerYes(options->yes);
        return run(*options, verb);
    });
    AddConnectionOptions(*command, options->connection);
    return command;
}

void AddTimeout(CLI::App& verb, SetupCliOptions& options) {
    verb.add_option("--timeout", options.timeoutMs,
                    "how long to wait for the printer's replies, in ms (default 8000)")
        ->check(CLI::Range(100, 600000));
}

}  // namespace

void AddSetupCommands(CLI::App& app, CliContext& context) {
    CLI::App* setup = app.add_subcommand(
        "setup", "read and change the printer's user settings, restore defaults, test print");
    setup->require_subcommand(1);
    // The receive-buffer list as the setup screen would offer it, without writing the profile.
    const Profile profile(context.profilePath);
    setup->footer("Settings (NAME=VALUE for set):\n" +
                  DescribeSettings(
                      SettingTable(ReadReceiveBufferList(profile, context.catalogue.IsKorean()))));

    auto get = std::make_shared<SetupCliOptions>();
    CLI::App* getVerb = AddSetupVerb(*setup, context, "get",
                                     "print every setting the printer reports", get, RunGet);
    getVerb->add_flag("--json", get->json, "print the settings as a JSON object");
    AddTimeout(*getVerb, *get);

    auto set = std::make_shared<SetupCliOptions>();
    CLI::App* setVerb =
        AddSetupVerb(*setup, context, "set",
                     "change settings: reads the printer, applies NAME=VALUE, writes", set, RunSet);
    setVerb->add_option("assignments", set->assignments, "NAME=VALUE, see kp70ctl setup --help");
    setVerb->add_option("--from", set->from,
                        "a JSON file of settings: the output of setup get --json or a backup's "
                        "manifest.json; NAME=VALUE given as well override it");
    setVerb->add_flag("--yes", set->yes,
                      "answer Yes to the questions the rules ask (water mark and 2Color)");
    AddTimeout(*setVerb, *set);

    AddSetupVerb(*setup, context, "defaults", "write the default value of every setting",
                 std::make_shared<SetupCliOptions>(), RunDefaults);
    AddSetupVerb(*setup, context, "test-print", "print the setup test page",
                 std::make_shared<SetupCliOptions>(), RunTestPrint);
}

}  // namespace kp70
