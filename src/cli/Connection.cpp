#include "cli/Connection.h"

#include <CLI/CLI.hpp>
#include <charconv>
#include <filesystem>
#include <ostream>

#include "cli/Cli.h"
#include "core/app/ErrorLog.h"
#include "core/app/ModelCatalogue.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/Notifier.h"
#include "core/transport/OutputFileAsker.h"
#include "platform/CPorts.h"
#include "platform/NetworkSocket.h"

namespace kp70 {

namespace {

constexpr const char* kNetworkPortName = "ETHERNET_II";

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

// The accepted TCP ports of a network printer: 1024..65534, and 515.
bool NetPortAccepted(int port) {
    return (port >= 1024 && port <= 65534) || port == 515;
}

bool ParseNet(const std::string& text, ConnectionTarget& target, const MessageCatalogue& catalogue,
              std::string& why) {
    const auto colon = text.rfind(':');
    target.host = text.substr(0, colon);
    target.netPort = kDefaultPrinterPort;
    if (target.host.empty()) {
        why = "--net wants HOST[:PORT], for example 192.168.0.254 or 127.0.0.1:6001";
        return false;
    }
    if (colon == std::string::npos) return true;
    const std::string portText = text.substr(colon + 1);
    int port = -1;
    const auto [end, ec] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (portText.empty() || ec != std::errc() || end != portText.data() + portText.size() ||
        !NetPortAccepted(port)) {
        why = "--net " + text + ": " + catalogue.Message(55);
        return false;
    }
    target.netPort = static_cast<std::uint16_t>(port);
    return true;
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
    verb.add_option("--baud", options.baud, "serial speed (default 115200)")
        ->check(CLI::IsMember({1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400}))
        ->needs(port)
        ->group(group);
    verb.add_option("--data", options.data, "data bits 8|7|6|5 (default 8)")
        ->check(CLI::IsMember({8, 7, 6, 5}))
        ->needs(port)
        ->group(group);
    verb.add_option("--parity", options.parity, "none|odd|even (default none)")
        ->check(CLI::IsMember({"none", "odd", "even"}))
        ->needs(port)
        ->group(group);
    verb.add_option("--stop", options.stop, "stop bits 1|2 (default 1)")
        ->check(CLI::IsMember({1, 2}))
        ->needs(port)
        ->group(group);
    verb.add_option("--flow", options.flow, "flow control hw|sw|none (default hw)")
        ->check(CLI::IsMember({"hw", "sw", "none"}))
        ->needs(port)
        ->group(group);
    auto* usb =
        verb.add_flag("--usb", options.usb, "the model's USB printer-class device")->group(group);
    auto* net = verb.add_option("--net", options.net,
                                "an Ethernet printer HOST[:PORT] (TCP port default 6001)")
                    ->group(group);
    auto* file = verb.add_option("--file", options.file, "print into the file PATH")->group(group);
    port->excludes(usb)->excludes(net)->excludes(file);
    usb->excludes(net)->excludes(file);
    net->excludes(file);
}

bool ResolveConnection(const ConnectionOptions& options, ConnectionTarget& target,
                       const MessageCatalogue& catalogue, std::string& why) {
    const int given = (options.port.empty() ? 0 : 1) + (options.usb ? 1 : 0) +
                      (options.net.empty() ? 0 : 1) + (options.file.empty() ? 0 : 1);
    if (given != 1) {
        why = given == 0 ? "say which printer to use: --port NAME, --usb, --net HOST[:PORT] or "
                           "--file PATH"
                         : "give only one of --port, --usb, --net and --file";
        return false;
    }

    ConnectionTarget result;
    ConnectionSettings& s = result.settings;
    PortKind kind = PortKind::None;
    if (!options.port.empty()) {
        s.portName = options.port;
        kind = ResolvePortName(s.portName);
        if (kind != PortKind::Serial && kind != PortKind::Parallel) {
            why = "--port " + options.port +
                  ": not a serial or parallel port (for example /dev/ttyS0, /dev/ttyUSB0, "
                  "/dev/lp0 or the virtual printer's /tmp/kp70sim/ttyKP70)";
            if (kind == PortKind::Usb) why = "for a USB printer use --usb instead of --port USB";
            if (kind == PortKind::File) why = "to print into a file use --file PATH";
            if (kind == PortKind::Network) why = "for an Ethernet printer use --net HOST[:PORT]";
            return false;
        }
        s.baudRate = options.baud;
        s.dataBits = options.data;
        s.parity = options.parity == "odd" ? 1 : options.parity == "even" ? 2 : 0;
        s.stopBits = options.stop == 2 ? 2 : 0;
        s.flowControl = options.flow == "sw" ? 2 : options.flow == "none" ? 3 : 1;
    } else if (options.usb) {
        kind = PortKind::Usb;
        s.portName = "USB";
    } else if (!options.net.empty()) {
        kind = PortKind::Network;
        s.portName = kNetworkPortName;
        if (!ParseNet(options.net, result, catalogue, why)) return false;
    } else {
        kind = PortKind::File;
        s.portName = "FILE";
        result.filePath = options.file;
    }

    result.deviceEntry = options.device.empty() ? DefaultEntry(kind) : options.device;
    s.modelCode = models::ClassifyAtOk(result.deviceEntry);
    const InterfaceKind attached = models::InterfaceKindOf(result.deviceEntry, s.modelCode);
    if (!options.device.empty() && !EntryFits(attached, kind)) {
        why = "--device " + options.device + " is attached by " + ConnectionFor(attached);
        return false;
    }
    target = std::move(result);
    return true;
}

struct PrinterConnection::Parts {
    Parts(CliContext& context, const std::string& filePath)
        : log(*context.clock),
          notifier(context.err, context.catalogue),
          fileAsker(filePath.empty() ? std::nullopt : std::optional<std::string>(filePath)),
          port(log, *context.clock, notifier, *context.devices, fileAsker),
          socket(*context.clock, notifier) {}

    ErrorLog log;
    StreamNotifier notifier;
    FixedOutputFileAsker fileAsker;
    CPorts port;
    NetworkSocket socket;
};

PrinterConnection::PrinterConnection(CliContext& context)
    : m_context(context), m_parts(std::make_unique<Parts>(context, "")) {}

PrinterConnection::~PrinterConnection() {
    Close();
}

bool PrinterConnection::Open(const ConnectionTarget& target, std::uint8_t toolMode,
                             std::string& why) {
    Close();
    // Fresh port objects each time: the file port takes its file name at construction.
    m_parts = std::make_unique<Parts>(m_context, target.filePath);
    if (!m_context.errorLogPath.empty()) {
        m_parts->log.Open(m_context.errorLogPath, ErrorLog::Mode::Append);
    }
    m_network = target.IsNetwork();
    const std::string message = m_context.catalogue.Message(18);
    if (m_network) {
        if (!ConnectNetwork(m_parts->socket, *m_context.clock, target.host, target.netPort)) {
            m_parts->socket.CloseSocket();
            why = message + " (no answer from " + target.host + ":" +
                  std::to_string(target.netPort) + ")";
            return false;
        }
        m_open = true;
        return true;
    }
    m_parts->port.Settings() = target.settings;
    m_parts->port.Settings().toolMode = toolMode;
    if (!m_parts->port.Open()) {
        const std::string detail = m_parts->port.LastErrorText();
        why = detail.empty() ? message : message + " (" + detail + ")";
        return false;
    }
    m_open = true;
    return true;
}

void PrinterConnection::Close() {
    if (!m_open) return;
    if (m_network) {
        m_parts->socket.CloseSocket();
    } else {
        m_parts->port.Close();
    }
    m_open = false;
}

PrinterPort& PrinterConnection::Port() {
    return m_parts->port;
}

NetworkLink& PrinterConnection::Network() {
    return m_parts->socket;
}

ErrorLog& PrinterConnection::Log() {
    return m_parts->log;
}

int PrinterConnection::Write(const std::uint8_t* data, int length) {
    if (!m_open) return 0;
    if (m_network) return std::max(m_parts->socket.Send(data, length), 0);
    return m_parts->port.Write(data, length);
}

ReceiveQueue& PrinterConnection::Replies() {
    return m_network ? m_parts->socket.Queue() : m_parts->port.QueueRead();
}

void PrinterConnection::ReadReplies() {
    if (m_open && !m_network && PortKindOf(m_parts->port.Settings().portName) == PortKind::Usb) {
        m_parts->port.ReadUsbReply();
    }
}

}  // namespace kp70
