// kp70ctl backup, restore and provision: a printer's settings and logos saved into one
// .kp70 file, written back onto a printer, or applied to many network printers at once.
// The sequences are core's (core/service); this file opens the connections, asks the
// operator and prints what happened.
#include "cli/ServiceCommands.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CliSetup.h"
#include "cli/Connection.h"
#include "cli/LogoFlags.h"
#include "cli/Verb.h"
#include "core/app/AtomicFile.h"
#include "core/app/Clock.h"
#include "core/app/Profile.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOperations.h"
#include "core/logo/LogoSelection.h"
#include "core/network/DiscoveryFrame.h"
#include "core/network/NetworkSettingSession.h"
#include "core/network/SetFrameChecks.h"
#include "core/service/Backup.h"
#include "core/service/BackupSequences.h"
#include "core/service/ParallelRunner.h"
#include "core/setup/SetupProfile.h"
#include "core/transport/PrinterPort.h"
#include "platform/DatagramSocket.h"
#include "platform/ProgramEnvironment.h"

namespace kp70 {

namespace {

constexpr int kDefaultTimeoutMs = 8000;

struct BackupOptions {
    ConnectionOptions connection;
    std::string file;
    bool noLogos = false;
    LogoFlags logos;
    std::string center;
    int timeoutMs = kDefaultTimeoutMs;
};

struct RestoreOptions {
    ConnectionOptions connection;
    std::string file;
    bool yes = false;
    bool skipUnavailable = false;
    int timeoutMs = kDefaultTimeoutMs;
};

struct ProvisionOptions {
    std::string file;
    std::vector<std::string> nets;
    bool discover = false;
    std::string broadcast = kDefaultBroadcastAddress;
    std::string device;
    bool yes = false;
    int jobs = 4;
    bool json = false;
    bool skipUnavailable = false;
    int timeoutMs = kDefaultTimeoutMs;
};

const char* RestoreWord(SettingRestore status) {
    switch (status) {
        case SettingRestore::Write:
            return "written";
        case SettingRestore::Kept:
            return "kept";
        case SettingRestore::Refused:
            return "refused";
    }
    return "";
}

// A folder of its own under the system's temporary folder, removed with everything in it
// when the object goes. Path() is empty, and Problem() says why, when none can be made.
class WorkFolder {
public:
    WorkFolder() {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        const std::string variable = TemporaryFolderVariable();
        if (ec) {
            const char* given = std::getenv(variable.c_str());
            m_problem = "no temporary folder for the logos (" + ec.message() +
                        (given ? ", " + variable + " is '" + given + "'" : std::string()) +
                        "): set " + variable + " to a folder you can write to";
            return;
        }
        // A name of its own: create_directory makes a folder only where there was none, and
        // only this user may then look into it.
        std::random_device random;
        for (int attempt = 0; attempt < 16 && m_path.empty() && !ec; ++attempt) {
            char name[32];
            std::snprintf(name, sizeof name, "kp70-logos-%08x", static_cast<unsigned>(random()));
            const std::filesystem::path candidate = base / name;
            if (!std::filesystem::create_directory(candidate, ec)) continue;
            std::filesystem::permissions(candidate, std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::replace, ec);
            m_path = candidate.string();
        }
        if (m_path.empty()) {
            m_problem = "cannot make a temporary folder for the logos in " + base.string() + ": " +
                        (ec ? ec.message() : std::string("every name tried was taken")) + "; set " +
                        variable + " to a folder you can write to";
        }
    }
    ~WorkFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    const std::string& Path() const { return m_path; }
    const std::string& Problem() const { return m_problem; }

private:
    std::string m_path;
    std::string m_problem;
};

// The backup file; one that cannot be read or decoded ends the verb with 1.
Backup LoadBackup(Verb& verb, const std::string& path) {
    Backup backup;
    std::string data, why;
    if (!ReadTextFile(path, data, why) || !DecodeBackup(data, backup, why))
        verb.Fail(path + ": " + why);
    return backup;
}

std::string RestoreQuestion(const Backup& backup, const std::string& where) {
    std::string text = "This replaces the settings of " + where + " with the " +
                       std::to_string(backup.settings.size()) + " settings of the backup";
    if (backup.hasLogos)
        text += " and every logo it stores with the backup's " +
                std::to_string(backup.logos.size()) + " images";
    return text + ".";
}

// What a restore reported, as one text for a table's error column.
std::string ErrorText(CliContext& context, const RestoreReport& report, const std::string& extra) {
    std::string text = report.error;
    for (const Notice& notice : report.notices) {
        if (notice.number == msg::kUploadComplete || notice.number == msg::kStopBitWarning)
            continue;
        std::string line = NoticeText(context, notice);
        for (char& c : line)
            if (c == '\n' || c == '\r') c = ' ';
        text += (text.empty() ? "" : "; ") + line;
    }
    std::string more = extra;
    for (char& c : more)
        if (c == '\n') c = ' ';
    while (!more.empty() && more.back() == ' ') more.pop_back();
    if (!more.empty()) text += (text.empty() ? "" : "; ") + more;
    return text;
}

// Restores onto the printer `links` has taken; what its connection says is told through
// `verb`.
RestoreReport RestoreOnto(Verb& verb, CliLinks& links, const Backup& backup, bool skipUnavailable,
                          int timeoutMs, const AskOperator& ask, const CancelToken& cancel,
                          const RestoreCallbacks& callbacks) {
    RestoreReport report;
    // Only a backup with logos needs a folder to unpack them into.
    std::optional<WorkFolder> work;
    if (backup.hasLogos) {
        work.emplace();
        if (work->Path().empty()) {
            report.status = OutcomeStatus::Failed;
            report.error = work->Problem();
            return report;
        }
    }
    const Profile profile(verb.Context().profilePath);
    const bool korean = verb.Catalogue().IsKorean();
    const auto table = SettingTable(ReadReceiveBufferList(profile, korean));
    CliSetup link(verb, links);
    if (!link.Open(cancel)) {
        report.status = cancel.Cancelled() ? OutcomeStatus::Cancelled : OutcomeStatus::Failed;
        report.error = "the printer could not be opened";
        return report;
    }

    RestoreRequest request;
    request.backup = &backup;
    request.table = &table;
    request.modelCode = links.Choice().settings.modelCode;
    request.korean = korean;
    request.skipUnavailable = skipUnavailable;
    request.readTimeoutMs = timeoutMs;
    request.workDir = work ? work->Path() : std::string();
    request.ask = ask;
    return RestoreBackup(link.Session(), link.Collector(), links.Factory(), &links.Log(),
                         verb.Time(), request, cancel, callbacks);
}

// ---- backup ----

int RunBackup(const BackupOptions& o, Verb& verb) {
    CliContext& context = verb.Context();
    const PrinterChoice& target = verb.Resolve(o.connection, PrinterNeed::Answers);
    const int modelCode = target.settings.modelCode;
    const Profile profile(context.profilePath);
    const auto table = SettingTable(ReadReceiveBufferList(profile, verb.Catalogue().IsKorean()));

    // The printer cannot send its logos back: the backup takes the list the last complete
    // upload from this computer stored, with the conversion options given here (the marks
    // and the gray mode stored with the list where none are given).
    LogoList list;
    LogoOptions options = LogoOptionsOf(o.logos, modelCode, verb);
    if (!o.noLogos) {
        if (const std::string problem = profile.ReadProblem(); !problem.empty()) {
            verb.Fail("the stored logo list cannot be read: " + problem +
                      "; nothing written (--no-logos backs up the settings alone)");
        }
        verb.Tell(list.LoadStoredList(profile));
        if (list.FailedCount() > 0) {
            verb.Fail(
                "the stored logo list names files that cannot be read; nothing written "
                "(--no-logos backs up the settings alone)");
        }
        // The positions given replace the marks stored with the list.
        if (!o.center.empty()) CentreListed(list, o.center, verb);
        // A list uploaded in gray is backed up in gray without --gray, so a restore gives the
        // printer the images it holds (where the model prints gray at all).
        if (list.StoredGray() && LogoOptions::GrayOffered(modelCode)) options.grayPrinting = true;
    }

    Backup backup;
    backup.tool = KP70_VERSION_TEXT;
    backup.time = BackupTimeText(verb.Time().LocalTime());
    backup.model = modelCode;
    backup.device = target.deviceEntry;
    std::string why;
    if (!CollectLogos(list, options, backup, why)) verb.Fail(why + "; nothing written");

    CliSetup link(verb, verb.Links());
    if (!link.Open(verb.Cancel()))
        verb.Stop(verb.Cancel().Cancelled() ? kExitInterrupted : kExitFailed);
    std::vector<Notice> notices;
    if (!ReadSettingsForBackup(link.Session(), link.Collector(), verb.Time(), o.timeoutMs, table,
                               backup.settings, notices, why)) {
        verb.Tell(notices);
        verb.Fail(why + "; nothing written");
    }

    std::string file;
    if (!EncodeBackup(backup, file, why)) verb.Fail(why);
    // "-" is standard output; a pipe or a device is written into; a file (or what a link
    // names) is replaced at once, so a failed write never leaves half a backup.
    const bool toStdout = o.file == "-";
    if (toStdout) {
        context.out.write(file.data(), static_cast<std::streamsize>(file.size()));
        context.out.flush();
        if (!context.out) verb.Fail("the backup could not be written to standard output");
    } else if (const std::string failure = WriteOutputFile(o.file, file); !failure.empty()) {
        verb.Fail(failure);
    }
    const std::string summary = (toStdout ? std::string("standard output") : o.file) + ": " +
                                std::to_string(backup.settings.size()) + " settings, " +
                                std::to_string(backup.logos.size()) + " logos";
    // The backup itself may be what stdout carries.
    if (toStdout) {
        verb.Tell(summary);
    } else {
        verb.Result(summary);
    }
    if (!o.noLogos && !backup.hasLogos)
        verb.Tell("no logo list stored in " + context.profilePath +
                  ": the backup holds the settings alone, and a restore leaves the printer's "
                  "logos as they are");
    return kExitDone;
}

// ---- restore ----

int RunRestore(const RestoreOptions& o, Verb& verb) {
    verb.AnswerYes(o.yes);
    verb.Resolve(o.connection, PrinterNeed::Answers);
    const Backup backup = LoadBackup(verb, o.file);
    verb.Confirm(RestoreQuestion(backup, "the printer"));

    RestoreCallbacks callbacks;
    callbacks.uploadProgress = ImageLines(verb);
    const RestoreReport report =
        RestoreOnto(verb, verb.Links(), backup, o.skipUnavailable, o.timeoutMs,
                    verb.Operator().RuleAnswers(), verb.Cancel(), callbacks);
    verb.Tell(report.plan.notices);
    const bool written = report.settingsWritten > 0;
    for (const SettingRestoreItem& item : report.plan.items) {
        const char* word = item.status == SettingRestore::Write && !written
                               ? "not written"
                               : RestoreWord(item.status);
        std::ostringstream line;
        line << std::left << std::setw(12) << word << std::setw(22) << item.name << item.value
             << (item.note.empty() ? "" : "  (" + item.note + ")");
        verb.Result(line.str());
    }
    if (!report.logosIncluded) {
        verb.Result("logos: none in the backup; the printer's logos are left as they are");
    } else {
        verb.Result("logos: " + std::to_string(report.logosStored) + " of " +
                    std::to_string(backup.logos.size()) + " stored");
    }
    for (const Notice& notice : report.notices)
        if (notice.number != msg::kUploadComplete) verb.Tell(notice);
    if (!report.ok()) verb.Warn(report.error);
    return Verb::ExitOf(report.status);
}

// ---- provision ----

// The printers that answer the search, as HOST:PORT; ends the verb (1) when the search could
// not be made.
std::vector<std::string> Discover(const ProvisionOptions& o, Verb& verb) {
    DatagramSocket sockets(verb.Time());
    NetworkSettingSession session(sockets, verb.Time(), o.broadcast,
                                  static_cast<int>(kDiscoveryReceiveMs));
    verb.Require(session.Open());
    std::vector<std::string> nets;
    verb.Require(session.Search(verb.Cancel(), [&](const DiscoveredPrinter& printer) {
        nets.push_back(DottedText(printer.settings.address) + ":" +
                       std::to_string(printer.settings.port));
    }));
    return nets;
}

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

// One printer of a provisioning run: a context and a verb of its own, so what its
// connection says ends in its row, and the run's --yes for the rules' questions, unsaid.
ProvisionRow ProvisionOne(const ProvisionOptions& o, Verb& verb, const PrinterChoice& target,
                          const Backup& backup, const CancelToken& cancel) {
    CliContext& context = verb.Context();
    std::ostringstream out, err;
    CliContext local{out,
                     err,
                     context.catalogue,
                     context.profilePath,
                     context.errorLogPath,
                     context.clock,
                     context.devices};
    Verb own(local, verb.Name());
    own.AnswerYes(o.yes);
    ProvisionRow row;
    RestoreReport report;
    CliLinks links(local);
    std::string why;
    if (!links.Choose(target, why)) {
        report.status = OutcomeStatus::Failed;
        report.error = why;
    } else {
        report = RestoreOnto(own, links, backup, o.skipUnavailable, o.timeoutMs,
                             own.Operator().RuleAnswers(true), cancel, {});
    }
    row.settingsWritten = report.settingsWritten;
    row.logosStored = report.logosStored;
    row.status = report.ok()                                 ? ProvisionRow::Status::Done
                 : report.status == OutcomeStatus::Cancelled ? ProvisionRow::Status::Cancelled
                                                             : ProvisionRow::Status::Failed;
    if (!report.ok()) row.error = ErrorText(local, report, err.str());
    return row;
}

int RunProvision(const ProvisionOptions& o, Verb& verb) {
    verb.AnswerYes(o.yes);
    if (o.discover == !o.nets.empty())
        verb.Refuse(
            "give the printers with --net ADDRESS (repeatable) or find them with --discover");
    if (o.discover && !ParseDottedAddress(o.broadcast)) {
        verb.Refuse(std::string("--broadcast wants a dotted IPv4 address such as ") +
                    kDefaultBroadcastAddress + ", not '" + o.broadcast + "'");
    }
    const Backup backup = LoadBackup(verb, o.file);
    std::vector<std::string> nets = o.nets;
    if (o.discover) {
        nets = Discover(o, verb);
        if (nets.empty()) verb.Fail("no printer answered the search on " + o.broadcast);
    }
    // Every address is checked before anything is sent.
    std::vector<PrinterChoice> targets;
    std::vector<std::string> names;
    for (const std::string& net : nets) {
        ConnectionOptions connection;
        connection.net = net;
        connection.device = o.device;
        PrinterChoice target;
        std::string why;
        if (!ResolveConnection(connection, target, verb.Catalogue(), why))
            verb.Refuse(net + ": " + why);
        targets.push_back(target);
        names.push_back(target.settings.networkAddress + ":" +
                        std::to_string(target.settings.networkPort));
    }
    // One job per printer: a printer given or found twice is provisioned once.
    std::vector<PrinterChoice> distinctTargets;
    std::vector<std::string> distinctNames;
    const std::vector<std::size_t> first = FirstOfEachPrinter(names);
    for (std::size_t i = 0, next = 0; i < names.size(); ++i) {
        if (next < first.size() && first[next] == i) {
            distinctTargets.push_back(targets[i]);
            distinctNames.push_back(names[i]);
            ++next;
        } else {
            verb.Warn(names[i] + " is given more than once; it is provisioned once");
        }
    }
    targets = std::move(distinctTargets);
    names = std::move(distinctNames);
    verb.Confirm(RestoreQuestion(backup, std::to_string(targets.size()) + " printers"));

    std::mutex outputMutex;
    const auto rows = RunInParallel(
        names, o.jobs, verb.Time(), verb.Cancel(),
        [&](std::size_t index, const CancelToken& cancel) {
            return ProvisionOne(o, verb, targets[index], backup, cancel);
        },
        [&](const ProvisionRow& row) {
            std::lock_guard lock(outputMutex);
            verb.Tell(row.printer + ": " + StatusText(row.status) + ", " +
                      std::to_string(row.settingsWritten) + " settings written, " +
                      std::to_string(row.logosStored) + " logos stored, " + Seconds(row.ms) +
                      (row.error.empty() ? "" : " - " + row.error));
        });

    bool allDone = true;
    for (const ProvisionRow& row : rows)
        allDone = allDone && row.status == ProvisionRow::Status::Done;
    if (o.json) {
        nlohmann::ordered_json table = nlohmann::ordered_json::array();
        for (const ProvisionRow& r : rows) {
            table.push_back({{"printer", r.printer},
                             {"settingsWritten", r.settingsWritten},
                             {"logosStored", r.logosStored},
                             {"status", StatusText(r.status)},
                             {"ms", r.ms},
                             {"error", r.error}});
        }
        verb.Json(table);
    } else {
        std::ostringstream head;
        head << std::left << std::setw(22) << "printer" << std::setw(10) << "settings"
             << std::setw(7) << "logos" << std::setw(13) << "status" << std::setw(9) << "time"
             << "error";
        verb.Result(head.str());
        for (const ProvisionRow& r : rows) {
            std::ostringstream line;
            line << std::left << std::setw(22) << r.printer << std::setw(10) << r.settingsWritten
                 << std::setw(7) << r.logosStored << std::setw(13) << StatusText(r.status)
                 << std::setw(9) << Seconds(r.ms) << r.error;
            verb.Result(line.str());
        }
    }
    return allDone ? kExitDone : kExitFailed;
}

}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, std::string& why,
                  std::size_t maxBytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        why = "cannot be read";
        return false;
    }
    std::string data;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        data.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (data.size() > maxBytes) {
            why = "is larger than " + std::to_string(maxBytes) + " bytes";
            return false;
        }
    }
    if (in.bad()) {
        why = "cannot be read";
        return false;
    }
    text = std::move(data);
    return true;
}

void PrintPlanNotes(Verb& verb, const SettingsPlan& plan) {
    for (const SettingRestoreItem& item : plan.items) {
        if (item.status == SettingRestore::Write) continue;
        verb.Tell(std::string(RestoreWord(item.status)) + " " + item.name + "=" + item.value +
                  ": " + item.note);
    }
}

void AddServiceCommands(CLI::App& app, CliContext& context) {
    auto backup = std::make_shared<BackupOptions>();
    CLI::App* b =
        AddVerb(app, context, "backup",
                "save the printer's settings and the stored logo list into one .kp70 file",
                [backup](Verb& verb) { return RunBackup(*backup, verb); });
    b->add_option("FILE", backup->file,
                  "the backup file to write (OUT.kp70; - for standard output)")
        ->required();
    AddConnectionOptions(*b, backup->connection);
    b->add_flag("--no-logos", backup->noLogos, "save the settings alone");
    AddLogoFlags(*b, backup->logos);
    b->add_flag("--star", backup->logos.star, "the printer runs Star emulation");
    b->add_option("--center", backup->center,
                  "Auto Center Align Check: list positions of the logos to centre, e.g. \"1,3\" "
                  "(default: the marks stored with the list)");
    b->add_option("--timeout", backup->timeoutMs,
                  "how long to wait for the printer's replies, in ms (default 8000)")
        ->check(CLI::Range(100, 600000));

    auto restore = std::make_shared<RestoreOptions>();
    CLI::App* r = AddVerb(app, context, "restore",
                          "write a .kp70 backup's settings back and upload its logos",
                          [restore](Verb& verb) { return RunRestore(*restore, verb); });
    r->add_option("FILE", restore->file, "the backup file (IN.kp70)")->required();
    AddConnectionOptions(*r, restore->connection);
    r->add_flag("--yes", restore->yes,
                "replace what the printer holds without asking, and answer Yes to the "
                "setting rules' questions");
    r->add_flag("--skip-unavailable", restore->skipUnavailable,
                "leave out the settings this printer model does not have instead of refusing");
    r->add_option("--timeout", restore->timeoutMs,
                  "how long to wait for the printer's replies, in ms (default 8000)")
        ->check(CLI::Range(100, 600000));

    auto provision = std::make_shared<ProvisionOptions>();
    CLI::App* p = AddVerb(app, context, "provision",
                          "apply a .kp70 backup to many network printers, several at a time",
                          [provision](Verb& verb) { return RunProvision(*provision, verb); });
    p->add_option("FILE", provision->file, "the backup file (IN.kp70)")->required();
    p->add_option("--net", provision->nets, "a printer HOST[:PORT]; repeat for each printer");
    p->add_flag("--discover", provision->discover,
                "every printer that answers the discovery broadcast");
    p->add_option("--broadcast", provision->broadcast,
                  "where --discover broadcasts (default 255.255.255.255)");
    p->add_option("--device", provision->device,
                  "the DEVICE entry of the printers (default \"KP70 E-II\")");
    p->add_flag("--yes", provision->yes,
                "replace what the printers hold without asking, and answer Yes to the setting "
                "rules' questions");
    p->add_option("--jobs", provision->jobs, "how many printers at once (default 4)")
        ->check(CLI::Range(1, 256));
    p->add_flag("--json", provision->json, "write the final table as JSON");
    p->add_flag("--skip-unavailable", provision->skipUnavailable,
                "leave out the settings the printers' model does not have instead of refusing");
    p->add_option("--timeout", provision->timeoutMs,
                  "how long to wait for each printer's replies, in ms (default 8000)")
        ->check(CLI::Range(100, 600000));
}

}  // namespace kp70
