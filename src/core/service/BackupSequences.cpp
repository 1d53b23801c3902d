#include "core/service/BackupSequences.h"
#include "core/app/ModelCatalogue.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/app/Clock.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOperations.h"
#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupSession.h"
#include "core/setup/WriteBlock.h"

namespace kp70 {

namespace {

// A printer on a serial line hears nothing for a few seconds after leaving user-setting
// mode while it resets; the upload that follows waits this long first. (The network write
// waits and reconnects on its own, the USB and parallel writes reopen after the reset.)
constexpr int kSerialResetWaitMs = 4000;

// "a, b, c": the table's names of the setting numbers, each once, in the table's order.
std::string NamesOf(const std::vector<Setting>& table, const std::vector<int>& numbers) {
    std::vector<std::string> names;
    for (const Setting& s : table) {
        if (std::find(numbers.begin(), numbers.end(), s.number) == numbers.end()) continue;
        if (std::find(names.begin(), names.end(), s.name) == names.end()) names.push_back(s.name);
    }
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return list;
}

bool ReadFile(const std::string& path, std::string& data) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

bool WriteFile(const std::string& path, const std::string& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    return static_cast<bool>(out);
}

RestoreReport Stop(RestoreReport report, OutcomeStatus status, std::string error) {
    report.status = status;
    report.error = std::move(error);
    return report;
}

}  // namespace

bool ReadSettingsForBackup(SetupSession& session, SettingsCollector& collector, Clock& clock,
                           int timeoutMs, const std::vector<Setting>& table,
                           std::vector<BackupSetting>& settings, std::vector<Notice>& notices,
                           std::string& why) {
    std::vector<int> missing;
    const Outcome outcome = CollectSettings(session, collector, clock, timeoutMs, missing);
    if (!outcome.ok() || !outcome.notices.empty()) {
        notices = outcome.notices;
        why = "the settings could not be read";
        return false;
    }
    if (!missing.empty()) {
        why = "no reply for: " + NamesOf(table, missing);
        return false;
    }
    const std::vector<int>& asked = session.ReadList();
    if (const std::vector<int> unclean = collector.Unclean(asked); !unclean.empty()) {
        why = "garbled reply for: " + NamesOf(table, unclean) + "; read again";
        return false;
    }
    const SetupValues values = collector.Values();
    settings.clear();
    for (const Setting& s : table) {
        if (std::find(asked.begin(), asked.end(), s.number) == asked.end()) continue;
        const std::string text = FormatSetting(s, values);
        if (text.empty() || text == "-") continue;
        settings.push_back({s.name, text});
    }
    return true;
}

bool CollectLogos(const LogoList& list, const LogoOptions& options, Backup& backup,
                  std::string& why) {
    backup.logos.clear();
    backup.hasLogos = list.Count() > 0;
    backup.gray = options.grayPrinting;
    backup.diverging = options.divergingPoint;
    backup.area = options.maxPrintableArea;
    backup.star = options.starEmulation;
    for (const int position : list.UploadOrder()) {
        const LogoEntry& entry = list.Entries()[static_cast<std::size_t>(position)];
        BackupLogo logo;
        logo.number = static_cast<int>(backup.logos.size()) + 1;
        logo.name = entry.name;
        logo.file = LogoEntryName(logo.number, entry.name);
        logo.center = entry.center;
        if (!ReadFile(entry.path, logo.data)) {
            why = "logo " + std::to_string(logo.number) + ": " + entry.path + " cannot be read";
            return false;
        }
        backup.logos.push_back(std::move(logo));
    }
    return true;
}

int SettingsPlan::WriteCount() const {
    return static_cast<int>(std::count_if(items.begin(), items.end(), [](const auto& item) {
        return item.status == SettingRestore::Write;
    }));
}

SettingsPlan PlanSettings(const std::vector<Setting>& table,
                          const std::vector<BackupSetting>& settings, SetupValues& values,
                          int modelCode, bool korean, bool refuseNotOnModel,
                          const AskOperator& ask) {
    SettingsPlan plan;
    for (const BackupSetting& s : settings) {
        if (!FindSetting(table, s.name)) {
            plan.items.push_back({s.name, s.value, SettingRestore::Refused, "no such setting"});
            plan.refused = true;
        }
    }
    for (const Setting& setting : table) {
        const auto given = std::find_if(
            settings.begin(), settings.end(),
            [&](const BackupSetting& b) { return FindSetting(table, b.name) == &setting; });
        if (given == settings.end()) continue;
        SettingRestoreItem item{setting.name, given->value, SettingRestore::Write, ""};
        int value = 0;
        std::string why;
        const SettingOffer offer = OfferOf(setting, values, modelCode, korean);
        if (!ParseSetting(setting, given->value, value, why)) {
            item.status = SettingRestore::Refused;
            item.note = why;
        } else if (offer == SettingOffer::NotOnModel) {
            item.status = refuseNotOnModel ? SettingRestore::Refused : SettingRestore::Kept;
            item.note = "model code " + std::to_string(modelCode) + " has no such setting";
        } else if (offer != SettingOffer::Offered) {
            item.status = SettingRestore::Kept;
            item.note = NotOfferedText(setting, offer, korean);
        } else {
            const ChangeOutcome change =
                ChangeSetting(values, setting, value, modelCode, korean, ask);
            plan.notices.insert(plan.notices.end(), change.notices.begin(), change.notices.end());
            plan.changed.insert(plan.changed.end(), change.changed.begin(), change.changed.end());
            if (change.status == ChangeStatus::Refused) {
                item.status = SettingRestore::Refused;
                item.note = change.unanswered ? "a rule asks a question; --yes answers Yes"
                                              : "the setting rules refuse it";
                plan.unanswered = plan.unanswered || change.unanswered;
            } else if (change.status == ChangeStatus::Declined) {
                item.status = SettingRestore::Kept;
                item.note = "declined";
            }
        }
        if (item.status == SettingRestore::Refused) plan.refused = true;
        plan.items.push_back(std::move(item));
    }
    return plan;
}

RestoreReport RestoreBackup(SetupSession& session, SettingsCollector& collector,
                            PrinterLinkFactory& links, ErrorLog* log, Clock& clock,
                            const RestoreRequest& request, const CancelToken& cancel,
                            const RestoreCallbacks& callbacks) {
    RestoreReport report;
    const Backup& backup = *request.backup;
    const std::vector<Setting>& table = *request.table;

    // The logos are checked before anything is written, so a list the printer cannot take
    // leaves the printer as it was.
    LogoList list;
    const LogoOptions options = backup.Options();
    report.logosIncluded = backup.hasLogos;
    if (backup.hasLogos) {
        if (options.grayPrinting && !LogoOptions::GrayOffered(request.modelCode))
            return Stop(
                report, OutcomeStatus::Refused,
                "the backup's logos are gray images, which this printer model cannot print");
        list.SetGrayPrinting(options.grayPrinting);
        std::error_code ec;
        std::filesystem::create_directories(request.workDir, ec);
        for (const BackupLogo& image : backup.logos) {
            const std::string name = LogoEntryName(image.number, image.name);
            const std::string path = request.workDir + "/" + name.substr(name.rfind('/') + 1);
            if (!WriteFile(path, image.data))
                return Stop(report, OutcomeStatus::Failed, "cannot unpack " + path);
            const AddBitmapResult added = list.AddBitmap(0, path);
            if (!added.accepted)
                return Stop(report, OutcomeStatus::Refused,
                            "logo " + std::to_string(image.number) + " (" + image.name +
                                "): " + added.reason);
            list.SetCenter(added.number, image.center);
        }
        if (const std::optional<Notice> refused = CheckUpload(list, options, false))
            return Stop(
                report, OutcomeStatus::Refused,
                "the logos do not fit the printer's NV graphics memory: " + refused->secondLine);
        if (NvMemoryTooSmall(request.modelCode, list, options))
            return Stop(report, OutcomeStatus::Refused,
                        "the logos need more than this printer model's " +
                            std::to_string(models::SmallNvGraphicsKB(request.modelCode)) +
                            " KB of NV graphics memory");
    }

    if (!backup.settings.empty()) {
        std::vector<int> missing;
        const Outcome read =
            CollectSettings(session, collector, clock, request.readTimeoutMs, missing, cancel);
        if (read.status == OutcomeStatus::Cancelled)
            return Stop(report, OutcomeStatus::Cancelled, "cancelled before the settings");
        if (!read.ok() || !read.notices.empty() || missing.size() == session.ReadList().size()) {
            report.notices = read.notices;
            return Stop(report, OutcomeStatus::Failed, "the printer's settings could not be read");
        }
        SetupValues values = collector.Values();
        const bool otherModel =
            backup.model != models::kNoModel && backup.model != request.modelCode;
        report.plan =
            PlanSettings(table, backup.settings, values, request.modelCode, request.korean,
                         otherModel && !request.skipUnavailable, request.ask);
        if (report.plan.refused) {
            std::string names;
            for (const SettingRestoreItem& item : report.plan.items)
                if (item.status == SettingRestore::Refused)
                    names += (names.empty() ? "" : ", ") + item.name;
            return Stop(report, OutcomeStatus::Refused, "refused: " + names + "; nothing written");
        }
        const WriteBlock block = BuildWriteBlock(values);
        // What the write carries beside the backup's settings must have come back clean.
        if (const std::vector<int> unclean =
                collector.UncleanForWrite(block.settings, report.plan.changed);
            !unclean.empty())
            return Stop(report, OutcomeStatus::Failed,
                        "no clean reply for: " + NamesOf(table, unclean) + "; nothing written");
        if (block.stopBitWarning) report.notices.push_back(StopBitWarning());
        if (cancel.Cancelled())
            return Stop(report, OutcomeStatus::Cancelled, "cancelled before the settings");
        const Outcome written = session.WriteSettings(block, cancel);
        report.notices.insert(report.notices.end(), written.notices.begin(), written.notices.end());
        if (written.status == OutcomeStatus::Cancelled)
            return Stop(report, OutcomeStatus::Cancelled, "cancelled while the settings were sent");
        if (!written.ok())
            return Stop(report, OutcomeStatus::Failed, "the settings could not be written");
        report.settingsWritten = report.plan.WriteCount();
        if (backup.hasLogos && session.Kind() == Attachment::Serial &&
            !SleepUnlessCancelled(clock, kSerialResetWaitMs, cancel))
            return Stop(report, OutcomeStatus::Cancelled, "cancelled before the logos");
    }
    // The logo tool opens the port in its own way.
    session.Close(false);

    if (!backup.hasLogos) return report;
    if (cancel.Cancelled())
        return Stop(report, OutcomeStatus::Cancelled, "cancelled before the logos");
    UploadCallbacks upload;
    upload.progress = callbacks.uploadProgress;
    const Outcome uploaded =
        list.Count() == 0 ? DeleteAllLogos(links, clock, cancel)
                          : UploadLogos(links, clock, log, list, options, nullptr, upload, cancel);
    report.notices.insert(report.notices.end(), uploaded.notices.begin(), uploaded.notices.end());
    if (uploaded.status == OutcomeStatus::Cancelled)
        return Stop(
            report, OutcomeStatus::Cancelled,
            "the upload was cancelled; the printer holds empty images in place of the rest");
    if (!uploaded.ok())
        return Stop(report, OutcomeStatus::Failed,
                    "the logos did not reach the printer completely");
    report.logosStored = list.Count();
    return report;
}

}  // namespace kp70
