#include "core/logo/LogoSession.h"

#include "core/app/Clock.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoLink.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/NvCommands.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

PortKind KindOf(const LogoConnection& connection) {
    return PortKindOf(connection.port.Settings().portName);
}

// Opens the network link with the probe rounds; message 18 and the socket closed when it
// does not come up.
bool ConnectLink(LogoConnection& c, MessageIcon icon, std::vector<Notice>& notices) {
    if (!c.network) {
        notices.push_back(Notice::Message(msg::kPortOpenError, icon));
        notices.back().detail = "no network link";
        return false;
    }
    if (ConnectNetwork(*c.network, c.clock, c.networkAddress, c.networkPort)) return true;
    notices.push_back(Notice::Message(msg::kPortOpenError, icon));
    notices.back().detail =
        "no connection to " + c.networkAddress + ":" + std::to_string(c.networkPort);
    c.network->CloseSocket();
    return false;
}

void PortOpenFailed(LogoConnection& c, Notice notice, std::vector<Notice>& notices) {
    notice.detail = c.port.LastErrorText();
    notices.push_back(std::move(notice));
}

// An outcome that ends here: Failed with the notices gathered so far.
Outcome Failed(Outcome outcome) {
    outcome.status = OutcomeStatus::Failed;
    return outcome;
}

}  // namespace

bool CheckPrinter(LogoLink& link, std::vector<Notice>& notices) {
    if (link.SendFails(PrinterIdentityRequest())) {
        notices.push_back(Notice::Message(msg::kWriteToPort, MessageIcon::Exclamation));
        return false;
    }
    return true;
}

bool PrintAvailable(const std::string& portName) {
    const PortKind kind = PortKindOf(portName);
    return kind == PortKind::Serial || kind == PortKind::Parallel || kind == PortKind::Usb ||
           kind == PortKind::Network;
}

bool NvMemoryTooSmall(int modelCode, std::int64_t usedKB) {
    return modelCode == 5 && usedKB > 128;
}

Outcome UploadLogos(LogoConnection& c, LogoList& list, const LogoOptions& options, Profile* profile,
                    const UploadCallbacks& callbacks, UploadResult* details) {
    Outcome outcome;
    UploadResult upload;
    const PortKind kind = KindOf(c);
    if (kind == PortKind::Network) {
        if (!ConnectLink(c, MessageIcon::None, outcome.notices)) return Failed(outcome);
        LogoLink link(*c.network);
        upload = RunUpload(link, true, c.clock, c.log, list, options, profile, callbacks);
        FinishUpload(link, c.clock, upload);
        c.network->CloseSocket();
    } else {
        LogoLink link(c.port);
        if (kind == PortKind::Parallel) {
            c.port.Close();
            if (!c.port.Open()) {
                PortOpenFailed(c, Notice::Message(msg::kPortOpenError, MessageIcon::Exclamation),
                               outcome.notices);
                return Failed(outcome);
            }
            if (!CheckPrinter(link, outcome.notices)) {
                c.port.Close();
                return Failed(outcome);
            }
        } else {
            if (!c.port.Open()) {
                PortOpenFailed(c,
                               Notice::WithValue(msg::kOpenPortOrFile, c.port.LastErrorCode(),
                                                 MessageIcon::Exclamation),
                               outcome.notices);
                return Failed(outcome);
            }
            if (kind != PortKind::File) {
                if (!CheckPrinter(link, outcome.notices)) {
                    c.port.Close();
                    return Failed(outcome);
                }
                if (link.SendFails(InitializePrinterCommand())) {
                    outcome.notices.push_back(
                        Notice::Message(msg::kPrinterCheck, MessageIcon::Exclamation));
                    c.port.Close();
                    return Failed(outcome);
                }
            }
        }
        upload = RunUpload(link, false, c.clock, c.log, list, options, profile, callbacks);
        FinishUpload(link, c.clock, upload);
        c.port.Close();
    }
    outcome.notices.insert(outcome.notices.end(), upload.notices.begin(), upload.notices.end());
    outcome.count = upload.imagesSent;
    outcome.status = upload.failed      ? OutcomeStatus::Failed
                     : upload.cancelled ? OutcomeStatus::Cancelled
                                        : OutcomeStatus::Done;
    if (details) *details = std::move(upload);
    return outcome;
}

Outcome DeleteAllLogos(LogoConnection& c) {
    Outcome outcome;
    const PortKind kind = KindOf(c);
    if (kind == PortKind::Network) {
        if (!c.network) {
            return Outcome::Failure(Notice::WithValue(msg::kOpenPortOrFile, 0));
        }
        // One connection attempt and one probe after 100 ms.
        c.network->StartConnect(c.networkAddress, c.networkPort);
        c.clock.SleepFor(100);
        if (c.network->Send(nullptr, 0) != 0) {
            outcome = Outcome::Failure(
                Notice::WithValue(msg::kOpenPortOrFile, c.network->LastErrorCode()));
            c.network->CloseSocket();
            return outcome;
        }
        LogoLink link(*c.network);
        if (link.SendFails(DeleteAllNvImagesCommand())) {
            outcome =
                Outcome::Failure(Notice::Message(msg::kWriteToPort, MessageIcon::Exclamation));
        }
        c.network->CloseSocket();
        return outcome;
    }

    LogoLink link(c.port);
    c.port.Close();
    if (!c.port.Open()) {
        PortOpenFailed(c, Notice::Message(msg::kPortOpenError, MessageIcon::Exclamation),
                       outcome.notices);
        return Failed(outcome);
    }
    if (kind != PortKind::File) {
        if (!CheckPrinter(link, outcome.notices)) {
            c.port.Close();
            return Failed(outcome);
        }
        if (kind != PortKind::Parallel && link.SendFails(InitializePrinterCommand())) {
            outcome.notices.push_back(
                Notice::Message(msg::kPrinterStatusCheck, MessageIcon::Exclamation));
            c.port.Close();
            return Failed(outcome);
        }
    }
    if (link.SendFails(DeleteAllNvImagesCommand())) {
        outcome = Outcome::Failure(Notice::Message(msg::kWriteToPort, MessageIcon::Exclamation));
    }
    c.port.Close();
    return outcome;
}

Outcome PrintLogos(LogoConnection& c, PrintRequest request, const std::string& selection,
                   const PrintCallbacks& callbacks, PrintResult* details) {
    Outcome outcome;
    const PortKind kind = KindOf(c);
    const bool network = kind == PortKind::Network;
    if (network) {
        if (!ConnectLink(c, MessageIcon::Exclamation, outcome.notices)) return Failed(outcome);
    } else {
        LogoLink link(c.port);
        if (!c.port.Open()) {
            PortOpenFailed(c, Notice::Message(msg::kPortOpenError, MessageIcon::Exclamation),
                           outcome.notices);
            return Failed(outcome);
        }
        if (!CheckPrinter(link, outcome.notices)) {
            c.port.Close();
            return Failed(outcome);
        }
        if (kind != PortKind::Parallel && link.SendFails(InitializePrinterCommand())) {
            outcome.notices.push_back(Notice::Message(msg::kWriteToPort, MessageIcon::Exclamation));
            c.port.Close();
            return Failed(outcome);
        }
    }

    if (!request.all) {
        if (!ValidateSelection(selection)) {
            // Nothing is printed; the operator corrects the text and tries again.
            outcome.status = OutcomeStatus::Refused;
            outcome.notices.push_back(
                Notice::Message(msg::kSelectionIncorrect, MessageIcon::Exclamation));
            if (!network) c.port.Close();
            return outcome;
        }
        const LogoSelection parsed = ParseSelection(selection);
        request.tokens = parsed.tokens;
        request.count = parsed.imageCount;
    }
    // The network socket stays open after printing: the network dialog owns it.
    LogoLink link = network ? LogoLink(*c.network) : LogoLink(c.port);
    PrintResult print = RunPrint(link, c.clock, request, callbacks);
    if (!network) c.port.Close();
    outcome.notices.insert(outcome.notices.end(), print.notices.begin(), print.notices.end());
    outcome.count = print.printed;
    outcome.status = print.failed      ? OutcomeStatus::Failed
                     : print.cancelled ? OutcomeStatus::Cancelled
                                       : OutcomeStatus::Done;
    if (details) *details = std::move(print);
    return outcome;
}

}  // namespace kp70
