#pragma once

// The printer connection every kp70ctl verb that talks to a printer takes:
//
//   --device NAME   the DEVICE entry (default: "KP70 S", or the entry that fits the
//                   connection: "KP70 P" for a parallel port, "KP70 U-II" for --usb,
//                   "KP70 E-II" for --net); sets the model code as OK on the connection
//                   screen does
//   --port NAME     a serial or parallel port (/dev/ttyUSB0, /dev/lp0, a pty path), with
//                   --baud 115200|38400|19200|9600 --data 8|7|6|5 --parity none|odd|even
//                   --stop 1|2 --flow hw|sw|none, as the connection screen offers them
//                   (defaults: its first items)
//   --usb           the model's USB printer-class device
//   --net HOST[:PORT]  an Ethernet printer (port 6001 unless given)
//   --file PATH     print into a file instead of a printer
//
// A verb adds them with AddConnectionOptions and takes its printer with Verb::Choose
// (cli/Verb.h), which resolves them once (ResolveConnection: core's TypedConnection rules,
// no hardware needed) and gives the core sessions their links (CliLinks).

#include <cstdint>
#include <memory>
#include <string>

#include "core/app/ConnectionSettings.h"

namespace CLI {
class App;
}

namespace kp70 {

class CancelToken;
class ErrorLog;
class MessageCatalogue;
class PrinterLink;
class PrinterLinkFactory;
struct CliContext;
struct LinkRequest;

// The connection options as typed. The line settings stay as typed (empty when not
// given: the connection screen's first item); ResolveConnection checks them as the screen's
// lists do.
struct ConnectionOptions {
    std::string device;
    std::string port;
    std::string baud;
    std::string data;
    std::string parity;
    std::string stop;
    std::string flow;
    bool usb = false;
    std::string net;
    std::string file;
};

// Adds the connection options to a verb. The four connection kinds exclude each other, and
// the line settings are only accepted with --port.
void AddConnectionOptions(CLI::App& verb, ConnectionOptions& options);

// The printer the options name: the settings the connection screen's OK (and the network
// dialog's) would store, and for --file the file.
struct PrinterChoice {
    std::string deviceEntry;
    ConnectionSettings settings;  // portName "USB", "ETHERNET_II" or "FILE" for those kinds
    std::string filePath;         // --file

    bool IsNetwork() const { return settings.portName == "ETHERNET_II"; }
};

// Parses the options into a TypedConnection and resolves it as the connection screen and
// the network dialog resolve the same choice (ResolveTypedConnection), filling choice.
// False, with `why` (a usage error: exit status 2), when no connection or more than one was
// given, a port name is of no known kind, or the rules refuse the choice: --device names no
// known model (msg::kInvalidDevice), an entry the screen offers no connection for or a
// printer attached another way, a line setting the screen's list does not offer (OK's
// "not selected" messages in the order it checks them: --baud 230400, --baud 115200 for a
// TALVO10 entry, --data 5 with --stop 2), or --net's port is out of range
// (msg::kTcpPortRange).
bool ResolveConnection(const ConnectionOptions& options, PrinterChoice& choice,
                       const MessageCatalogue& catalogue, std::string& why);

// kp70ctl's way to the printer: the platform's port object (CPorts) and network socket,
// and the one link factory over them that every core session makes its links with.
// Transport log lines go to the context's error log (appended); the transport's own
// messages (receive queue overflow) go to the context's err stream.
class CliLinks {
public:
    explicit CliLinks(CliContext& context);
    ~CliLinks();
    CliLinks(const CliLinks&) = delete;
    CliLinks& operator=(const CliLinks&) = delete;

    // Takes the chosen printer. A USB printer is first searched for as the connection
    // screen does (up to 16 rounds 250 ms apart on the context's clock): none, or more than
    // one, gives UsbSearchMessage's message (false, with `why`).
    bool Choose(const PrinterChoice& choice, std::string& why);

    PrinterLinkFactory& Factory();
    ErrorLog& Log();
    const PrinterChoice& Choice() const { return m_choice; }

    // A link opened for a verb that talks to the printer itself: false, with `why`
    // (msg::kPortOpenError and what stood in the way, such as "/dev/ttyS0: permission
    // denied").
    std::unique_ptr<PrinterLink> OpenLink(const LinkRequest& request, const CancelToken& cancel,
                                          std::string& why);

private:
    struct Parts;
    CliContext& m_context;
    PrinterChoice m_choice;
    std::unique_ptr<Parts> m_parts;
};

}  // namespace kp70
