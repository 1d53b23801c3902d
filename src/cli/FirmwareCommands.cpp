// kp70ctl firmware: check an image file, send one flash area to a printer (the F/W Update
// screen's DOWNLOAD), and the TALVO10 printers' own download tool. The sequences are core's
// (AreaDownload, Talvo10Download), so the command line refuses, waits and reports exactly
// as the screens do.

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/Connection.h"
#include "cli/Verb.h"
#include "core/app/CancelToken.h"
#include "core/app/HexText.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/ModelCatalogue.h"
#include "core/app/Profile.h"
#include "core/firmware/AreaDownload.h"
#include "core/firmware/FirmwareImage.h"
#include "core/firmware/FirmwareTexts.h"
#include "core/firmware/Talvo10Download.h"

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

// The percentage as the screen's caption shows it: in place on a terminal, one line per
// change otherwise.
class ProgressLine {
public:
    ProgressLine(CliContext& context, std::string title)
        : m_context(context), m_title(std::move(title)), m_inPlace(context.stderrIsTerminal) {}
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

// ---- firmware check ----

int CheckTalvo10Image(const CheckOptions& o, int modelCode, Verb& verb) {
    CliContext& context = verb.Context();
    std::ifstream file;
    if (!OpenImageFile(o.image, file)) {
        verb.Tell(TerminalText(verb.Catalogue().Message(msg::kFileOpenError)) + " (" + o.image +
                  ")");
        verb.Stop(kExitFailed);
    }
    nlohmann::ordered_json areas = nlohmann::ordered_json::array();
    std::string table;
    for (int a = 0; a < kFlashAreaCount; ++a) {
        const FlashAreaInfo info = FlashAreaOf(static_cast<FlashArea>(a));
        file.clear();
        const FlashSlice slice = ReadFlashSlice(file, static_cast<FlashArea>(a), o.image);
        nlohmann::ordered_json row{{"area", kFlashAreaNames[static_cast<std::size_t>(a)]},
                                   {"start", info.start},
                                   {"end", info.end},
                                   {"length", info.end - info.start}};
        char line[160];
        if (slice.refusal) {
            row["refused"] = NoticeText(context, *slice.refusal);
            std::snprintf(line, sizeof line, "%-9s %s  %s  %7u  refused: %s\n",
                          kFlashAreaNames[static_cast<std::size_t>(a)].c_str(),
                          HexAddress(info.start, 6).c_str(), HexAddress(info.end, 6).c_str(),
                          info.end - info.start, NoticeText(context, *slice.refusal).c_str());
        } else {
            std::uint32_t sum = 0;
            for (std::uint8_t b : slice.bytes) sum += b;
            row["checksum"] = ChecksumText(static_cast<std::uint16_t>(sum));
            std::snprintf(line, sizeof line, "%-9s %s  %s  %7u  %s\n",
                          kFlashAreaNames[static_cast<std::size_t>(a)].c_str(),
                          HexAddress(info.start, 6).c_str(), HexAddress(info.end, 6).c_str(),
                          info.end - info.start,
                          ChecksumText(static_cast<std::uint16_t>(sum)).c_str());
        }
        table += line;
        areas.push_back(std::move(row));
    }
    file.clear();
    const std::int64_t size = FileSizeOf(file);
    if (o.json) {
        verb.Json(nlohmann::ordered_json{{"file", o.image},
                                         {"size", size},
                                         {"model", modelCode},
                                         {"device", o.device},
                                         {"areas", areas}});
    } else {
        context.out << TerminalText(o.image) << ": " << size << " bytes, TALVO10 image ("
                    << TerminalText(o.device) << ")\n"
                    << "area      start     end       length   checksum\n"
                    << table;
    }
    return kExitDone;
}

int RunCheck(const CheckOptions& o, Verb& verb) {
    CliContext& context = verb.Context();
    const int modelCode = models::ClassifyAtOk(o.device);
    if (modelCode == models::kNoModel)
        verb.Refuse("--device " + o.device + ": " +
                    TerminalText(verb.Catalogue().Message(msg::kInvalidDevice)));
    if (models::UsesTalvo10Download(modelCode)) return CheckTalvo10Image(o, modelCode, verb);

    std::ifstream file;
    if (!OpenImageFile(o.image, file)) {
        verb.Tell(std::string(firmwaretext::kFileOpenError) + " (" + o.image + ")");
        verb.Stop(kExitFailed);
    }
    if (const auto wrongSize = CheckImageSize(FileSizeOf(file))) {
        verb.Tell(*wrongSize);
        verb.Stop(kExitFailed);
    }
    const LoadedImage image = LoadFirmwareImage(file);
    std::optional<Notice> failure = image.failure;
    if (!failure) failure = CheckSignature(image.bytes.data(), image.bytes.size());
    if (failure) {
        verb.Tell(*failure);
        verb.Stop(kExitFailed);
    }
    const std::uint8_t* bytes = image.bytes.data();
    const BootPermission boot = BootPermissionOf(bytes + kBootEnableOffset);
    const bool bootPermitted = boot == BootPermission::Permitted;
    const int bootByte = bytes[kBootEnableOffset];

    nlohmann::ordered_json areas = nlohmann::ordered_json::array();
    std::string table;
    for (int a = 0; a < kFirmwareAreaCount; ++a) {
        const auto area = static_cast<FirmwareArea>(a);
        if (!AreaAllowed(area, modelCode, true, bootPermitted)) continue;
        const AreaLayout layout = LayoutOf(area, modelCode);
        const std::string checksum =
            ChecksumText(AreaChecksum(bytes, image.bytes.size(), area, modelCode));
        const bool service = !AreaAllowed(area, modelCode, false, bootPermitted);
        const std::string code = HexBytes(layout.code.data(), layout.code.size());
        areas.push_back({{"area", kAreaNames[static_cast<std::size_t>(a)]},
                         {"offset", layout.offset},
                         {"length", layout.length},
                         {"code", code},
                         {"checksum", checksum},
                         {"service", service}});
        char line[128];
        std::snprintf(line, sizeof line, "%-9s %s  %7u  %s  %-4s%s\n",
                      kAreaNames[static_cast<std::size_t>(a)].c_str(),
                      HexAddress(static_cast<std::uint32_t>(layout.offset), 6).c_str(),
                      layout.length, code.c_str(), checksum.c_str(),
                      service ? "  (service mode)" : "");
        table += line;
    }
    const char* bootText = bootPermitted ? "permitted" : "not permitted";
    if (o.json) {
        verb.Json(nlohmann::ordered_json{{"file", o.image},
                                         {"size", image.bytes.size()},
                                         {"signature", "KVRN"},
                                         {"bootEnable", bootByte},
                                         {"boot", bootText},
                                         {"model", modelCode},
                                         {"device", o.device},
                                         {"areas", areas}});
    } else {
        context.out << TerminalText(o.image) << ": " << image.bytes.size()
                    << " bytes, signature KVRN, Boot area " << bootText << " (boot enable byte "
                    << bootByte << ")\n"
                    << "model code " << modelCode << " (" << TerminalText(o.device) << ")\n"
                    << "area      offset    length    code         checksum\n"
                    << table;
    }
    return kExitDone;
}

// ---- firmware download ----

int RunDownload(const DownloadOptions& o, Verb& verb) {
    verb.AnswerYes(o.yes);
    const int modelCode = verb.Resolve(o.connection, PrinterNeed::Bytes).settings.modelCode;
    if (models::UsesTalvo10Download(modelCode))
        verb.Refuse("TALVO10 printers get their firmware with 'kp70ctl firmware talvo10'");
    const auto area = static_cast<FirmwareArea>(IndexOf(kAreaNames, o.area));
    const bool bootPermitted = ReadTrailer(o.image).permission == BootPermission::Permitted;
    if (!AreaAllowed(area, modelCode, o.service, bootPermitted)) {
        const std::string option = "--area " + o.area + ": ";
        if (area == FirmwareArea::LcdFont)
            verb.Refuse(option +
                        "only KP70 and TALVO40 printers (model code 6) have an LCD font area");
        if (!o.service)
            verb.Refuse(option + "the " + o.area + " area is a service function: add --service");
        verb.Fail(option +
                  "the image does not permit the Boot area (its boot enable byte is not 1..10)");
    }

    Profile profile(verb.Context().profilePath);
    AreaDownload session(verb.Links().Factory(), verb.Time());
    verb.Require(session.CheckFile(o.image, &profile));
    if (const auto question = AreaQuestion(area))
        verb.Confirm(NoticeText(verb.Context(), *question));

    ProgressLine progress(verb.Context(), texts::kFirmwareTitle);
    std::uint32_t packetLength = 0;
    AreaDownloadObserver observer;
    observer.packetBuilt = [&](std::uint16_t checksum, std::uint32_t length) {
        packetLength = length;
        verb.Result("CHECKSUM : " + ChecksumText(checksum));
    };
    observer.progress = [&](std::uint32_t position) {
        char percent[32];
        std::snprintf(percent, sizeof percent, firmwaretext::kPercentFormat,
                      ProgressPercent(position, packetLength));
        progress.Show(percent);
    };
    observer.sent = [&](std::uint32_t bytes) {
        progress.End();
        verb.Result("FileSize : " + std::to_string(bytes) + " bytes");
    };
    const Outcome outcome = session.Send(area, observer, verb.Cancel());
    progress.End();
    session.Close();
    if (outcome.status == OutcomeStatus::Cancelled)
        verb.Warn("stopped; the area was not written in full");
    return verb.Finish(outcome);
}

// ---- firmware talvo10 ----

int RunTalvo10(const DownloadOptions& o, Verb& verb) {
    verb.AnswerYes(o.yes);
    if (!models::UsesTalvo10Download(
            verb.Resolve(o.connection, PrinterNeed::Bytes).settings.modelCode))
        verb.Refuse(
            "the download tool is for TALVO10 printers: give a TALVO10 entry with --device "
            "(\"TALVO10 S\", \"TALVO10 P\", ...)");
    const auto area = static_cast<FlashArea>(IndexOf(kFlashAreaNames, o.area));
    const FlashAreaInfo info = FlashAreaOf(area);
    verb.Confirm("Erase and write the printer's " + o.area + " area (" + HexAddress(info.start, 6) +
                 " .. " + HexAddress(info.end, 6) + ")?");

    Profile profile(verb.Context().profilePath);
    Talvo10Download session(verb.Links().Factory(), verb.Time());
    ProgressLine progress(verb.Context(), "");
    Talvo10Observer observer;
    observer.caption = [&](const std::string& caption) { progress.Show(caption); };
    const Outcome outcome = session.Run(o.image, area, &profile, observer, verb.Cancel());
    progress.End();
    session.Close();
    if (outcome.status == OutcomeStatus::Cancelled)
        verb.Warn(std::string("stopped") +
                  (session.Erased() ? "; the area was erased and not written" : ""));
    return verb.Finish(outcome);
}

}  // namespace

void AddFirmwareCommands(CLI::App& app, CliContext& context) {
    CLI::App* firmware =
        app.add_subcommand("firmware", "check firmware images and send flash areas to a printer");
    firmware->require_subcommand(1);

    auto check = std::make_shared<CheckOptions>();
    CLI::App* c =
        AddVerb(*firmware, context, "check",
                "check an image file and show each area's length and checksum for a model",
                [check](Verb& verb) { return RunCheck(*check, verb); });
    c->add_option("IMAGE", check->image, "the image file (*.SHC; for TALVO10 printers *.bin)")
        ->required();
    c->add_option("--device", check->device,
                  "the DEVICE entry whose model decides the areas (default \"KP70 S\")");
    c->add_flag("--json", check->json, "print the result as a JSON object");

    auto download = std::make_shared<DownloadOptions>();
    CLI::App* d =
        AddVerb(*firmware, context, "download",
                "send one flash area of an image, as the F/W Update screen's DOWNLOAD does",
                [download](Verb& verb) { return RunDownload(*download, verb); });
    d->add_option("IMAGE", download->image, "the image file (*.SHC)")->required();
    d->add_option("--area", download->area, "program, ext-font, lcd-font, download or boot")
        ->required()
        ->check(CLI::IsMember(kAreaNames));
    d->add_flag("--service", download->service,
                "the service functions (Ctrl held on the screen): the download and boot areas");
    d->add_flag("--yes", download->yes, "answer Yes to the area's question");
    AddConnectionOptions(*d, download->connection);

    auto talvo10 = std::make_shared<DownloadOptions>();
    CLI::App* t = AddVerb(*firmware, context, "talvo10",
                          "erase and write one flash area of a TALVO10 printer (its download tool)",
                          [talvo10](Verb& verb) { return RunTalvo10(*talvo10, verb); });
    t->add_option("IMAGE", talvo10->image, "the image file (*.bin)")->required();
    t->add_option("--area", talvo10->area, "program, ext-font, boot or font")
        ->required()
        ->check(CLI::IsMember(kFlashAreaNames));
    t->add_flag("--yes", talvo10->yes, "erase and write without asking");
    AddConnectionOptions(*t, talvo10->connection);
}

}  // namespace kp70
