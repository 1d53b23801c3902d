#include "cli/Connection.h"

#include <CLI/CLI.hpp>
#include <filesystem>
#include <ostream>

#include "cli/Cli.h"
#include "core/app/CancelToken.h"
#include "core/app/ErrorLog.h"
#include "core/app/ModelCatalogue.h"
#include "core/transport/ConnectionChoice.h"
#include "core/transport/Notifier.h"
#include "core/transport/OutputFileAsker.h"
#include "core/transport/PrinterLink.h"
#include "core/transport/TypedConnection.h"
#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemLinkFactory.h"

namespace kp70 {

namespace {

// The transport's own messages (receive queue overflow, a receive thread that cannot
// watch its port) on the command line: the catalogue text on stderr.
class StreamNotifier : public Notifier {
public:
    StreamNotifier(std::ostream& err, const MessageCatalogue& catalogue)
        : m_err(err), m_catalogue(catalogue) {}
    void ShowMessage(int n, const std::string& suffix) override {
        m_err << m_catalogue.Message(n) << suffix << "\n";
    }
    void ShowText(const std::string& text) override { m_err << text << "\n"; }

private:
    std::ostream& m_err;
    const MessageCatalogue& m_catalogue;
};

// How the entry's printer is attached, as the option that reaches it.
const char* ConnectionFor(Attachment kind) {
    switch (kind) {
        case Attachment::Serial:
            return "a serial port: use --port NAME";
        case Attachment::UsbSerial:
            return "a USB virtual serial port: use --port NAME";
        case Attachment::Parallel:
            return "a parallel port: use --port NAME";
        case Attachment::UsbPrinter:
            return "USB: use --usb";
        case Attachment::Ethernet:
            return "Ethernet: use --net HOST[:PORT]";
        case Attachment::Wifi:
            return "WiFi: use --net HOST[:PORT]";
        default:
            return "an unknown interface";
    }
}

// The line-setting options, in LineSetting's order.
struct LineOption {
    const char* name;
    std::string ConnectionOptions::*typed;
};
constexpr LineOption kLineOptions[kLineSettingCount] = {
    {"--baud", &ConnectionOptions::baud},     {"--data", &ConnectionOptions::data},
    {"--parity", &ConnectionOptions::parity}, {"--stop", &ConnectionOptions::stop},
    {"--flow", &ConnectionOptions::flow},
};

// What the resolution refused, said with the options that caused it.
std::string RefusalText(const TypedResolution& r, const ConnectionOptions& options,
                        const MessageCatalogue& catalogue) {
    const std::string device = "--device " + r.deviceEntry + ": ";
    switch (r.refusal) {
        case TypedRefusal::None:
            return "";
        case TypedRefusal::UnknownDevice:
            return device + TerminalText(catalogue.Message(msg::kInvalidDevice));
        case TypedRefusal::NoConnectionForEntry:
            return device +
                   "the connection screen offers no connection for this entry (its name ends "
                   "with S, P, U-I, U-II, E-II or W; TALVO10 printers have no USB printer "
                   "interface)";
        case TypedRefusal::AttachedOtherwise:
            return device + "attached by " + ConnectionFor(r.attached);
        case TypedRefusal::LineSettingsOnParallel:
            return "a parallel port has no line settings: leave out --baud, --data, --parity, "
                   "--stop and --flow";
        case TypedRefusal::Network:
            return "--net " + options.net + ": " +
                   TerminalText(
                       catalogue.Text(NetworkRefusalNotice(r.network, catalogue.IsKorean())));
        case TypedRefusal::LineSetting:
            break;
    }
    // OK's message, followed by the option that caused it and what its list holds.
    const LineOption& o = kLineOptions[static_cast<int>(r.refused)];
    std::string accepted;
    for (const std::string& item : r.offered) accepted += (accepted.empty() ? "" : "|") + item;
    std::string text =
        TerminalText(catalogue.Message(r.message)) + " (" + o.name + " " + options.*o.typed + ": ";
    if (r.refused == LineSetting::Baudrate) {
        text += r.deviceEntry + " offers " + accepted;
    } else if (r.refused == LineSetting::StopBit) {
        text += "--data " + r.dataLength + " allows " + accepted;
    } else {
        text += "choose " + accepted;
    }
    return text + ")";
}

// The kind of a --port name; a link (such as a pty link) is followed when its own name says
// nothing, and the port is then opened by the name it points to.
Attachment ResolvePortName(std::string& name) {
    const Attachment kind = AttachmentOfPort(name);
    if (kind != Attachment::None) return kind;
    std::error_code ec;
    const auto target = std::filesystem::canonical(name, ec);
    if (ec) return Attachment::None;
    const Attachment targetKind = AttachmentOfPort(target.string());
    if (targetKind == Attachment::Serial || targetKind == Attachment::Parallel)
        name = target.string();
    return targetKind;
}

}  // namespace

void AddConnectionOptions(CLI::App& verb, ConnectionOptions& options) {
    const std::string group = "Connection";
    verb.add_option("--device", options.device,
                    "the DEVICE entry (default \"KP70 S\", or the entry that fits the connection)")
        ->group(group);
    auto* port = verb.add_option("--port", options.port,
                                 "a serial or parallel port (/dev/ttyUSB0, /dev/lp0, a pty path)")
                     ->group(group);
    // The values are checked as the connection screen's lists check them (ConnectionChoice),
    // so a value the screen does not offer is refused with the screen's message.
    const struct {
        const char* name;
        std::string* value;
        const char* help;
    } lineOptions[] = {
        {"--baud", &options.baud,
         "serial speed 115200|38400|19200|9600 (default 115200; TALVO10 entries have no "
         "115200 and start at 38400)"},
        {"--data", &options.data, "data bits 8|7|6|5 (default 8)"},
        {"--parity", &options.parity, "none|odd|even (default none)"},
        {"--stop", &options.stop, "stop bits 1|2 (default 1; 5 data bits allow only 1)"},
        {"--flow", &options.flow, "flow control hw|sw|none (default hw)"},
    };
    for (const auto& o : lineOptions)
        verb.add_option(o.name, *o.value, o.help)->needs(port)->group(group);
    auto* usb =
        verb.add_flag("--usb", options.usb, "the model's USB printer-class device")->group(group);
    auto* net = verb.add_option("--net", options.net,
                                "an Ethernet printer HOST[:PORT] (TCP port 1024..65534 or 515, "
                                "default 6001)")
                    ->group(group);
    auto* file = verb.add_option("--file", options.file, "print into the file PATH")->group(group);
    port->excludes(usb)->excludes(net)->excludes(file);
    usb->excludes(net)->excludes(file);
    net->excludes(file);
}

bool ResolveConnection(const ConnectionOptions& options, PrinterChoice& target,
                       const MessageCatalogue& catalogue, std::string& why) {
    const int given = (options.port.empty() ? 0 : 1) + (options.usb ? 1 : 0) +
                      (options.net.empty() ? 0 : 1) + (options.file.empty() ? 0 : 1);
    if (given != 1) {
        why = given == 0 ? "say which printer to use: --port NAME, --usb, --net HOST[:PORT] or "
                           "--file PATH"
                         : "give only one of --port, --usb, --net and --file";
        return false;
    }

    std::string portName;
    Attachment kind = Attachment::None;
    if (!options.port.empty()) {
        portName = options.port;
        kind = ResolvePortName(portName);
        if (kind != Attachment::Serial && kind != Attachment::Parallel) {
            why = "--port " + options.port +
                  ": not a serial or parallel port (for example /dev/ttyS0, /dev/ttyUSB0, "
                  "/dev/lp0 or the virtual printer's /tmp/kp70sim/ttyKP70)";
            if (kind == Attachment::UsbPrinter)
                why = "for a USB printer use --usb instead of --port USB";
            if (kind == Attachment::File) why = "to print into a file use --file PATH";
            if (kind == Attachment::Ethernet) why = "for an Ethernet printer use --net HOST[:PORT]";
            return false;
        }
    } else if (options.usb) {
        kind = Attachment::UsbPrinter;
    } else if (!options.net.empty()) {
        kind = Attachment::Ethernet;
    } else {
        kind = Attachment::File;
    }

    TypedConnection typed;
    typed.device = options.device;
    typed.kind = kind;
    typed.port = portName;
    for (int i = 0; i < kLineSettingCount; ++i) typed.line[i] = options.*kLineOptions[i].typed;
    if (kind == Attachment::Ethernet) {
        // HOST[:PORT]; a host name may stand for the address.
        const auto colon = options.net.rfind(':');
        typed.host = options.net.substr(0, colon);
        if (typed.host.empty()) {
            why = "--net wants HOST[:PORT], for example 192.168.0.254 or 127.0.0.1:6001";
            return false;
        }
        if (colon != std::string::npos) typed.tcpPort = options.net.substr(colon + 1);
    }
    typed.file = options.file;

    const TypedResolution resolved = ResolveTypedConnection(typed);
    if (!resolved.ok()) {
        why = RefusalText(resolved, options, catalogue);
        return false;
    }
    target.deviceEntry = resolved.deviceEntry;
    target.settings = resolved.settings;
    target.filePath = resolved.filePath;
    return true;
}

struct CliLinks::Parts {
    Parts(CliContext& context, const std::string& filePath)
        : log(*context.clock),
          notifier(context.err, context.catalogue),
          fileAsker(filePath.empty() ? std::nullopt : std::optional<std::string>(filePath)),
          port(log, *context.clock, notifier, *context.devices, fileAsker),
          socket(*context.clock, notifier),
          factory(port, socket, log, *context.clock) {
        if (!context.errorLogPath.empty()) log.Open(context.errorLogPath, ErrorLog::Mode::Append);
    }

    ErrorLog log;
    StreamNotifier notifier;
    FixedOutputFileAsker fileAsker;
    CPorts port;
    NetworkSocket socket;
    SystemLinkFactory factory;
};

CliLinks::CliLinks(CliContext& context)
    : m_context(context), m_parts(std::make_unique<Parts>(context, "")) {}

CliLinks::~CliLinks() = default;

bool CliLinks::Choose(const PrinterChoice& choice, std::string& why) {
    m_choice = choice;
    // Fresh port objects: the file port takes its file name at construction.
    m_parts = std::make_unique<Parts>(m_context, choice.filePath);
    if (AttachmentOfPort(choice.settings.portName) == Attachment::UsbPrinter && m_context.devices) {
        // As choosing a USB printer entry on the connection screen does: exactly one of the
        // model's printers must be attached, looked for up to 16 times 250 ms.
        const int count = SearchUsbPrinters(*m_context.devices, *m_context.clock,
                                            models::ClassifyAtSelection(choice.deviceEntry),
                                            CancelToken::Never(), {}, &m_parts->log);
        const int notFound = UsbSearchMessage(count);
        if (notFound >= 0) {
            why = TerminalText(m_context.catalogue.Message(notFound));
            return false;
        }
    }
    m_parts->port.Settings() = choice.settings;
    return true;
}

PrinterLinkFactory& CliLinks::Factory() {
    return m_parts->factory;
}

ErrorLog& CliLinks::Log() {
    return m_parts->log;
}

std::unique_ptr<PrinterLink> CliLinks::OpenLink(const LinkRequest& request,
                                                const CancelToken& cancel, std::string& why) {
    std::unique_ptr<PrinterLink> link = Factory().MakeLink(request);
    if (link->Open(cancel)) return link;
    const std::string message = m_context.catalogue.Message(msg::kPortOpenError);
    const std::string detail = link->LastErrorText();
    why = detail.empty() ? message : message + " (" + detail + ")";
    return nullptr;
}

}  // namespace kp70
