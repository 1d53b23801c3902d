#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/app/Outcome.h"
#include "core/logo/PrintJob.h"
#include "core/logo/UploadJob.h"

namespace kp70 {

class CancelToken;
class Clock;
class ErrorLog;
class LogoList;
class PrinterLink;
class PrinterLinkFactory;
class Profile;
struct LogoOptions;

// The logo tool's buttons. Each makes its own link to the printer (links.MakeLink), opens
// it as the port kind wants (parallel: open and check, no init; network: connect, neither
// check nor init; file: open only; serial and USB: open, check, 1B 40), runs the job and
// closes the link. Each returns an Outcome: Done when the operation ran to its end and the
// printer took every byte, Failed (open, check, a send the link did not take or a link that
// did not deliver), Cancelled when the operator stopped it, Refused for a selection that is
// not valid; the notices in the order they are shown (msg::kUploadComplete closes a complete
// upload); count = images uploaded or printed. The cancel ends the job between images, and a send
// the printer takes nothing of at once.

// The printer check: writes 1D 49 01. A failed write is msg::kWriteToPort. The reply is not used,
// so no wait is made for it (the logo tool runs no receive thread).
bool CheckPrinter(PrinterLink& link, const CancelToken& cancel, std::vector<Notice>& notices);

// True when the Print button may print over the port: serial, parallel, USB or network.
// A print file cannot hold stored logos to print.
bool PrintAvailable(const std::string& portName);

// True when a printer with only 128 KB of NV graphics memory (model code 5) cannot take
// the list: the data it would get (each image in the options' mode, with the blank columns
// of the centred ones) is over 128 KB. The caller shows logotext::kTalvo30Notice with the
// caption "Notice".
bool NvMemoryTooSmall(int modelCode, const LogoList& list, const LogoOptions& options);

// The Upload button with a non-empty list (after the operator confirmed msg::kUploadQuestion): run
// the upload, report. Refused, with nothing sent, when CheckUpload (with the files read
// again) refuses the list; a print file that is one of the logos does not open. After a
// complete upload whose list the profile could not take, a notice under msg::kUploadComplete says
// so. details, when given, receives the upload window's result.
Outcome UploadLogos(PrinterLinkFactory& links, Clock& clock, ErrorLog* log, LogoList& list,
                    const LogoOptions& options, Profile* profile, const UploadCallbacks& callbacks,
                    const CancelToken& cancel, UploadResult* details = nullptr);

// The Upload button with an empty list (after msg::kDeleteAllQuestion was confirmed): sends the
// delete-all command 1C 71 01 00 00 00 00 (msg::kWriteToPort when the link does not deliver it).
// A network printer gets one connection attempt, probed after 100 ms.
Outcome DeleteAllLogos(PrinterLinkFactory& links, Clock& clock, const CancelToken& cancel);

// The Print button: check a selection (msg::kSelectionIncorrect), print. selection is ignored when
// request.all is set. details, when given, receives the print window's result.
Outcome PrintLogos(PrinterLinkFactory& links, Clock& clock, PrintRequest request,
                   const std::string& selection, const PrintCallbacks& callbacks,
                   const CancelToken& cancel, PrintResult* details = nullptr);

}  // namespace kp70
