#pragma once

#include <cstdint>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "core/app/Outcome.h"
#include "core/firmware/FirmwareImage.h"
#include "core/firmware/LastImage.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLink;
class PrinterLinkFactory;
class Profile;

// The F/W Update screen's actions (its buttons), as the outcomes name them.
namespace firmware {
inline constexpr ActionSet kDownload = 1u << 0;
inline constexpr ActionSet kFileOpen = 1u << 1;
inline constexpr ActionSet kExit = 1u << 2;
}  // namespace firmware

// How an area packet goes out. The printer never answers: the packet is sent in blocks, and
// the tool then waits while the printer writes its flash, longer for longer areas.
inline constexpr int kPortBlockSize = 2048;     // serial, parallel, USB and file ports
inline constexpr int kNetworkBlockSize = 4096;  // Ethernet and WiFi printers
// The progress bar runs from 0 to L + 20,480: the packet, then the settling steps.
inline constexpr std::uint32_t kProgressTail = 20480;
// Each settling step waits L / 10,240 ms: 16 steps after a port transfer (each moving the
// bar 1,280 on), 256 after a network transfer (80 each, the bar stopping at its end).
inline constexpr std::uint32_t kSettlingDivisor = 10240;
inline constexpr int kPortSettlingSteps = 16;
inline constexpr std::uint32_t kPortSettlingStride = 1280;
inline constexpr int kNetworkSettlingSteps = 256;
inline constexpr std::uint32_t kNetworkSettlingStride = 80;
// A network block the printer takes nothing of for 10 s ends the transfer with msg::kCommunication;
// a serial block that the port cannot write within its write time-out (100 ms per byte,
// 204.8 s for a full block) with msg::kPrinterNotReady; a block the parallel, USB or file port does
// not take with msg::kLptWriteError.

// The caption while a transfer runs: the title and " - %d %%" with p x 100 / (L + 20,480),
// p taken as the bar shows it (the bar stops at its maximum, so the caption at 100 %).
int ProgressPercent(std::uint32_t position, std::uint32_t packetLength);
std::string ProgressCaption(std::uint32_t position, std::uint32_t packetLength);

// What the transfer reports while it runs, on the thread that runs it. Each may be empty.
struct AreaDownloadObserver {
    // The packet is built: its checksum (CHECKSUM box) and length (the bar's range).
    std::function<void(std::uint16_t checksum, std::uint32_t packetLength)> packetBuilt;
    // The bar's position (and the caption's percentage).
    std::function<void(std::uint32_t position)> progress;
    // The last block went out: the bytes sent (FileSize box).
    std::function<void(std::uint32_t bytesSent)> sent;
};

// DOWNLOAD of the F/W Update screen, shared with kp70ctl firmware download. The screen (or
// the command line) calls, in order:
//
//   CheckFile  the profile keys, the file opened, its size       (no printer; quick)
//   AreaQuestion(area), asked by the caller; "No" ends here with CheckFile's actions
//   Send       re-open the port, build the packet, transfer, settle (waits: off the GUI thread)
//   Close      when the tool ends (also done by the destructor)
//
// Every outcome says which actions the screen offers afterwards, as the F/W Update screen
// leaves them after each failure: after a failure of the transfer itself DOWNLOAD and File
// Open stay off (EXIT only), except after a serial or network block that could not be
// delivered, where DOWNLOAD is offered again. msg::kUpdateComplete is returned only when the link
// delivered every byte of the packet (a network printer acknowledged them all, even if it
// closed the connection afterwards to restart) and the settling wait ran to its end.
class AreaDownload {
public:
    AreaDownload(PrinterLinkFactory& links, Clock& clock);
    ~AreaDownload();
    AreaDownload(const AreaDownload&) = delete;
    AreaDownload& operator=(const AreaDownload&) = delete;

    // Steps 1 to 4 of DOWNLOAD: writes "FWDN20" "FOLDER" and "FILE" (when a profile is
    // given), opens the file ("ERROR : File Open": the port is closed, DOWNLOAD and File
    // Open offered) and checks its size ("FileSize (%d bytes) Error!": only File Open
    // offered, until a file is chosen again). Done keeps the file open for Send and offers
    // File Open and EXIT, which is also the state after a "No" to the area question.
    Outcome CheckFile(const std::string& path, Profile* profile);

    // Steps 6 to 9 and the transfer, on the checked file: re-opens the port (not for the
    // network: msg::kInitFail), builds the packet (its failures close the port; DOWNLOAD offered
    // again), sends it in blocks, waits until the printer has taken it, closes the port or
    // socket, waits for the printer to write its flash and ends with msg::kUpdateComplete. A cancel
    // stops between two blocks or settling steps (a block the printer takes nothing of at
    // once), closes what was opened and returns Cancelled without a notice.
    Outcome Send(FirmwareArea area, const AreaDownloadObserver& observer,
                 const CancelToken& cancel);

    // The tool ends: the link of a transfer under way is closed.
    void Close();

    // The packet length of the last Send (0 before one).
    std::uint32_t PacketLength() const { return m_packetLength; }

private:
    Outcome Transfer(PrinterLink& link, const AreaPacket& packet,
                     const AreaDownloadObserver& observer, const CancelToken& cancel);
    // The failure of a block or of the delivery: the port kind's message, how far it got.
    Outcome TransferFailed(PrinterLink& link, std::uint32_t position, const std::string& detail,
                           int errorCode);
    // The settling steps; false when a cancel cut them short.
    bool Settle(int steps, std::uint32_t firstPosition, std::uint32_t stride,
                const AreaDownloadObserver& observer, const CancelToken& cancel);

    PrinterLinkFactory& m_links;
    Clock& m_clock;
    std::unique_ptr<PrinterLink> m_link;
    std::ifstream m_file;
    bool m_fileChecked = false;
    std::uint32_t m_packetLength = 0;
};

}  // namespace kp70
