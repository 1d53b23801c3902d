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
#include <optional>
#include <random>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CliSetup.h"
#include "cli/Connection.h"
#include "core/app/AtomicFile.h"
#include "core/app/Clock.h"
#include "core/app/Profile.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/LogoSession.h"
#include "core/network/DiscoveryFrame.h"
#include "core/network/NetworkSettingSession.h"
#include "core/network/SetFrameChecks.h"
#include "core/service/Backup.h"
#include "core/service/BackupJob.h"
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
    bool gray = false;
    int diverging = 128;
    int area = 0;
    bool star = false;
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

// Asks the operator on the terminal; without one, prints the question and says that --yes
// answers it. True to go on.
bool Confirm(CliContext& context, const std::string& question, bool yes, const char* verb) {
    if (yes) return true;
    context.err << question << "\n";
    // Only the real program on a terminal is asked; runs with other streams (tests, scripts
    // that capture the output) are treated as having no terminal.
    if (!StdinIsTerminal() || &context.err != &std::cerr) {
        context.err << "kp70ctl " << verb << ": --yes answers Yes; nothing sent\n";
        return false;
    }
    context.err << "Continue? [y/N] " << std::flush;
    std::string answer;
    std::getline(std::cin, answer);
    if (answer == "y" || answer == "Y" || answer == "yes") return true;
    context.err << "kp70ctl " << verb << ": nothing sent\n";
    return false;
}

// A folder of its own under the system's temporary folder, removed when destroyed.
// A folder of its own under the system's temporary folder, removed with everything in it
// when the object goes. Path() is empty, and Problem() says why, when none can be made.
class WorkFolder {
public:
    WorkFolder() {
        std::error_code ec;
        const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) {
            const char* tmpdir = std::getenv("TMPDIR");
            m_problem = "no temporary folder for the logos (" + ec.message() +
                        (tmpdir ? std::string(", TMPDIR is '") + tmpdir + "'" : std::string()) +
                        "): set TMPDIR to a folder you can write to";
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
                        (ec ? ec.message() : std::string("every name tried was taken")) +
                        "; set TMPDIR to a folder you can write to";
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

bool LoadBackup(CliContext& context, const std::string& path, const char* verb, Backup& backup) {
    std::string data, why;
    if (!ReadTextFile(path, data, why) || !DecodeBackup(data, backup, why)) {
        context.err << "kp70ctl " << verb << ": " << path << ": " << why << "\n";
        return false;
    }
    return true;
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

// Restores onto one printer. Every word goes to context's streams.
RestoreReport RestoreOnto(CliContext& context, const PrinterChoice& target, const Backup& backup,
                          bool skipUnavailable, int timeoutMs, const AskOperator& ask,
                          const CancelToken& cancel, const RestoreCallbacks& callbacks) {
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
    Profile profile(context.profilePath);
    const bool korean = context.catalogue.IsKorean();
    const auto table = SettingTable(LoadReceiveBufferList(profile, korean));
    CliSetup link(context);
    if (!link.Open(target, cancel)) {
        report.status = cancel.Cancelled() ? OutcomeStatus::Cancelled : OutcomeStatus::Failed;
        report.error = "the printer could not be opened";
        return report;
    }

    RestoreRequest request;
    request.backup = &backup;
    request.table = &table;
    request.modelCode = target.settings.modelCode;
    request.korean = korean;
    request.skipUnavailable = skipUnavailable;
    request.readTimeoutMs = timeoutMs;
    request.workDir = work ? work->Path() : std::string();
    request.ask = ask;
    return RestoreBackup(link.Session(), link.Collector(), link.Links().Factory(),
                         &link.Links().Log(), *context.clock, request, cancel, callbacks);
}

AskOperator AnswerYes(CliContext& context, bool yes) {
    return [&context, yes](const Question& question) -> std::optional<bool> {
        if (!yes) return std::nullopt;
        context.err << TerminalText(question.text) << " Yes (--yes)\n";
        return true;
    };
}

// ---- backup ----

int RunBackup(const BackupOptions& o, CliContext& context) {
    PrinterChoice target;
    std::string why;
    if (!ResolveConnection(o.connection, target, context.catalogue, why)) {
        context.err << "kp70ctl backup: " << why << "\n";
        return kExitUsage;
    }
    if (!target.filePath.empty()) {
        context.err << "kp70ctl backup: a file cannot answer; give a printer connection\n";
        return kExitUsage;
    }
    const int modelCode = target.settings.modelCode;
    Profile profile(context.profilePath);
    const bool korean = context.catalogue.IsKorean();
    const auto table = SettingTable(LoadReceiveBufferList(profile, korean));

    // The printer cannot send its logos back: the backup takes the list the last complete
    // upload from this computer stored, with the conversion options given here.
    LogoList list;
    LogoOptions options;
    options.ResetToDefaults(modelCode);
    options.grayPrinting = o.gray;
    options.divergingPoint = o.diverging;
    if (o.area > 0) options.maxPrintableArea = o.area;
    options.starEmulation = o.star;
    if (!o.noLogos) {
        if (const std::string problem = profile.ReadProblem(); !problem.empty()) {
            context.err << "kp70ctl backup: the stored logo list cannot be read: " << problem
                        << "; nothing written (--no-logos backs up the settings alone)\n";
            return kExitFailed;
        }
        for (const Notice& notice : list.LoadStoredList(profile))
            context.err << NoticeText(context, notice) << "\n";
        if (list.FailedCount() > 0) {
            context.err << "kp70ctl backup: the stored logo list names files that cannot be "
                           "read; nothing written (--no-logos backs up the settings alone)\n";
            return kExitFailed;
        }
        if (!o.center.empty()) {
            if (!ValidateSelection(o.center)) {
                context.err << "kp70ctl backup: --center wants list positions such as \"1,3-4\"\n";
                return kExitUsage;
            }
            // The positions given replace the marks stored with the list.
            for (const LogoEntry& entry : list.Entries()) list.SetCenter(entry.number, false);
            const LogoSelection rows = ParseSelection(o.center);
            for (std::size_t i = 0; i < rows.tokens.size(); ++i) {
                int first = rows.tokens[i];
                int last = first;
                if (first > 256) {
                    first = last = first - 256;
                } else {
                    last = rows.tokens[++i];
                }
                for (int row = first; row <= last && row <= list.Count(); ++row)
                    list.SetCenter(list.Entries()[static_cast<std::size_t>(row - 1)].number, true);
            }
        }
    }

    Backup backup;
    backup.tool = KP70_VERSION_TEXT;
    backup.time = BackupTimeText(context.clock->LocalTime());
    backup.model = modelCode;
    backup.device = target.deviceEntry;
    if (!CollectLogos(list, options, backup, why)) {
        context.err << "kp70ctl backup: " << why << "; nothing written\n";
        return kExitFailed;
    }

    CliSetup link(context);
    if (!link.Open(target)) return kExitFailed;
    std::vector<Notice> notices;
    if (!ReadSettingsForBackup(link.Session(), link.Collector(), *context.clock, o.timeoutMs, table,
                               backup.settings, notices, why)) {
        for (const Notice& notice : notices) context.err << NoticeText(context, notice) << "\n";
        context.err << "kp70ctl backup: " << why << "; nothing written\n";
        return kExitFailed;
    }

    std::string file;
    if (!EncodeBackup(backup, file, why)) {
        context.err << "kp70ctl backup: " << why << "\n";
        return kExitFailed;
    }
    // "-" is standard output; a pipe or a device is written into; a file (or what a link
    // names) is replaced at once, so a failed write never leaves half a backup.
    const bool toStdout = o.file == "-";
    if (toStdout) {
        context.out.write(file.data(), static_cast<std::streamsize>(file.size()));
        context.out.flush();
        if (!context.out) {
            context.err << "kp70ctl backup: the backup could not be written to standard output\n";
            return kExitFailed;
        }
    } else if (const std::string failure = WriteOutputFile(o.file, file); !failure.empty()) {
        context.err << "kp70ctl backup: " << failure << "\n";
        return kExitFailed;
    }
    (toStdout ? context.err : context.out)
        << (toStdout ? "standard output" : o.file) << ": " << backup.settings.size()
        << " settings, " << backup.logos.size() << " logos\n";
    if (!o.noLogos && !backup.hasLogos)
        context.err << "no logo list stored in " << context.profilePath
                    << ": the backup holds the settings alone, and a restore leaves the "
                       "printer's logos as they are\n";
    return kExitDone;
}

// ---- restore ----

int RunRestore(const RestoreOptions& o, CliContext& context) {
    PrinterChoice target;
    std::string why;
    if (!ResolveConnection(o.connection, target, context.catalogue, why)) {
        context.err << "kp70ctl restore: " << why << "\n";
        return kExitUsage;
    }
    if (!target.filePath.empty()) {
        context.err << "kp70ctl restore: a file cannot answer the settings read; give a printer "
                       "connection\n";
        return kExitUsage;
    }
    Backup backup;
    if (!LoadBackup(context, o.file, "restore", backup)) return kExitFailed;
    if (!Confirm(context, RestoreQuestion(backup, "the printer"), o.yes, "restore"))
        return kExitUsage;

    InterruptCancels interrupt;
    RestoreCallbacks callbacks;
    int lastStep = 0;
    callbacks.uploadProgress = [&](const UploadProgress& p) {
        if (p.step != lastStep && p.step > 0) {
            lastStep = p.step;
            context.err << "image " << p.step << "/" << p.count << ": " << p.fileName << "\n";
        }
    };
    const RestoreReport report =
        RestoreOnto(context, target, backup, o.skipUnavailable, o.timeoutMs,
                    AnswerYes(context, o.yes), interrupt.Token(), callbacks);
    for (const Notice& notice : report.plan.notices)
        context.err << NoticeText(context, notice) << "\n";
    const bool written = report.settingsWritten > 0;
    for (const SettingRestoreItem& item : report.plan.items) {
        const char* word = item.status == SettingRestore::Write && !written
                               ? "not written"
                               : RestoreWord(item.status);
        context.out << std::left << std::setw(12) << word << std::setw(22) << item.name
                    << item.value << (item.note.empty() ? "" : "  (" + item.note + ")") << "\n";
    }
    if (!report.logosIncluded) {
        context.out << "logos: none in the backup; the printer's logos are left as they are\n";
    } else {
        context.out << "logos: " << report.logosStored << " of " << backup.logos.size()
                    << " stored\n";
    }
    for (const Notice& notice : report.notices) {
        if (notice.number == msg::kUploadComplete) continue;
        context.err << NoticeText(context, notice) << "\n";
    }
    if (!report.ok()) context.err << "kp70ctl restore: " << report.error << "\n";
    if (report.status == OutcomeStatus::Refused) return kExitUsage;
    if (report.status == OutcomeStatus::Cancelled) return kExitInterrupted;
    return report.ok() ? kExitDone : kExitFailed;
}

// ---- provision ----

bool Discover(const ProvisionOptions& o, CliContext& context, std::vector<std::string>& nets) {
    DatagramSocket sockets(*context.clock);
    NetworkSettingSession session(sockets, *context.clock, o.broadcast,
                                  static_cast<int>(kDiscoveryReceiveMs));
    const Outcome opened = session.Open();
    PrintNotices(context, opened);
    CancelToken never;
    const Outcome searched = session.Search(never, [&](const DiscoveredPrinter& printer) {
        nets.push_back(DottedText(printer.settings.address) + ":" +
                       std::to_string(printer.settings.port));
    });
    PrintNotices(context, searched);
    return opened.ok() && searched.ok();
}

std::string Seconds(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

int RunProvision(const ProvisionOptions& o, CliContext& context) {
    if (o.discover == !o.nets.empty()) {
        context.err << "kp70ctl provision: give the printers with --net ADDRESS (repeatable) or "
                       "find them with --discover\n";
        return kExitUsage;
    }
    if (o.discover && !ParseDottedAddress(o.broadcast)) {
        context.err << "kp70ctl provision: --broadcast wants a dotted IPv4 address such as "
                    << kDefaultBroadcastAddress << ", not '" << o.broadcast << "'\n";
        return kExitUsage;
    }
    // Every address is checked before anything is sent.
    std::vector<PrinterChoice> targets;
    std::vector<std::string> nets = o.nets;
    Backup backup;
    if (!LoadBackup(context, o.file, "provision", backup)) return kExitFailed;
    if (o.discover) {
        if (!Discover(o, context, nets)) return kExitFailed;
        if (nets.empty()) {
            context.err << "kp70ctl provision: no printer answered the search on " << o.broadcast
                        << "\n";
            return kExitFailed;
        }
    }
    std::vector<std::string> names;
    for (const std::string& net : nets) {
        ConnectionOptions connection;
        connection.net = net;
        connection.device = o.device;
        PrinterChoice target;
        std::string why;
        if (!ResolveConnection(connection, target, context.catalogue, why)) {
            context.err << "kp70ctl provision: " << net << ": " << why << "\n";
            return kExitUsage;
        }
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
            context.err << "kp70ctl provision: " << names[i]
                        << " is given more than once; it is provisioned once\n";
        }
    }
    targets = std::move(distinctTargets);
    names = std::move(distinctNames);
    if (!Confirm(context, RestoreQuestion(backup, std::to_string(targets.size()) + " printers"),
                 o.yes, "provision"))
        return kExitUsage;

    InterruptCancels interrupt;
    std::mutex outputMutex;
    const auto rows = RunInParallel(
        names, o.jobs, *context.clock, interrupt.Token(),
        [&](std::size_t index, const CancelToken& cancel) {
            // Each printer gets streams of its own: what its connection says ends in its row.
            std::ostringstream out, err;
            CliContext local{out,
                             err,
                             context.catalogue,
                             context.profilePath,
                             context.errorLogPath,
                             context.clock,
                             context.devices};
            std::ostringstream questions;
            CliContext asked{questions, questions,     context.catalogue, {},
                             {},        context.clock, context.devices};
            const RestoreReport report =
                RestoreOnto(local, targets[index], backup, o.skipUnavailable, o.timeoutMs,
                            AnswerYes(asked, o.yes), cancel, {});
            ProvisionRow row;
            row.settingsWritten = report.settingsWritten;
            row.logosStored = report.logosStored;
            row.status = report.ok() ? ProvisionRow::Status::Done
                         : report.status == OutcomeStatus::Cancelled
                             ? ProvisionRow::Status::Cancelled
                             : ProvisionRow::Status::Failed;
            if (!report.ok()) row.error = ErrorText(local, report, err.str());
            return row;
        },
        [&](const ProvisionRow& row) {
            std::lock_guard lock(outputMutex);
            context.err << row.printer << ": " << StatusText(row.status) << ", "
                        << row.settingsWritten << " settings written, " << row.logosStored
                        << " logos stored, " << Seconds(row.ms)
                        << (row.error.empty() ? "" : " - " + row.error) << "\n";
        });

    bool allDone = true;
    for (const ProvisionRow& row : rows)
        allDone = allDone && row.status == ProvisionRow::Status::Done;
    if (o.json) {
        context.out << "[";
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const ProvisionRow& r = rows[i];
            context.out << (i ? ",\n " : "") << "{\"printer\": " << JsonText(r.printer)
                        << ", \"settingsWritten\": " << r.settingsWritten
                        << ", \"logosStored\": " << r.logosStored
                        << ", \"status\": " << JsonText(StatusText(r.status))
                        << ", \"ms\": " << r.ms << ", \"error\": " << JsonText(r.error) << "}";
        }
        context.out << "]\n";
    } else {
        context.out << std::left << std::setw(22) << "printer" << std::setw(10) << "settings"
                    << std::setw(7) << "logos" << std::setw(13) << "status" << std::setw(9)
                    << "time"
                    << "error\n";
        for (const ProvisionRow& r : rows) {
            context.out << std::left << std::setw(22) << r.printer << std::setw(10)
                        << r.settingsWritten << std::setw(7) << r.logosStored << std::setw(13)
                        << StatusText(r.status) << std::setw(9) << Seconds(r.ms) << r.error << "\n";
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

void PrintPlanNotes(CliContext& context, const SettingsPlan& plan) {
    for (const SettingRestoreItem& item : plan.items) {
        if (item.status == SettingRestore::Write) continue;
        context.err << RestoreWord(item.status) << " " << item.name << "=" << item.value << ": "
                    << item.note << "\n";
    }
}

void AddServiceCommands(CLI::App& app, CliContext& context) {
    auto backup = std::make_shared<BackupOptions>();
    CLI::App* b = app.add_subcommand(
        "backup", "save the printer's settings and the stored logo list into one .kp70 file");
    b->add_option("FILE", backup->file,
                  "the backup file to write (OUT.kp70; - for standard output)")
        ->required();
    AddConnectionOptions(*b, backup->connection);
    b->add_flag("--no-logos", backup->noLogos, "save the settings alone");
    b->add_flag("--gray", backup->gray, "the logos are uploaded as 4-bit gray images");
    b->add_option("--diverging", backup->diverging,
                  "Black / White diverging point (0~255) for the logos, default 128")
        ->check(CLI::Range(0, 255));
    b->add_option("--area", backup->area, "Max Printable Area in dots (1~512) for the logos")
        ->check(CLI::Range(1, 512));
    b->add_flag("--star", backup->star, "the printer runs Star emulation");
    b->add_option("--center", backup->center,
                  "Auto Center Align Check: list positions of the logos to centre, e.g. \"1,3\" "
                  "(default: the marks stored with the list)");
    b->add_option("--timeout", backup->timeoutMs,
                  "how long to wait for the printer's replies, in ms (default 8000)")
        ->check(CLI::Range(100, 600000));
    b->callback([backup, &context] { context.exitCode = RunBackup(*backup, context); });

    auto restore = std::make_shared<RestoreOptions>();
    CLI::App* r =
        app.add_subcommand("restore", "write a .kp70 backup's settings back and upload its logos");
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
    r->callback([restore, &context] { context.exitCode = RunRestore(*restore, context); });

    auto provision = std::make_shared<ProvisionOptions>();
    CLI::App* p = app.add_subcommand(
        "provision", "apply a .kp70 backup to many network printers, several at a time");
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
    p->callback([provision, &context] { context.exitCode = RunProvision(*provision, context); });
}

}  // namespace kp70
