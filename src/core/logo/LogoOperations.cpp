#include "core/logo/LogoOperations.h"
#include "core/app/ModelCatalogue.h"

#include "core/app/CancelToken.h"
#include "core/app/Clock.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/NvCommands.h"
#include "core/transport/PrinterLink.h"

namespace kp70 {

namespace {

// How a button gets the printer ready, by port kind.
struct Preparation {
    int openFailMessage;  // when the link does not open
    bool openFailCode;    // the message carries the system's error code (19)
    MessageIcon openFailIcon;
    bool check;  // 1D 49 01
    bool init;   // 1B 40
    int initFailMessage;
    // Why the link did not open goes under the message in the box: a print file is one the
    // operator named, and may name another.
    bool openErrorShown = false;
};

constexpr MessageIcon kExcl = MessageIcon::Exclamation;

// Serial and USB, parallel, file, network.
Preparation UploadPreparation(Attachment kind) {
    switch (kind) {
        case Attachment::Ethernet:
            return {msg::kPortOpenError, false, MessageIcon::None, false, false, 0};
        case Attachment::Parallel:
            return {msg::kPortOpenError, false, kExcl, true, false, 0};
        case Attachment::File:
            return {msg::kOpenPortOrFile, true, kExcl, false, false, 0, true};
        default:
            return {msg::kOpenPortOrFile, true, kExcl, true, true, msg::kPrinterCheck};
    }
}

Preparation DeleteAllPreparation(Attachment kind) {
    switch (kind) {
        case Attachment::Ethernet:
            return {msg::kOpenPortOrFile, true, MessageIcon::None, false, false, 0};
        case Attachment::Parallel:
            return {msg::kPortOpenError, false, kExcl, true, false, 0};
        case Attachment::File:
            return {msg::kPortOpenError, false, kExcl, false, false, 0, true};
        default:
            return {msg::kPortOpenError, false, kExcl, true, true, msg::kPrinterStatusCheck};
    }
}

Preparation PrintPreparation(Attachment kind) {
    switch (kind) {
        case Attachment::Ethernet:
            return {msg::kPortOpenError, false, kExcl, false, false, 0};
        case Attachment::Parallel:
            return {msg::kPortOpenError, false, kExcl, true, false, 0};
        default:
            return {msg::kPortOpenError, false, kExcl, true, true, msg::kWriteToPort};
    }
}

bool Sent(PrinterLink& link, const Bytes& bytes, const CancelToken& cancel) {
    return link.Send(bytes, cancel).Complete(static_cast<int>(bytes.size()));
}

// Opens the link and checks and initialises the printer as the preparation says; the
// notice of the step that failed, and the link closed, when it does not come up.
bool Prepare(PrinterLink& link, const Preparation& p, const CancelToken& cancel,
             std::vector<Notice>& notices) {
    if (!link.Open(cancel)) {
        Notice notice = p.openFailCode ? Notice::WithValue(p.openFailMessage, link.LastErrorCode(),
                                                           p.openFailIcon)
                                       : Notice::Message(p.openFailMessage, p.openFailIcon);
        (p.openErrorShown ? notice.secondLine : notice.detail) = link.LastErrorText();
        notices.push_back(notice);
        link.Close();
        return false;
    }
    if (p.check && !CheckPrinter(link, cancel, notices)) {
        link.Close();
        return false;
    }
    if (p.init && !Sent(link, InitializePrinterCommand(), cancel)) {
        notices.push_back(Notice::Message(p.initFailMessage, kExcl));
        link.Close();
        return false;
    }
    return true;
}

std::unique_ptr<PrinterLink> LogoLinkOf(PrinterLinkFactory& links, int connectRounds = 10,
                                        int connectWaitMs = 50,
                                        std::vector<std::string> readFiles = {}) {
    LinkRequest request;
    request.toolMode = kToolModeLogo;
    request.connectRounds = connectRounds;
    request.connectWaitMs = connectWaitMs;
    request.readFiles = std::move(readFiles);
    return links.MakeLink(request);
}

OutcomeStatus StatusOf(bool failed, bool cancelled) {
    return failed      ? OutcomeStatus::Failed
           : cancelled ? OutcomeStatus::Cancelled
                       : OutcomeStatus::Done;
}

}  // namespace

bool CheckPrinter(PrinterLink& link, const CancelToken& cancel, std::vector<Notice>& notices) {
    if (!Sent(link, PrinterIdentityRequest(), cancel)) {
        notices.push_back(Notice::Message(msg::kWriteToPort, kExcl));
        return false;
    }
    return true;
}

bool PrintAvailable(const std::string& portName) {
    const Attachment kind = AttachmentOfPort(portName);
    return kind == Attachment::Serial || kind == Attachment::Parallel ||
           kind == Attachment::UsbPrinter || kind == Attachment::Ethernet;
}

bool NvMemoryTooSmall(int modelCode, const LogoList& list, const LogoOptions& options) {
    const int smallKB = models::SmallNvGraphicsKB(modelCode);
    if (smallKB <= 0) return false;
    std::int64_t sent = 0;
    for (const LogoEntry& entry : list.Entries())
        sent += SentSize(entry.width, entry.height, options.grayPrinting, entry.center,
                         options.maxPrintableArea);
    // In whole KBytes, as the sheet shows the list's size.
    return (sent + 1023) / 1024 > smallKB;
}

Outcome UploadLogos(PrinterLinkFactory& links, Clock& clock, ErrorLog* log, LogoList& list,
                    const LogoOptions& options, Profile* profile, const UploadCallbacks& callbacks,
                    const CancelToken& cancel, UploadResult* details) {
    Outcome outcome;
    // A list the printer cannot take, or a file gone or broken since it was listed, is
    // refused before the printer's stored logos are erased.
    if (std::optional<Notice> refused = CheckUpload(list, options, true)) {
        outcome.status = OutcomeStatus::Refused;
        outcome.notices.push_back(std::move(*refused));
        return outcome;
    }
    // A print file must not be one of the logos: opening it would empty it.
    std::vector<std::string> logos;
    for (const LogoEntry& entry : list.Entries()) logos.push_back(entry.path);
    const std::unique_ptr<PrinterLink> link = LogoLinkOf(links, 10, 50, std::move(logos));
    if (!Prepare(*link, UploadPreparation(link->Kind()), cancel, outcome.notices)) {
        outcome.status = OutcomeStatus::Failed;
        return outcome;
    }
    UploadResult upload = RunUpload(*link, clock, log, list, options, profile, callbacks, cancel);
    FinishUpload(*link, clock, upload, cancel);
    link->Close();
    if (profile && !upload.failed && !upload.cancelled && !upload.stored) {
        // The printer holds the new logos; Reset and the next opening would show the old
        // list as if it were theirs.
        const std::string problem = profile->WriteProblem();
        upload.notices.push_back(Notice::Literal(
            "The logos are in the printer, but the list could not be stored in " + profile->Path() +
                ": " + (problem.empty() ? std::string("the file could not be written") : problem) +
                ". Reset and the next opening show the list stored before; upload again once "
                "the file can be written.",
            MessageIcon::Exclamation));
    }
    outcome.notices.insert(outcome.notices.end(), upload.notices.begin(), upload.notices.end());
    outcome.count = upload.imagesSent;
    outcome.status = StatusOf(upload.failed, upload.cancelled);
    if (details) *details = std::move(upload);
    return outcome;
}

Outcome DeleteAllLogos(PrinterLinkFactory& links, Clock&, const CancelToken& cancel) {
    Outcome outcome;
    // One connection attempt, probed after 100 ms.
    const std::unique_ptr<PrinterLink> link = LogoLinkOf(links, 1, 100);
    if (!Prepare(*link, DeleteAllPreparation(link->Kind()), cancel, outcome.notices)) {
        outcome.status = OutcomeStatus::Failed;
        return outcome;
    }
    Delivery delivery;
    if (!Sent(*link, DeleteAllNvImagesCommand(), cancel) ||
        !(delivery = link->WaitDelivered(cancel)).Delivered()) {
        outcome = Outcome::Failure(Notice::Message(msg::kWriteToPort, kExcl));
        outcome.notices.back().detail = delivery.detail;
    }
    link->Close();
    return outcome;
}

Outcome PrintLogos(PrinterLinkFactory& links, Clock& clock, PrintRequest request,
                   const std::string& selection, const PrintCallbacks& callbacks,
                   const CancelToken& cancel, PrintResult* details) {
    Outcome outcome;
    const std::unique_ptr<PrinterLink> link = LogoLinkOf(links);
    if (!Prepare(*link, PrintPreparation(link->Kind()), cancel, outcome.notices)) {
        outcome.status = OutcomeStatus::Failed;
        return outcome;
    }
    if (!request.all) {
        if (!ValidateSelection(selection)) {
            // Nothing is printed; the operator corrects the text and tries again.
            outcome.status = OutcomeStatus::Refused;
            outcome.notices.push_back(Notice::Message(msg::kSelectionIncorrect, kExcl));
            link->Close();
            return outcome;
        }
        request.images = SelectedImages(ParseSelection(selection));
    }
    PrintResult print = RunPrint(*link, clock, request, callbacks, cancel);
    link->Close();
    outcome.notices.insert(outcome.notices.end(), print.notices.begin(), print.notices.end());
    outcome.count = print.printed;
    outcome.status = StatusOf(print.failed, print.cancelled);
    if (details) *details = std::move(print);
    return outcome;
}

}  // namespace kp70
