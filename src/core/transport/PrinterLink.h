#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/transport/ParallelStatusFilter.h"

namespace kp70 {

class CancelToken;

// How one send ended. taken counts the bytes the system took, also when the send stopped
// part-way, so that nothing is sent twice and a failure can say how far it got.
enum class SendFault {
    None,       // every byte was taken
    NotOpen,    // the link is not open
    TimedOut,   // the printer took nothing within the port kind's write time-out
    Cancelled,  // the operator stopped it
    Lost,       // the link went: hang-up, device gone, connection closed or reset
    Failed,     // the system reported an error (error holds its code)
};

struct SendResult {
    int taken = 0;
    SendFault fault = SendFault::None;
    int error = 0;  // the system's error code, when there is one

    bool Complete(int length) const { return fault == SendFault::None && taken == length; }
};

// How the wait for delivery ended.
enum class DeliveryFault {
    None,       // the printer took every byte
    NotTaken,   // bytes were still unacknowledged (or in the driver) when the bound ran out
    Lost,       // the link went before the printer had taken the last bytes
    Cancelled,  // the operator stopped the wait
};

struct Delivery {
    DeliveryFault fault = DeliveryFault::None;
    std::string detail;  // what happened, in words: "not acknowledged within 10 s"

    bool Delivered() const { return fault == DeliveryFault::None; }
};

// What a tool wants of the link it asks for.
struct LinkRequest {
    // The tool's mode, as the main menu sets it. The user setup tool's parallel port is read
    // through its own parallel-port controller.
    std::uint8_t toolMode = kToolModeLogo;
    // The tool reads the printer's answers: a serial port runs its receive thread.
    bool replies = false;
    // Firmware images are binary: a serial port opens with flow control none, since XON/XOFF
    // would take every 0x11 and 0x13 of the image and a printer writing its flash drives no
    // handshake lines.
    bool binary = false;
    // A network printer is connected in this many rounds of a wait and a probe.
    int connectRounds = 10;
    int connectWaitMs = 50;
    // The files the transfer reads while it sends (an upload's logos): a print file that is
    // one of them is refused when the link opens, since opening it would empty it.
    std::vector<std::string> readFiles;
};

// One way to reach a printer, whatever is between: a serial, USB printer-class or file
// port, the parallel-port controller, or the TCP connection to a network printer. Every
// session reaches the printer through this interface and nothing else.
//
// The delivery rule: a send returns when the system has taken the bytes, which is not the
// printer having them. A transfer is done only when WaitDelivered says so; a session never
// reports success on the strength of its sends.
//
// Threads: Open, Send, WaitDelivered, RequestReplies and Close belong to the session's
// thread; TakeReplies may be called from one other thread (a receive thread) meanwhile.
class PrinterLink {
public:
    virtual ~PrinterLink() = default;

    // How the printer is attached. Known before the link opens.
    virtual Attachment Kind() const = 0;

    // Opens the port, or connects to the network printer (the probe rounds of the request).
    // False when it cannot; LastErrorText says why. Opening an open link opens it afresh,
    // except a print file, which keeps what was written to it.
    virtual bool Open(const CancelToken& cancel) = 0;
    virtual bool IsOpen() const = 0;
    // Makes sure the link still stands before a sequence that needs it: a network printer
    // that dropped the connection (it resets after each write) is probed and connected again
    // in up to ten rounds. Ports: whether they are open.
    virtual bool CheckConnection(const CancelToken& cancel) = 0;

    // Sends all of data, waiting while the printer takes nothing, up to the port kind's
    // write time-out; a cancel ends the wait within a slice (at most 50 ms).
    virtual SendResult Send(const std::uint8_t* data, int length, const CancelToken& cancel) = 0;
    SendResult Send(const std::vector<std::uint8_t>& bytes, const CancelToken& cancel) {
        return Send(bytes.data(), static_cast<int>(bytes.size()), cancel);
    }

    // True when the printer's answers can be read on this link (a serial port with its
    // receive thread, a USB printer, the parallel controller, the network).
    virtual bool CanAnswer() const = 0;
    // Asks for the printer's answer where it must be fetched: a USB printer's reply is read
    // back (up to four rounds of 100 ms), the parallel controller reads once more. Elsewhere
    // answers arrive by themselves. False when the reader cannot be started.
    virtual bool RequestReplies() { return true; }
    // Ends reading where a reader was started for it (the parallel controller's).
    virtual void StopReplies() {}
    // Appends what the printer sent since the last call; never waits.
    virtual void TakeReplies(std::vector<std::uint8_t>& bytes) = 0;
    // True while received bytes wait to be taken.
    virtual bool RepliesPending() const = 0;

    // The parallel port's printer reports its status by itself in 4-byte blocks, which the
    // controller keeps apart from its replies. The block that arrived since the last call
    // (a block equal to the last one counts too), if any.
    virtual bool ReportsStatusItself() const { return false; }
    virtual std::optional<StatusBlock> TakeStatusBlock() { return std::nullopt; }

    // The parallel controller's legacy mode (time-outs set on older systems), where the
    // printer's setting replies cannot be read. Never on this platform.
    virtual bool LegacyMode() const { return false; }

    // Whether the link still stands: open, the device not gone, the connection not closed.
    virtual bool StillUp() = 0;
    // Waits until the printer has taken every byte sent, within the port kind's bound: the
    // network's unacknowledged bytes at zero (a printer that then closed the connection had
    // them all), a serial or USB port's output drained, a file flushed to the disk; then the
    // link must still stand where a hang-up would have lost them.
    virtual Delivery WaitDelivered(const CancelToken& cancel) = 0;

    virtual void Close() = 0;

    // The system's error code of the last failure (for messages that show it), and a short
    // text saying what stood in the way: "/dev/ttyS0: permission denied".
    virtual int LastErrorCode() const = 0;
    virtual std::string LastErrorText() const = 0;
};

// Makes the links of the chosen printer: kp70tool's one factory over its port object and
// network socket, kp70ctl's over its own. Tests hand out fake links.
class PrinterLinkFactory {
public:
    virtual ~PrinterLinkFactory() = default;
    // The connection the links reach: the connection screen's choice (or kp70ctl's options).
    virtual ConnectionSettings& Settings() = 0;
    // A new link to that printer, not yet open.
    virtual std::unique_ptr<PrinterLink> MakeLink(const LinkRequest& request) = 0;
};

// "the port took K of M bytes", as a failed transfer tells how far it got.
std::string TakenText(std::int64_t taken, std::int64_t total, const char* who = "the port");

}  // namespace kp70
