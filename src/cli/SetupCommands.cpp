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
#include "core/app/Clock.h"
#include "core/app/ErrorLog.h"
#include "core/app/ModelCatalogue.h"
#include "core/app/Profile.h"
#include "core/service/Backup.h"
#include "core/service/BackupJob.h"
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

// The receive-buffer list for --help, without writing the profile.
std::vector<std::string> ReceiveBuffersForHelp(const std::string& profilePath) {
    Profile profile(profilePath);
    std::vector<std::string> list;
    for (int i = 0;; ++i) {
        const std::string v = profile.GetString("USER", "R_BUF_SZ" + std::to_string(i));
        if (v.empty()) break;
        list.push_back(v);
    }
    if (list.empty()) list = {"64", "32", "20", "4"};
    return list;
}

bool Resolve(const SetupCliOptions& options, const char* verb, CliContext& context,
             PrinterChoice& target) {
    std::string why;
    if (ResolveConnection(options.connection, target, context.catalogue, why)) return true;
    context.err << "kp70ctl setup " << verb << ": " << why << "\n";
    context.exitCode = kExitUsage;
    return false;
}

std::vector<std::string> NamesOf(const std::vector<Setting>& table,
                                 const std::vector<int>& numbers) {
    std::vector<std::string> names;
    for (const Setting& s : table)
        if (std::find(numbers.begin(), numbers.end(), s.number) != numbers.end())
            names.push_back(s.name);
    return names;
}

// Reads every setting the connection reports. False (with the message printed) when the
// read failed or nothing came back; `missing` lists what did not answer.
bool ReadAll(CliSetup& link, const SetupCliOptions& options, CliContext& context,
             std::vector<int>& missing) {
    SetupSession& session = link.Session();
    if (!session.ReadAllowed()) {
        context.err << "this parallel port cannot read the printer's settings\n";
        return false;
    }
    const Outcome outcome =
        CollectSettings(session, link.Collector(), *context.clock, options.timeoutMs, missing);
    if (!outcome.ok() || !outcome.notices.empty()) {
        PrintNotices(context, outcome);
        return false;
    }
    if (missing.size() == session.ReadList().size()) {
        context.err << TerminalText(context.catalogue.Message(msg::kReadFail)) << "\n";
        return false;
    }
    return true;
}

int RunGet(const SetupCliOptions& options, CliContext& context) {
    PrinterChoice target;
    if (!Resolve(options, "get", context, target)) return kExitUsage;
    if (!target.filePath.empty()) {
        context.err << "kp70ctl setup get: a file cannot answer; give a printer connection\n";
        return kExitUsage;
    }
    Profile profile(context.profilePath);
    const auto table = SettingTable(LoadReceiveBufferList(profile, context.catalogue.IsKorean()));

    CliSetup link(context);
    if (!link.Open(target)) return kExitFailed;
    std::vector<int> missing;
    if (!ReadAll(link, options, context, missing)) return kExitFailed;
    const SetupValues values = link.Collector().Values();
    const std::vector<int>& asked = link.Session().ReadList();

    std::vector<std::pair<std::string, std::string>> rows;
    for (const Setting& s : table) {
        if (std::find(asked.begin(), asked.end(), s.number) == asked.end()) continue;
        const bool answered = std::find(missing.begin(), missing.end(), s.number) == missing.end();
        rows.emplace_back(s.name, answered ? FormatSetting(s, values) : std::string());
    }
    if (options.json) {
        context.out << "{";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            context.out << (i ? ", " : "") << JsonText(rows[i].first) << ": "
                        << (rows[i].second.empty() || rows[i].second == "-"
                                ? std::string("null")
                                : JsonText(rows[i].second));
        }
        context.out << "}\n";
    } else {
        for (const auto& [name, value] : rows) {
            std::string line = name;
            line.resize(22, ' ');
            context.out << line << (value.empty() ? "(no reply)" : value) << "\n";
        }
    }
    if (!missing.empty()) {
        context.err << "no reply for:";
        for (const std::string& name : NamesOf(table, missing)) context.err << " " << name;
        context.err << "\n";
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

// Writes the block: into the file, or through the session. Prints what happened.
int WriteValues(SetupValues& values, CliSetup& link, CliContext& context,
                const ReadBack* readBack = nullptr) {
    const WriteBlock block = BuildWriteBlock(values);
    switch (block.status) {
        case WriteBlockStatus::NothingToWrite:
            context.err << "nothing to write\n";
            return kExitDone;
        case WriteBlockStatus::MarginRefused:
            context.err << context.catalogue.Message(msg::kMarginRange) << " (left-margin is "
                        << block.rangeValue << "; nothing written)\n";
            return kExitFailed;
        case WriteBlockStatus::RangeRefused:
            context.err << (block.rangeField == RangeField::ImageNumber ? "water-mark-image"
                                                                        : "cutting-lines")
                        << " is " << block.rangeValue << ", outside " << block.rangeMin << " .. "
                        << block.rangeMax << "; nothing written\n";
            return kExitFailed;
        case WriteBlockStatus::Ready:
            break;
    }
    if (readBack) {
        const std::vector<int> unclean =
            readBack->collector->UncleanForWrite(block.settings, readBack->changed);
        if (!unclean.empty()) {
            context.err << "kp70ctl setup set: no clean reply from the printer for:";
            for (const std::string& name : NamesOf(*readBack->table, unclean))
                context.err << " " << name;
            context.err << "\nnothing written: every write carries these settings as read; "
                           "read again, or give them as NAME=VALUE\n";
            return kExitFailed;
        }
    }
    // The stop bit matters to the link only on a serial port, and the USB mode only when
    // the printer is reached over USB (as a printer or as a virtual serial port).
    const PrinterChoice& choice = link.Links().Choice();
    const PortKind kind = link.Session().Kind();
    const InterfaceKind attached =
        models::InterfaceKindOf(choice.deviceEntry, models::ClassifyAtOk(choice.deviceEntry));
    const bool overUsb = kind == PortKind::Usb || attached == kInterfaceUsbSerial;
    if (block.stopBitWarning && kind == PortKind::Serial && !overUsb)
        context.err << TerminalText(context.catalogue.Message(msg::kStopBitWarning)) << "\n";
    InterruptCancels interrupt;
    const Outcome outcome = link.Session().WriteSettings(block, interrupt.Token());
    if (outcome.status == OutcomeStatus::Cancelled) {
        context.err << "interrupted: the settings may be written only in part; read them "
                       "again\n";
        return kExitInterrupted;
    }
    if (!outcome.ok()) {
        PrintNotices(context, outcome);
        return kExitFailed;
    }
    context.out << context.catalogue.Message(msg::kCompleted) << "\n";
    if (outcome.connectionClosed && overUsb) {
        context.err << "the write set the USB mode: the printer restarts as a "
                    << (values.usbMode == 1 ? "virtual serial (COM)" : "USB printer")
                    << " device; connect to it again\n";
    }
    return kExitDone;
}

int RunSet(const SetupCliOptions& options, CliContext& context) {
    PrinterChoice target;
    if (!Resolve(options, "set", context, target)) return kExitUsage;
    Profile profile(context.profilePath);
    const bool korean = context.catalogue.IsKorean();
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
        if (!setting) {
            context.err << "kp70ctl setup set: \"" << assignment
                        << "\" is not NAME=VALUE with a setting name; see kp70ctl setup --help\n";
            return kExitUsage;
        }
        std::string why;
        int value = 0;
        if (!ParseSetting(*setting, assignment.substr(eq + 1), value, why)) {
            if (setting->number == setup::kLeftMargin)
                context.err << context.catalogue.Message(msg::kMarginRange) << " ";
            context.err << "kp70ctl setup set: " << why << "\n";
            return kExitUsage;
        }
        changes.push_back({setting, value, assignment});
    }
    std::vector<BackupSetting> fromFile;
    if (!options.from.empty()) {
        std::string text, why;
        if (!ReadTextFile(options.from, text, why) || !ReadSettingsJson(text, fromFile, why)) {
            context.err << "kp70ctl setup set: " << options.from << ": " << why << "\n";
            return kExitUsage;
        }
    }
    if (changes.empty() && options.from.empty()) {
        context.err << "kp70ctl setup set: give at least one NAME=VALUE, or --from FILE\n";
        return kExitUsage;
    }
    // In the screen's order, whatever the command line's: a setting comes after the ones it
    // depends on (paper-type before two-color-density), as an operator works down the rows.
    std::stable_sort(changes.begin(), changes.end(), [&](const Change& a, const Change& b) {
        return a.setting - table.data() < b.setting - table.data();
    });

    // The printer's current settings first, as Get Value before Set Value (a file has
    // none to give).
    SetupValues values;
    CliSetup link(context);
    const bool file = !target.filePath.empty();
    if (!file) {
        if (!link.Open(target)) return kExitFailed;
        std::vector<int> missing;
        if (!ReadAll(link, options, context, missing)) return kExitFailed;
        values = link.Collector().Values();
    }

    // The screen's rules, with the questions answered by --yes or not at all.
    const AskOperator ask = [&](const Question& question) -> std::optional<bool> {
        if (!options.yes) return std::nullopt;
        context.err << TerminalText(question.text) << " Yes (--yes)\n";
        return true;
    };
    ReadBack readBack{&table, &link.Collector(), {}};
    if (!options.from.empty()) {
        // The file's settings first, as a restore applies them; NAME=VALUE then overrides.
        const SettingsPlan plan =
            PlanSettings(table, fromFile, values, modelCode, korean, false, ask);
        for (const Notice& notice : plan.notices)
            context.err << NoticeText(context, notice) << "\n";
        PrintPlanNotes(context, plan);
        if (plan.refused) {
            context.err << "kp70ctl setup set: " << options.from << ": nothing written\n";
            return kExitUsage;
        }
        readBack.changed = plan.changed;
    }
    for (const Change& change : changes) {
        const ChangeOutcome outcome =
            ChangeSetting(values, *change.setting, change.value, modelCode, korean, ask);
        for (const Notice& notice : outcome.notices)
            context.err << NoticeText(context, notice) << "\n";
        if (outcome.status != ChangeStatus::Applied) {
            context.err << "kp70ctl setup set: " << change.assignment
                        << (outcome.unanswered ? " asks this question; --yes answers Yes"
                                               : " refused")
                        << "; nothing written\n";
            return kExitUsage;
        }
        readBack.changed.insert(readBack.changed.end(), outcome.changed.begin(),
                                outcome.changed.end());
    }
    // A file is made only for what is written.
    if (file && !link.Open(target)) return kExitFailed;
    return WriteValues(values, link, context, file ? nullptr : &readBack);
}

int RunDefaults(const SetupCliOptions& options, CliContext& context) {
    PrinterChoice target;
    if (!Resolve(options, "defaults", context, target)) return kExitUsage;
    SetupValues values;
    LoadDefaults(values, context.catalogue.IsKorean());
    CliSetup link(context);
    if (!link.Open(target)) return kExitFailed;
    return WriteValues(values, link, context);
}

int RunTestPrint(const SetupCliOptions& options, CliContext& context) {
    PrinterChoice target;
    if (!Resolve(options, "test-print", context, target)) return kExitUsage;
    const bool korean = context.catalogue.IsKorean();
    CliSetup link(context);
    if (!link.Open(target)) return kExitFailed;
    InterruptCancels interrupt;
    const Outcome outcome = link.Session().PrintTestPage(korean, interrupt.Token());
    if (outcome.status == OutcomeStatus::Cancelled) return kExitInterrupted;
    if (!outcome.ok()) {
        PrintNotices(context, outcome);
        return kExitFailed;
    }
    return kExitDone;
}

CLI::App* AddVerb(CLI::App& setup, const char* name, const char* description,
                  std::shared_ptr<SetupCliOptions> options) {
    CLI::App* verb = setup.add_subcommand(name, description);
    AddConnectionOptions(*verb, options->connection);
    return verb;
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
    setup->footer("Settings (NAME=VALUE for set):\n" +
                  DescribeSettings(SettingTable(ReceiveBuffersForHelp(context.profilePath))));

    auto get = std::make_shared<SetupCliOptions>();
    CLI::App* getVerb = AddVerb(*setup, "get", "print every setting the printer reports", get);
    getVerb->add_flag("--json", get->json, "print the settings as a JSON object");
    AddTimeout(*getVerb, *get);
    getVerb->callback([get, &context] { context.exitCode = RunGet(*get, context); });

    auto set = std::make_shared<SetupCliOptions>();
    CLI::App* setVerb = AddVerb(
        *setup, "set", "change settings: reads the printer, applies NAME=VALUE, writes", set);
    setVerb->add_option("assignments", set->assignments, "NAME=VALUE, see kp70ctl setup --help");
    setVerb->add_option("--from", set->from,
                        "a JSON file of settings: the output of setup get --json or a backup's "
                        "manifest.json; NAME=VALUE given as well override it");
    setVerb->add_flag("--yes", set->yes,
                      "answer Yes to the questions the rules ask (water mark and 2Color)");
    AddTimeout(*setVerb, *set);
    setVerb->callback([set, &context] { context.exitCode = RunSet(*set, context); });

    auto defaults = std::make_shared<SetupCliOptions>();
    AddVerb(*setup, "defaults", "write the default value of every setting", defaults)
        ->callback([defaults, &context] { context.exitCode = RunDefaults(*defaults, context); });

    auto test = std::make_shared<SetupCliOptions>();
    AddVerb(*setup, "test-print", "print the setup test page", test)->callback([test, &context] {
        context.exitCode = RunTestPrint(*test, context);
    });
}

}  // namespace kp70
