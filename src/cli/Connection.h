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
// A verb uses it in three steps:
//
//   ConnectionOptions options;
//   AddConnectionOptions(*verb, options);                  // while building the command line
//   ...                                                    // in the verb's callback:
//   ConnectionTarget target;
//   std::string why;
//   if (!ResolveConnection(options, target, context.catalogue, why)) { ...kExitUsage }
//   PrinterConnection connection(context);
//   if (!connection.Open(target, kToolModeSetup, why)) { ...kExitFailed }
//   connection.Port() / connection.Network() ...          // hand to core sessions
//
// ResolveConnection needs no hardware; PrinterConnection opens the real port or socket.

#include <cstdint>
#include <memory>
#include <string>

#include "core/app/ConnectionSettings.h"
#include "core/transport/NetworkLink.h"

namespace CLI {
class App;
}

namespace kp70 {

class ErrorLog;
class MessageCatalogue;
class NetworkLink;
class PrinterPort;
class ReceiveQueue;
struct CliContext;

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

// The printer the options name: the settings the connection screen's OK would store, and
// for --net the address and TCP port, for --file the file.
struct ConnectionTarget {
    std::string deviceEntry;
    ConnectionSettings settings;  // portName "USB", "ETHERNET_II" or "FILE" for those kinds
    std::string host;             // --net
    std::uint16_t netPort = kDefaultPrinterPort;
    std::string filePath;  // --file

    bool IsNetwork() const { return settings.portName == "ETHERNET_II"; }
};

// Checks the options as the connection screen (ConnectionChoice) and the network dialog
// check the same choice, and fills target. False, with `why` (a usage error: exit status
// 2), when no connection or more than one was given, a port name is of no known kind,
// --device names no known model (message 9), an entry the screen offers no connection for
// or a printer attached another way, a line setting the screen's list does not offer
// (messages 5, 6, 7, 53, 8 in the order OK checks them: --baud 230400, --baud 115200 for
// a TALVO10 entry, --data 5 with --stop 2), or --net's port is out of range (message 55).
bool ResolveConnection(const ConnectionOptions& options, ConnectionTarget& target,
                       const MessageCatalogue& catalogue, std::string& why);

// An open printer connection for a verb: the platform's port object (CPorts) for serial,
// parallel, USB and file connections, or its network socket (NetworkSocket, connected with
// ConnectNetwork) for --net. Transport log lines go to the context's error log (appended);
// the transport's own messages (receive queue overflow) go to the context's err stream.
// Closes what it opened when destroyed. Needs the context's clock and device enumerator.
class PrinterConnection {
public:
    explicit PrinterConnection(CliContext& context);
    ~PrinterConnection();
    PrinterConnection(const PrinterConnection&) = delete;
    PrinterConnection& operator=(const PrinterConnection&) = delete;

    // Opens the target with the given tool mode (kToolModeSetup makes a serial port run its
    // receive thread, so replies arrive in Replies()). False, with `why` (the catalogue's
    // message 18 and what stood in the way, such as "/dev/ttyS0: permission denied"), when
    // it cannot be opened or the network printer does not answer the ten probe rounds. A
    // USB printer is first searched for as the connection screen does (up to 16 rounds
    // 250 ms apart on the context's clock): none gives message 10, more than one 11.
    bool Open(const ConnectionTarget& target, std::uint8_t toolMode, std::string& why);
    // Closes the port or socket; nothing when none is open.
    void Close();

    bool IsNetwork() const { return m_network; }
    // The port object (every kind but --net); also holds the settings that were opened.
    PrinterPort& Port();
    // The network socket (--net).
    NetworkLink& Network();
    ErrorLog& Log();

    // Writes the bytes on whichever link is open; the count written (0 on failure).
    int Write(const std::uint8_t* data, int length);
    // The queue the printer's replies arrive in: the port's m_QueueRead or the socket's.
    // For USB printers call ReadReplies first; parallel ports and files never answer here.
    ReceiveQueue& Replies();
    // Reads a USB printer's answer back into Replies(); nothing for other kinds.
    void ReadReplies();

private:
    struct Parts;
    CliContext& m_context;
    std::unique_ptr<Parts> m_parts;
    bool m_network = false;
    bool m_open = false;
};

}  // namespace kp70
