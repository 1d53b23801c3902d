#pragma once

// The sequences of backup, restore and provisioning, over the setup and logo tools' own
// sequences: a backup reads the settings as Get Value does; a restore reads the printer,
// applies the backup's settings with the setting rules, writes them as Set Value does and
// then uploads the logos as the logo tool's Upload does. Nothing here sends a byte of its
// own. The caller opens the setup connection (a started SetupSession), gives the link
// factory the logo upload makes its own link with, and asks the operator before a restore.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app/CancelToken.h"
#include "core/app/Outcome.h"
#include "core/logo/UploadJob.h"
#include "core/service/Backup.h"
#include "core/setup/SettingModel.h"

namespace kp70 {

class Clock;
class ErrorLog;
class LogoList;
class PrinterLinkFactory;
class SettingsCollector;
class SetupSession;

// ---- backup ----

// The printer's settings read by session (started) into rows of the setting table, in the
// table's order. False, with notices (the read's own) or `why`, when the read failed, a
// setting did not answer or came back garbled: a backup must hold what the printer holds.
bool ReadSettingsForBackup(SetupSession& session, SettingsCollector& collector, Clock& clock,
                           int timeoutMs, const std::vector<Setting>& table,
                           std::vector<BackupSetting>& settings, std::vector<Notice>& notices,
                           std::string& why);

// The logos of a list (the one the last complete upload stored) with their bitmap files'
// bytes, numbered 1..n in upload order. False, with `why`, when a file cannot be read.
bool CollectLogos(const LogoList& list, const LogoOptions& options, Backup& backup,
                  std::string& why);

// ---- settings of a backup onto values read from a printer ----

enum class SettingRestore {
    Write,    // the value goes into the write
    Kept,     // not written: the interface language or another setting's value rules it out
    Refused,  // the printer model has no such setting, or the value or a rule refuses it
};

struct SettingRestoreItem {
    std::string name;
    std::string value;
    SettingRestore status = SettingRestore::Write;
    std::string note;  // why it is kept or refused
};

struct SettingsPlan {
    std::vector<SettingRestoreItem> items;  // in the setting table's order
    std::vector<Notice> notices;            // what the rules said (questions, warnings)
    std::vector<int> changed;               // setting numbers the changes set
    bool refused = false;                   // something was refused: nothing may be written
    bool unanswered = false;                // refused because a rule's question was not answered
    int WriteCount() const;
};

// Applies the settings to values (read from the target printer) in the table's order with
// ChangeSetting and the model's and language's availability. A name the table does not
// know, a value it cannot read and a change the rules refuse are Refused by name. A setting
// the model does not have is Refused when refuseNotOnModel (the settings come from another
// model) and Kept otherwise (a printer of that model reports it all the same). Settings the
// language or another setting's value rule out are Kept.
SettingsPlan PlanSettings(const std::vector<Setting>& table,
                          const std::vector<BackupSetting>& settings, SetupValues& values,
                          int modelCode, bool korean, bool refuseNotOnModel,
                          const AskOperator& ask);

// ---- restore onto one printer ----

struct RestoreRequest {
    const Backup* backup = nullptr;
    const std::vector<Setting>* table = nullptr;
    int modelCode = 6;
    bool korean = false;
    // Settings of another model that this one does not have are left out instead of refusing
    // the restore.
    bool skipUnavailable = false;
    int readTimeoutMs = 8000;
    std::string workDir;  // where the logo bitmaps are unpacked for the upload
    AskOperator ask;      // the rules' questions
};

// What a restore did, item by item.
struct RestoreReport {
    OutcomeStatus status = OutcomeStatus::Done;
    SettingsPlan plan;
    int settingsWritten = 0;  // settings the write carried, 0 when nothing was written
    int logosStored = 0;      // images the printer holds from a complete upload
    bool logosIncluded = false;
    std::vector<Notice> notices;  // the sequences' own, in order
    std::string error;            // what went wrong, for a table

    bool ok() const { return status == OutcomeStatus::Done; }
};

struct RestoreCallbacks {
    std::function<void(const UploadProgress&)> uploadProgress;
};

// Reads the printer (session, started), plans and writes the settings, waits out the reset
// the write causes, then uploads the logos over a link of their own (links). A refused plan
// writes nothing and sends no logos. A cancel stops it where it stands: nothing is written
// after it. A logo upload that does not complete (a send failed, cancelled) reports no
// logos stored, since the printer's definition was padded with empty images.
RestoreReport RestoreBackup(SetupSession& session, SettingsCollector& collector,
                            PrinterLinkFactory& links, ErrorLog* log, Clock& clock,
                            const RestoreRequest& request, const CancelToken& cancel,
                            const RestoreCallbacks& callbacks = {});

}  // namespace kp70
