// kp70ctl firmware: check an image file, send one flash area to a printer (the F/W Update
// screen's DOWNLOAD), and the TALVO10 printers' own download tool. The sequences are core's
// (AreaDownload, Talvo10Download), so the command line refuses, waits and reports exactly
// as the screens do.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "core/app/CancelToken.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/ModelCatalogue.h"
#include "core/app/Profile.h"
#include "core/firmware/AreaDownload.h"
#include "core/firmware/FirmwareImage.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/firmware/Talvo10Download.h"
#include "platform/ProgramEnvironment.h"

namespace kp70 {

namespace {

// The --area names, in the order of each screen's radio buttons.
const std::vector<std::string> kAreaNames = {"program", "ext-font", "lcd-font", "download", "boot"};
const std::vector<std::string> kFlashAreaNames = {"program", "ext-font", "boot", "font"};

int IndexOf(const std::vector<std::string>& names, const std::string& name) {
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

struct CheckOptions {
    std::string image;
    std::string device = "KP70 S";
    bool json = false;
};

struct DownloadOptions {
    std::string image;
    std::string area;
    bool service = false;
    bool yes = false;
    ConnectionOptions connection;
};

// Ctrl+C stops a download between two blocks (or packets) and closes the port; the printer
// is told nothing, so its flash keeps what it got (InterruptCancels).

// The real terminal: kp70ctl's own stderr on a terminal (never a test's stream).
bool ErrIsTerminal(const CliContext& context) {
    return &context.err == &std::cerr && StderrIsTerminal();
}

// Asks a Yes/No question on the terminal, or takes --yes for the answer. nullopt when it
// cannot be asked: no --yes and no terminal to ask on.
std::optional<bool> Ask(CliContext& context, const std::string& text, bool yes) {
    if (yes) {
        context.err << text << " Yes (--yes)\n";
        return true;
    }
    if (!ErrIsTerminal(context) || !StdinIsTerminal()) return std::nullopt;
    context.err << text << " [y/N] " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

// The percentage as the screen's caption shows it: in place on a terminal, one line per
// change otherwise.
class ProgressLine {
public:
    ProgressLine(CliContext& context, std::string title)
        : m_context(context), m_title(std::move(title)), m_inPlace(ErrIsTerminal(context)) {}
    ~ProgressLine() { End(); }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Show(const std::string& text) {
        if (text == m_last) return;
        m_last = text;
        if (m_inPlace) {
            m_context.err << "\r" << m_title << text << "\033[K" << std::flush;
            m_open = true;
        } else {
            m_context.err << m_title << text << "\n";
        }
    }
    void End() {
        if (m_open) m_context.err << "\n";
        m_open = false;
    }

private:
    CliContext& m_context;
    std::string m_title;
    bool m_inPlace;
    bool m_open = false;
    std::string m_last;
};

std::string Hex(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06X", static_cast<unsigned>(value));
    return text;
}

// The connection the options name, as the connection screen's choice would be used (a USB
// printer is searched for first); the sequences open it themselves.
bool Choose(CliContext& context, const PrinterChoice& choice, CliLinks& links, const char* verb) {
    std::string why;
    if (links.Choose(choice, why)) return true;
    context.err << "kp70ctl firmware " << verb << ": " << why << "\n";
    return false;
}

// ---- firmware check ----

int CheckTalvo10Image(const CheckOptions& o, int modelCode, CliContext& context) {
    std::ifstream file;
    if (!OpenImageFile(o.image, file)) {
        context.err << TerminalText(context.catalogue.Message(msg::kFileOpenError)) << " ("
                    << o.image << ")\n";
        return kExitFailed;
    }
    nlohmann::json areas = nlohmann::json::array();
    std::string table;
    for (int a = 0; a < kFlashAreaCount; ++a) {
        const FlashAreaInfo info = FlashAreaOf(static_cast<FlashArea>(a));
        file.clear();
        const FlashSlice slice = ReadFlashSlice(file, static_cast<FlashArea>(a), o.image);
        nlohmann::json row{{"area", kFlashAreaNames[static_cast<std::size_t>(a)]},
                           {"start", info.start},
                           {"end", info.end},
                           {"length", info.end - info.start}};
        char line[160];
        if (slice.refusal) {
            row["refused"] = NoticeText(context, *slice.refusal);
            std::snprintf(line, sizeof line, "%-9s %s  %s  %7u  refused: %s\n",
                          kFlashAreaNames[static_cast<std::size_t>(a)].c_str(),
                          Hex(info.start).c_str(), Hex(info.end).c_str(), info.end - info.start,
                          NoticeText(context, *slice.refusal).c_str());
        } else {
            std::uint32_t sum = 0;
            for (std::uint8_t b : slice.bytes) sum += b;
            row["checksum"] = ChecksumText(static_cast<std::uint16_t>(sum));
            std::snprintf(line, sizeof line, "%-9s %s  %s  %7u  %s\n",
                          kFlashAreaNames[static_cast<std::size_t>(a)].c_str(),
                          Hex(info.start).c_str(), Hex(info.end).c_str(), info.end - info.start,
                          ChecksumText(static_cast<std::uint16_t>(sum)).c_str());
        }
        table += line;
        areas.push_back(std::move(row));
    }
    file.clear();
    const std::int64_t size = FileSizeOf(file);
    if (o.json) {
        context.out << nlohmann::json{{"file", o.image},
                                      {"size", size},
                                      {"model", modelCode},
                                      {"device", o.device},
                                      {"areas", areas}}
                           .dump(2)
                    << "\n";
    } else {
        context.out << o.image << ": " << size << " bytes, TALVO10 image (" << o.device << ")\n"
                    << "area      start     end       length   checksum\n"
                    << table;
    }
    return kExitDone;
}

int RunCheck(const CheckOptions& o, CliContext& context) {
    const int modelCode = models::ClassifyAtOk(o.device);
    if (modelCode == models::kNoModel) {
        context.err << "kp70ctl firmware check: --device " << o.device << ": "
                    << TerminalText(context.catalogue.Message(msg::kInvalidDevice)) << "\n";
        return kExitUsage;
    }
    if (models::UsesTalvo10Download(modelCode)) return CheckTalvo10Image(o, modelCode, context);

    std::ifstream file;
    if (!OpenImageFile(o.image, file)) {
        context.err << firmwaretext::kFileOpenError << " (" << o.image << ")\n";
        return kExitFailed;
    }
    if (const auto wrongSize = CheckImageSize(FileSizeOf(file))) {
        context.err << NoticeText(context, *wrongSize) << "\n";
        return kExitFailed;
    }
    const LoadedImage image = LoadFirmwareImage(file);
    std::optional<Notice> failure = image.failure;
    if (!failure) failure = CheckSignature(image.bytes.data(), image.bytes.size());
    if (failure) {
        context.err << NoticeText(context, *failure) << "\n";
        return kExitFailed;
    }
    const std::uint8_t* bytes = image.bytes.data();
    const BootPermission boot = BootPermissionOf(bytes + kBootEnableOffset);
    const bool bootPermitted = boot == BootPermission::Permitted;
    const int bootByte = bytes[kBootEnableOffset];

    nlohmann::json areas = nlohmann::json::array();
    std::string table;
    for (int a = 0; a < kFirmwareAreaCount; ++a) {
        const auto area = static_cast<FirmwareArea>(a);
        if (!AreaAllowed(area, modelCode, true, bootPermitted)) continue;
        const AreaLayout layout = LayoutOf(area, modelCode);
        const std::string checksum =
            ChecksumText(AreaChecksum(bytes, image.bytes.size(), area, modelCode));
        const bool service = !AreaAllowed(area, modelCode, false, bootPermitted);
        char code[16];
        std::snprintf(code, sizeof code, "%02X %02X %02X %02X", layout.code[0], layout.code[1],
                      layout.code[2], layout.code[3]);
        areas.push_back({{"area", kAreaNames[static_cast<std::size_t>(a)]},
                         {"offset", layout.offset},
                         {"length", layout.length},
                         {"code", code},
                         {"checksum", checksum},
                         {"service", service}});
        char line[128];
        std::snprintf(line, sizeof line, "%-9s %s  %7u  %s  %-4s%s\n",
                      kAreaNames[static_cast<std::size_t>(a)].c_str(),
                      Hex(static_cast<std::uint32_t>(layout.offset)).c_str(), layout.length, code,
                      checksum.c_str(), service ? "  (service mode)" : "");
        table += line;
    }
    const char* bootText = bootPermitted ? "permitted" : "not permitted";
    if (o.json) {
        context.out << nlohmann::json{{"file", o.image},     {"size", image.bytes.size()},
                                      {"signature", "KVRN"}, {"bootEnable", bootByte},
                                      {"boot", bootText},    {"model", modelCode},
                                      {"device", o.device},  {"areas", areas}}
                           .dump(2)
                    << "\n";
    } else {
        context.out << o.image << ": " << image.bytes.size() << " bytes, signature KVRN, Boot area "
                    << bootText << " (boot enable byte " << bootByte << ")\n"
                    << "model code " << modelCode << " (" << o.device << ")\n"
                    << "area      offset    length    code         checksum\n"
                    << table;
    }
    return kExitDone;
}

// ---- firmware download ----

int RunDownload(const DownloadOptions& o, CliContext& context) {
    PrinterChoice target;
    std::string why;
    if (!ResolveConnection(o.connection, target, context.catalogue, why)) {
        context.err << "kp70ctl firmware download: " << why << "\n";
        return kExitUsage;
    }
    const int modelCode = target.settings.modelCode;
    if (models::UsesTalvo10Download(modelCode)) {
        context.err << "kp70ctl firmware download: TALVO10 printers get their firmware with "
                       "'kp70ctl firmware talvo10'\n";
        return kExitUsage;
    }
    const auto area = static_cast<FirmwareArea>(IndexOf(kAreaNames, o.area));
    const bool bootPermitted = ReadTrailer(o.image).permission == BootPermission::Permitted;
    if (!AreaAllowed(area, modelCode, o.service, bootPermitted)) {
        context.err << "kp70ctl firmware download: --area " << o.area << ": ";
        if (area == FirmwareArea::LcdFont) {
            context.err << "only KP70 and TALVO40 printers (model code 6) have an LCD font area\n";
        } else if (!o.service) {
            context.err << "the " << o.area << " area is a service function: add --service\n";
        } else {
            context.err << "the image does not permit the Boot area (its boot enable byte is "
                           "not 1..10)\n";
            return kExitFailed;
        }
        return kExitUsage;
    }

    CliLinks links(context);
    if (!Choose(context, target, links, "download")) return kExitFailed;
    Profile profile(context.profilePath);
    AreaDownload session(links.Factory(), *context.clock);
    Outcome outcome = session.CheckFile(o.image, &profile);
    if (outcome.status != OutcomeStatus::Done) {
        PrintNotices(context, outcome);
        return kExitFailed;
    }
    if (const auto question = AreaQuestion(area)) {
        const auto answer = Ask(context, NoticeText(context, *question), o.yes);
        if (!answer) {
            context.err << NoticeText(context, *question)
                        << " (kp70ctl firmware download asks this question; --yes answers Yes)\n";
            return kExitUsage;
        }
        if (!*answer) return kExitFailed;
    }

    InterruptCancels interrupt;
    ProgressLine progress(context, texts::kFirmwareTitle);
    std::uint32_t packetLength = 0;
    AreaDownloadObserver observer;
    observer.packetBuilt = [&](std::uint16_t checksum, std::uint32_t length) {
        packetLength = length;
        context.out << "CHECKSUM : " << ChecksumText(checksum) << "\n";
    };
    observer.progress = [&](std::uint32_t position) {
        char percent[32];
        std::snprintf(percent, sizeof percent, firmwaretext::kPercentFormat,
                      ProgressPercent(position, packetLength));
        progress.Show(percent);
    };
    observer.sent = [&](std::uint32_t bytes) {
        progress.End();
        context.out << "FileSize : " << bytes << " bytes\n";
    };
    outcome = session.Send(area, observer, interrupt.Token());
    progress.End();
    session.Close();
    if (outcome.status == OutcomeStatus::Done) {
        for (const Notice& notice : outcome.notices)
            context.out << NoticeText(context, notice) << "\n";
        return kExitDone;
    }
    PrintNotices(context, outcome);
    if (outcome.status == OutcomeStatus::Cancelled) {
        context.err << "kp70ctl firmware download: stopped; the area was not written in full\n";
        return kExitInterrupted;
    }
    return kExitFailed;
}

// ---- firmware talvo10 ----

int RunTalvo10(const DownloadOptions& o, CliContext& context) {
    PrinterChoice target;
    std::string why;
    if (!ResolveConnection(o.connection, target, context.catalogue, why)) {
        context.err << "kp70ctl firmware talvo10: " << why << "\n";
        return kExitUsage;
    }
    if (!models::UsesTalvo10Download(target.settings.modelCode)) {
        context.err << "kp70ctl firmware talvo10: the download tool is for TALVO10 printers: "
                       "give a TALVO10 entry with --device (\"TALVO10 S\", \"TALVO10 P\", ...)\n";
        return kExitUsage;
    }
    const auto area = static_cast<FlashArea>(IndexOf(kFlashAreaNames, o.area));
    const FlashAreaInfo info = FlashAreaOf(area);
    const std::string question = "Erase and write the printer's " + o.area + " area (" +
                                 Hex(info.start) + " .. " + Hex(info.end) + ")?";
    const auto answer = Ask(context, question, o.yes);
    if (!answer) {
        context.err << question << " (kp70ctl firmware talvo10 asks this; --yes answers Yes)\n";
        return kExitUsage;
    }
    if (!*answer) return kExitFailed;

    CliLinks links(context);
    if (!Choose(context, target, links, "talvo10")) return kExitFailed;
    Profile profile(context.profilePath);
    Talvo10Download session(links.Factory(), *context.clock);

    InterruptCancels interrupt;
    ProgressLine progress(context, "");
    Talvo10Observer observer;
    observer.caption = [&](const std::string& caption) { progress.Show(caption); };
    const Outcome outcome = session.Run(o.image, area, &profile, observer, interrupt.Token());
    progress.End();
    session.Close();
    if (outcome.status == OutcomeStatus::Done) {
        for (const Notice& notice : outcome.notices)
            context.out << NoticeText(context, notice) << "\n";
        return kExitDone;
    }
    PrintNotices(context, outcome);
    if (outcome.status == OutcomeStatus::Cancelled) {
        context.err << "kp70ctl firmware talvo10: stopped"
                    << (session.Erased() ? "; the area was erased and not written\n" : "\n");
        return kExitInterrupted;
    }
    return kExitFailed;
}

}  // namespace

void AddFirmwareCommands(CLI::App& app, CliContext& context) {
    CLI::App* firmware =
        app.add_subcommand("firmware", "check firmware images and send flash areas to a printer");
    firmware->require_subcommand(1);

    auto check = std::make_shared<CheckOptions>();
    CLI::App* c = firmware->add_subcommand(
        "check", "check an image file and show each area's length and checksum for a model");
    c->add_option("IMAGE", check->image, "the image file (*.SHC; for TALVO10 printers *.bin)")
        ->required();
    c->add_option("--device", check->device,
                  "the DEVICE entry whose model decides the areas (default \"KP70 S\")");
    c->add_flag("--json", check->json, "print the result as a JSON object");
    c->callback([check, &context] { context.exitCode = RunCheck(*check, context); });

    auto download = std::make_shared<DownloadOptions>();
    CLI::App* d = firmware->add_subcommand(
        "download", "send one flash area of an image, as the F/W Update screen's DOWNLOAD does");
    d->add_option("IMAGE", download->image, "the image file (*.SHC)")->required();
    d->add_option("--area", download->area, "program, ext-font, lcd-font, download or boot")
        ->required()
        ->check(CLI::IsMember(kAreaNames));
    d->add_flag("--service", download->service,
                "the service functions (Ctrl held on the screen): the download and boot areas");
    d->add_flag("--yes", download->yes, "answer Yes to the area's question");
    AddConnectionOptions(*d, download->connection);
    d->callback([download, &context] { context.exitCode = RunDownload(*download, context); });

    auto talvo10 = std::make_shared<DownloadOptions>();
    CLI::App* t = firmware->add_subcommand(
        "talvo10", "erase and write one flash area of a TALVO10 printer (its download tool)");
    t->add_option("IMAGE", talvo10->image, "the image file (*.bin)")->required();
    t->add_option("--area", talvo10->area, "program, ext-font, boot or font")
        ->required()
        ->check(CLI::IsMember(kFlashAreaNames));
    t->add_flag("--yes", talvo10->yes, "erase and write without asking");
    AddConnectionOptions(*t, talvo10->connection);
    t->callback([talvo10, &context] { context.exitCode = RunTalvo10(*talvo10, context); });
}

}  // namespace kp70
