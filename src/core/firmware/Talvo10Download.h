#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"
#include "core/firmware/FlashPacket.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLink;
class PrinterLinkFactory;
class Profile;

// The download tool's actions, as the outcomes name them.
namespace talvo10 {
inline constexpr ActionSet kOk = 1u << 0;
inline constexpr ActionSet kOpen = 1u << 1;
inline constexpr ActionSet kCancel = 1u << 2;
}  // namespace talvo10

// After each packet on a port where no answer is waited for (parallel, USB, network, file)
// the tool pauses 50 ms, as the printer needs to take a packet into its flash.
inline constexpr std::int64_t kPacketPauseMs = 50;
// On a serial port each packet waits for the printer's DLE ACK or DLE NAK. A printer that
// says nothing for 10 s after a packet (or after the erase pauses) has stopped: the
// download ends with msg::kReadFail. A packet refused 16 times in a row ends it with
// msg::kCommunication.
inline constexpr std::int64_t kReplyTimeoutMs = 10000;
inline constexpr int kMaxRefusals = 16;
// Over the network the printer's answers are read after each packet's pause, and after the
// last packet once its bytes were acknowledged and this long has passed.
inline constexpr int kLastAnswerMs = 500;

// "Erasing" followed by 4 + step dots, after erase pause step (0..5).
std::string ErasingCaption(int step);
// "Writing...(%lX)" with the address of the next byte.
std::string WritingCaption(std::uint32_t position);

// The bytes of an area read from an image file, or why the file cannot feed it:
// msg::kNoExtendedFont when an Ext Font file holds "T15S" at 0x80000, msg::kNoMoreFiles (with the
// addresses in the detail) when the file ends before the area does.
struct FlashSlice {
    std::vector<std::uint8_t> bytes;  // end - start bytes when there is no refusal
    std::optional<Notice> refusal;
};
FlashSlice ReadFlashSlice(std::istream& file, FlashArea area, const std::string& fileName);

// What the download reports while it runs, on the thread that runs it. Each may be empty.
struct Talvo10Observer {
    std::function<void(const std::string& caption)> caption;
    // The bar's range: the area's start and end addresses.
    std::function<void(std::uint32_t start, std::uint32_t end)> range;
    std::function<void(std::uint32_t position)> progress;
};

// OK of the download tool of model code 2 (DownloadToolDialog), shared with kp70ctl firmware
// talvo10. Run opens the link (a serial port with its receive thread), writes "FWDN15"
// "FOLDER" and "FILE", checks the image file, sends the erase packet, waits the six erase
// pauses and sends the area's data packets: on a serial port each when the printer
// acknowledged the one before (DLE ACK; DLE NAK sends the same packet again), on every other
// port one after another with a 50 ms pause, since no answer is waited for there. Over the
// network the answers are still read after each pause: a packet the printer refused with
// DLE NAK is sent again. Each packet is judged only by the answers that came after it was
// sent.
//
// Outcomes: Done with msg::kCompleted and closeScreen when the area was sent and delivered (on a
// serial port: when the printer acknowledged the last packet); Failed with the message of
// the step that failed (2 or 18 the port or connection, 3 the file, 4 "T15S" in an Ext Font
// file, 43 a file that ends before the area does, 22 a write, 60 a printer that stopped
// answering, 42 a packet refused too often or a link that did not deliver the last
// packets), the link closed and OK offered again; Cancelled when the cancel stopped it
// between two packets or pauses, with firmwaretext::kErasedNotWritten once the erase packet
// went out. Nothing is erased unless the file holds the whole area.
class Talvo10Download {
public:
    Talvo10Download(PrinterLinkFactory& links, Clock& clock);
    ~Talvo10Download();
    Talvo10Download(const Talvo10Download&) = delete;
    Talvo10Download& operator=(const Talvo10Download&) = delete;

    Outcome Run(const std::string& path, FlashArea area, Profile* profile,
                const Talvo10Observer& observer, const CancelToken& cancel);

    // True once the erase packet of the download under way has gone out: a cancel from then
    // on leaves the area erased (a screen asks first). Any thread.
    bool Erased() const { return m_erased.load(); }

    // The tool ends: the link is closed if open.
    void Close();

private:
    enum class Wait { Ack, Nak, Silent, Cancelled };

    bool OpenLink(Outcome& failure, const CancelToken& cancel);
    // The send rule: what came before is forgotten, the packet goes out, then the pause
    // where no answer is waited for. False when the write failed.
    bool SendPacket(const FlashPacket& packet, std::uint32_t position,
                    const Talvo10Observer& observer, const CancelToken& cancel);
    // The answers received since the last look, parsed.
    std::deque<FlashReply> TakeAnswers();
    Wait WaitReply(const CancelToken& cancel);
    Outcome Cancelled();
    Outcome Failure(Notice notice);

    PrinterLinkFactory& m_links;
    Clock& m_clock;
    std::unique_ptr<PrinterLink> m_link;
    std::atomic<bool> m_erased{false};
    FlashReplyParser m_parser;
    std::vector<std::uint8_t> m_received;
};

}  // namespace kp70
