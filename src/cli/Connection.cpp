#include "cli/Connection.h"

#include <CLI/CLI.hpp>
#include <cctype>
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

// Whether a DEVICE entry attached as `kind` can be reached through a connection of
// `connection` kind. Entries whose ending says nothing (profile entries) fit anything.
bool EntryFits(InterfaceKind kind, PortKind connection) {
    switch (kind) {
        case kInterfaceSerial:
        case kInterfaceUsbSerial:
            return connection == PortKind::Serial || connection == PortKind::File;
        case kInterfaceParallel:
            return connection == PortKind::Parallel || connection == PortKind::File;
        case kInterfaceUsbPrinter:
            return connection == PortKind::Usb || connection == PortKind::File;
        case kInterfaceEthernet:
        case kInterfaceWifi:
            return connection == PortKind::Network;
        default:
            return true;
    }
}

const char* ConnectionFor(InterfaceKind kind) {
    switch (kind) {
        case kInterfaceSerial:
            return "a serial port: use --port NAME";
        case kInterfaceUsbSerial:
            return "a USB virtual serial port: use --port NAME";
        case kInterfaceParallel:
            return "a parallel port: use --port NAME";
        case kInterfaceUsbPrinter:
            return "USB: use --usb";
        case kInterfaceEthernet:
            return "Ethernet: use --net HOST[:PORT]";
        case kInterfaceWifi:
            return "WiFi: use --net HOST[:PORT]";
        default:
            return "an unknown interface";
    }
}

std::string DefaultEntry(PortKind kind) {
    switch (kind) {
        case PortKind::Parallel:
            return "KP70 P";
        case PortKind::Usb:
            return "KP70 U-II";
        case PortKind::Network:
            return "KP70 E-II";
        default:
            return "KP70 S";
    }
}

// HOST[:PORT] checked as the network dialog checks its address and port box; a host name
// may stand for the address here.
bool ParseNet(const std::string& text, ConnectionSettings& target,
              const MessageCatalogue& catalogue, std::string& why) {
    const auto colon = text.rfind(':');
    const std::string host = text.substr(0, colon);
    if (host.empty()) {
        why = "--net wants HOST[:PORT], for example 192.168.0.254 or 127.0.0.1:6001";
        return false;
    }
    const std::string portText =
        colon == std::string::npos ? std::to_string(kDefaultPrinterPort) : text.substr(colon + 1);
    const NetworkTarget checked = CheckNetworkTarget(host, portText, true);
    if (checked.refusal != NetworkRefusal::None) {
        const Notice notice = NetworkRefusalNotice(checked.refusal, catalogue.IsKorean());
        why = "--net " + text + ": " + TerminalText(catalogue.Text(notice));
        return false;
    }
    target.networkAddress = checked.address;
    target.networkPort = checked.port;
    return true;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// The option text that stands for an item of a line-setting list, and back: "--data 5" is
// "5 Bits", "--parity odd" "ODD", "--flow hw" "H/W"; baud rate and stop bit read the same.
std::string ItemFor(ChoiceList list, const std::string& typed) {
    switch (list) {
        case ChoiceList::DataLength:
            return typed + " Bits";
        case ChoiceList::Parity:
            return Upper(typed);
        case ChoiceList::FlowControl: {
            const std::string flow = Upper(typed);
            return flow == "HW" ? "H/W" : flow == "SW" ? "S/W" : flow;
        }
        default:
            return typed;
    }
}

std::string OptionTextFor(ChoiceList list, const std::string& item) {
    switch (list) {
        case ChoiceList::DataLength:
            return item.substr(0, item.find(' '));
        case ChoiceList::Parity:
            return Lower(item);
        case ChoiceList::FlowControl:
            return item == "H/W" ? "hw" : item == "S/W" ? "sw" : Lower(item);
        default:
            return item;
    }
}

// The line-setting options, in the order they go into the lists: data length before stop
// bit, whose list depends on it. Each with the message OK gives when its list has no
// selection.
struct LineOption {
    const char* name;
    std::string ConnectionOptions::*typed;
    ChoiceList list;
    int message;
};
constexpr LineOption kLineOptions[] = {
    {"--baud", &ConnectionOptions::baud, ChoiceList::Baudrate, msg::kBaudrateNotSelected},
    {"--data", &ConnectionOptions::data, ChoiceList::DataLength, msg::kDataLengthNotSelected},
    {"--parity", &ConnectionOptions::parity, ChoiceList::Parity, msg::kParityNotSelected},
    {"--stop", &ConnectionOptions::stop, ChoiceList::StopBit, msg::kStopBitNotSelected},
    {"--flow", &ConnectionOptions::flow, ChoiceList::FlowControl, msg::kFlowControlNotSelected},
};

// Puts the typed line settings into the connection screen's lists. A text a list does not
// hold leaves it without a selection, which OK then refuses with that list's message, as
// the screen would. A line setting left out keeps the list's first item.
void SelectLineSettings(const ConnectionOptions& options, ConnectionChoice& choice) {
    for (const LineOption& o : kLineOptions) {
        const std::string& typed = options.*o.typed;
        if (!typed.empty()) choice.SelectText(o.list, ItemFor(o.list, typed));
    }
}

// OK's message, followed by the option that caused it and what its list holds.
std::string RefusalText(int message, const ConnectionOptions& options,
                        const ConnectionChoice& choice, const MessageCatalogue& catalogue) {
    std::string text = TerminalText(catalogue.Message(message));
    for (const LineOption& o : kLineOptions) {
        if (o.message != message) continue;
        std::string accepted;
        for (const std::string& item : choice.List(o.list).items)
            accepted += (accepted.empty() ? "" : "|") + OptionTextFor(o.list, item);
        text += " (" + std::string(o.name) + " " + options.*o.typed + ": ";
        if (o.list == ChoiceList::Baudrate) {
            text += choice.entry() + " offers " + accepted;
        } else if (o.list == ChoiceList::StopBit) {
            text +=
                "--data " +
                OptionTextFor(ChoiceList::DataLength, choice.List(ChoiceList::DataLength).Text()) +
                " allows " + accepted;
        } else {
            text += "choose " + accepted;
        }
        text += ")";
    }
    return text;
}

// The kind of a --port name; a link (such as a pty link) is followed when its own name says
// nothing, and the port is then opened by the name it points to.
PortKind ResolvePortName(std::string& name) {
    const PortKind kind = PortKindOf(name);
    if (kind != PortKind::None) return kind;
    std::error_code ec;
    const auto target = std::filesystem::canonical(name, ec);
    if (ec) return PortKind::None;
    const PortKind targetKind = PortKindOf(target.string());
    if (targetKind == PortKind::Serial || targetKind == PortKind::Parallel) name = target.string();
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

    PrinterChoice result;
    std::string portName;
    PortKind kind = PortKind::None;
    if (!options.port.empty()) {
        portName = options.port;
        kind = ResolvePortName(portName);
        if (kind != PortKind::Serial && kind != PortKind::Parallel) {
            why = "--port " + options.port +
                  ": not a serial or parallel port (for example /dev/ttyS0, /dev/ttyUSB0, "
                  "/dev/lp0 or the virtual printer's /tmp/kp70sim/ttyKP70)";
            if (kind == PortKind::Usb) why = "for a USB printer use --usb instead of --port USB";
            if (kind == PortKind::File) why = "to print into a file use --file PATH";
            if (kind == PortKind::Network) why = "for an Ethernet printer use --net HOST[:PORT]";
            return false;
        }
    } else if (options.usb) {
        kind = PortKind::Usb;
    } else if (!options.net.empty()) {
        kind = PortKind::Network;
    } else {
        kind = PortKind::File;
    }

    // The entry as the connection screen takes it: PORT holds the port named outright.
    result.deviceEntry = options.device.empty() ? DefaultEntry(kind) : options.device;
    ConnectionChoice choice(portName);
    choice.ChooseDevice(result.deviceEntry);
    const std::string device = "--device " + result.deviceEntry + ": ";
    if (choice.modelCode() == models::kNoModel) {
        why = device + TerminalText(catalogue.Message(msg::kInvalidDevice));
        return false;
    }
    const InterfaceKind attached = choice.interfaceKind();
    if (attached == kInterfaceNone) {
        why = device +
              "the connection screen offers no connection for this entry (its name ends with "
              "S, P, U-I, U-II, E-II or W; TALVO10 printers have no USB printer interface)";
        return false;
    }
    if (!EntryFits(attached, kind)) {
        why = device + "attached by " + ConnectionFor(attached);
        return false;
    }

    ConnectionSettings& s = result.settings;
    if (kind == PortKind::File) {
        // No connection screen path leads here: the printer's model decides, the port is the
        // file (as the logo tool's print-to-file option does).
        s.portName = "FILE";
        s.modelCode = models::ClassifyAtOk(result.deviceEntry);
        result.filePath = options.file;
        target = std::move(result);
        return true;
    }

    if (!choice.List(ChoiceList::Baudrate).enabled) {
        for (const std::string* typed :
             {&options.baud, &options.data, &options.parity, &options.stop, &options.flow}) {
            if (!typed->empty()) {
                why =
                    "a parallel port has no line settings: leave out --baud, --data, "
                    "--parity, --stop and --flow";
                return false;
            }
        }
    }
    SelectLineSettings(options, choice);
    const OkStep ok = choice.Ok(s);
    if (!ok.notices.empty()) {
        why = RefusalText(ok.notices.front().number, options, choice, catalogue);
        return false;
    }
    if (ok.next == AfterOk::NetworkDialog) {
        // The network dialog's part: the address and TCP port, checked as it checks them.
        if (!ParseNet(options.net, result.settings, catalogue, why)) return false;
        choice.NetworkDialogEnded(s, true);
    }
    target = std::move(result);
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
    if (PortKindOf(choice.settings.portName) == PortKind::Usb && m_context.devices) {
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
