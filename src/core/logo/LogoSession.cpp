#include "core/logo/LogoSession.h"

#include "core/app/Clock.h"
#include "core/app/ConnectionSettings.h"
#include "core/logo/LogoLink.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "core/logo/LogoSelection.h"
#include "core/logo/NvCommands.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/PrinterPort.h"

namespace kp70 {

namespace {

LogoMessage Message(int number, MessageIcon icon) {
    return LogoMessage{number, icon};
}

LogoMessage MessageWithCode(int number, MessageIcon icon, int code) {
    LogoMessage message{number, icon};
    message.hasValue = true;
    message.value = code;
    return message;
}

PortKind KindOf(const LogoConnection& connection) {
    return PortKindOf(connection.port.Settings().portName);
}

// Opens the network link with the probe rounds; message 18 and the socket closed when it
// does not come up.
bool ConnectLink(LogoConnection& c, MessageIcon icon, std::vector<LogoMessage>& messages) {
    if (!c.network) {
        messages.push_back(Message(logomsg::kPortOpen, icon));
        messages.back().detail = "no network link";
        return false;
    }
    if (ConnectNetwork(*c.network, c.clock, c.networkAddress, c.networkPort)) return true;
    messages.push_back(Message(logomsg::kPortOpen, icon));
    messages.back().detail =
        "no connection to " + c.networkAddress + ":" + std::to_string(c.networkPort);
    c.network->CloseSocket();
    return false;
}

void PortOpenFailed(LogoConnection& c, LogoMessage message, std::vector<LogoMessage>& messages) {
    message.detail = c.port.LastErrorText();
    messages.push_back(message);
}

}  // namespace

bool CheckPrinter(LogoLink& link, std::vector<LogoMessage>& messages) {
    if (link.SendFails(PrinterIdentityRequest())) {
        messages.push_back(Message(logomsg::kWriteToPort, MessageIcon::Exclamation));
        return false;
    }
    return true;
}

bool NvMemoryTooSmall(int modelCode, std::int64_t usedKB) {
    return modelCode == 5 && usedKB > 128;
}

SessionResult UploadLogos(LogoConnection& c, LogoList& list, const LogoOptions& options,
                          Profile* profile, const UploadCallbacks& callbacks) {
    SessionResult result;
    const PortKind kind = KindOf(c);
    const bool network = kind == PortKind::Network;
    if (network) {
        if (!ConnectLink(c, MessageIcon::None, result.messages)) return result;
        LogoLink link(*c.network);
        result.upload = RunUpload(link, true, c.clock, c.log, list, options, profile, callbacks);
        FinishUpload(link, c.clock, result.upload);
        c.network->CloseSocket();
    } else {
        LogoLink link(c.port);
        if (kind == PortKind::Parallel) {
            c.port.Close();
            if (!c.port.Open()) {
                PortOpenFailed(c, Message(logomsg::kPortOpen, MessageIcon::Exclamation),
                               result.messages);
                return result;
            }
            if (!CheckPrinter(link, result.messages)) {
                c.port.Close();
                return result;
            }
        } else {
            if (!c.port.Open()) {
                PortOpenFailed(c,
                               MessageWithCode(logomsg::kOpenPortOrFile, MessageIcon::Exclamation,
                                               c.port.LastErrorCode()),
                               result.messages);
                return result;
            }
            if (kind != PortKind::File) {
                if (!CheckPrinter(link, result.messages)) {
                    c.port.Close();
                    return result;
                }
                if (link.SendFails(InitializePrinterCommand())) {
                    result.messages.push_back(
                        Message(logomsg::kPrinterCheck, MessageIcon::Exclamation));
                    c.port.Close();
                    return result;
                }
            }
        }
        result.upload = RunUpload(link, false, c.clock, c.log, list, options, profile, callbacks);
        FinishUpload(link, c.clock, result.upload);
        c.port.Close();
    }
    result.messages.insert(result.messages.end(), result.upload.messages.begin(),
                           result.upload.messages.end());
    result.ok = !result.upload.cancelled && !result.upload.failed;
    return result;
}

SessionResult DeleteAllLogos(LogoConnection& c) {
    SessionResult result;
    const PortKind kind = KindOf(c);
    if (kind == PortKind::Network) {
        if (!c.network) {
            result.messages.push_back(
                MessageWithCode(logomsg::kOpenPortOrFile, MessageIcon::None, 0));
            return result;
        }
        // One connection attempt and one probe after 100 ms.
        c.network->StartConnect(c.networkAddress, c.networkPort);
        c.clock.SleepFor(100);
        if (c.network->Send(nullptr, 0) != 0) {
            result.messages.push_back(MessageWithCode(logomsg::kOpenPortOrFile, MessageIcon::None,
                                                      c.network->LastErrorCode()));
            c.network->CloseSocket();
            return result;
        }
        LogoLink link(*c.network);
        link.Send(DeleteAllNvImagesCommand());  // not checked over the network
        c.network->CloseSocket();
        result.ok = true;
        return result;
    }

    LogoLink link(c.port);
    c.port.Close();
    if (!c.port.Open()) {
        PortOpenFailed(c, Message(logomsg::kPortOpen, MessageIcon::Exclamation), result.messages);
        return result;
    }
    if (kind != PortKind::File) {
        if (!CheckPrinter(link, result.messages)) {
            c.port.Close();
            return result;
        }
        if (kind != PortKind::Parallel && link.SendFails(InitializePrinterCommand())) {
            result.messages.push_back(
                Message(logomsg::kDeletePrinterCheck, MessageIcon::Exclamation));
            c.port.Close();
            return result;
        }
    }
    if (link.SendFails(DeleteAllNvImagesCommand())) {
        result.messages.push_back(Message(logomsg::kWriteToPort, MessageIcon::Exclamation));
    } else {
        result.ok = true;
    }
    c.port.Close();
    return result;
}

SessionResult PrintLogos(LogoConnection& c, PrintRequest request, const std::string& selection,
                         const PrintCallbacks& callbacks) {
    SessionResult result;
    const PortKind kind = KindOf(c);
    const bool network = kind == PortKind::Network;
    if (network) {
        if (!ConnectLink(c, MessageIcon::Exclamation, result.messages)) return result;
    } else {
        LogoLink link(c.port);
        if (!c.port.Open()) {
            PortOpenFailed(c, Message(logomsg::kPortOpen, MessageIcon::Exclamation),
                           result.messages);
            return result;
        }
        if (!CheckPrinter(link, result.messages)) {
            c.port.Close();
            return result;
        }
        if (kind != PortKind::Parallel && link.SendFails(InitializePrinterCommand())) {
            result.messages.push_back(Message(logomsg::kWriteToPort, MessageIcon::Exclamation));
            c.port.Close();
            return result;
        }
    }

    if (!request.all) {
        if (!ValidateSelection(selection)) {
            result.messages.push_back(
                Message(logomsg::kSelectionIncorrect, MessageIcon::Exclamation));
            if (!network) c.port.Close();
            return result;
        }
        const LogoSelection parsed = ParseSelection(selection);
        request.tokens = parsed.tokens;
        request.count = parsed.imageCount;
    }
    // The network socket stays open after printing: the network dialog owns it.
    LogoLink link = network ? LogoLink(*c.network) : LogoLink(c.port);
    result.print = RunPrint(link, c.clock, request, callbacks);
    result.messages.insert(result.messages.end(), result.print.messages.begin(),
                           result.print.messages.end());
    result.ok = !result.print.cancelled && !result.print.failed;
    if (!network) c.port.Close();
    return result;
}

}  // namespace kp70
