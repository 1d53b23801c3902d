#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"
#include "core/firmware/FirmwareLinks.h"
#include "core/firmware/FlashPacket.h"
#include "core/transport/Notifier.h"

namespace kp70 {

class CancelToken;
class Clock;
class Profile;

// The download tool's actions, as the outcomes name them.
namespace talvo10 {
inline constexpr ActionSet kOk = 1u << 0;
inline constexpr ActionSet kOpen = 1u << 1;
inline constexpr ActionSet kCancel = 1u << 2;
}  // namespace talvo10

// After each packet on a port that cannot answer (parallel, USB, network, file) the tool
// pauses 50 ms, as the printer needs to take a packet into its flash.
inline constexpr std::int64_t kPacketPauseMs = 50;
// On a serial port each packet waits for the printer's DLE ACK or DLE NAK. A printer that
// says nothing for 10 s after a packet (or after the erase pauses) has stopped: the
// download ends with message 60. A packet refused 16 times in a row ends it with message 42.
inline constexpr std::int64_t kReplyTimeoutMs = 10000;
inline constexpr int kMaxRefusals = 16;

// "Erasing" followed by 4 + step dots, after erase pause step (0..5).
std::string ErasingCaption(int step);
// "Writing...(%lX)" with the address of the next byte.
std::string WritingCaption(std::uint32_t position);

// The bytes of an area read from an image file, or why the file cannot feed it: message 4
// when an Ext Font file holds "T15S" at 0x80000, message 43 (with the addresses in the
// detail) when the file ends before the area does.
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
// talvo10. Run opens the port (a serial port with its receive thread, which hands each
// received chunk to this object), writes "FWDN15" "FOLDER" and "FILE", checks the image
// file, sends the erase packet, waits the six erase pauses and sends the area's data
// packets: on a serial port each when the printer acknowledged the one before (DLE ACK;
// DLE NAK sends the same packet again), on every other port one after another with a 50 ms
// pause, since no reply can be read there.
//
// Outcomes: Done with message 1 and closeScreen when the area was sent (on a serial port:
// when the printer acknowledged the last packet); Failed with the message of the step that
// failed (2 or 18 the port or connection, 3 the file, 4 "T15S" in an Ext Font file, 43 a
// file that ends before the area does, 22 a write, 60 a printer that stopped answering, 42
// a packet refused too often), the port closed and OK offered again; Cancelled (no notice)
// when the cancel stopped it between two packets or pauses. Nothing is erased unless the
// file holds the whole area.
class Talvo10Download : private ReceiveListener {
public:
    Talvo10Download(FirmwareLinks links, Clock& clock);
    ~Talvo10Download() override;
    Talvo10Download(const Talvo10Download&) = delete;
    Talvo10Download& operator=(const Talvo10Download&) = delete;

    Outcome Run(const std::string& path, FlashArea area, Profile* profile,
                const Talvo10Observer& observer, const CancelToken& cancel);

    // The tool ends: the port (or socket) is closed if open and the operator's flow control
    // put back.
    void Close();

private:
    enum class Wait { Ack, Nak, Silent, Cancelled };

    // The receive thread's hand-off (WM_DATA_RECEIVED): the reply rules run on every byte
    // waiting in the port's queue; replies wait in m_replies for the sequence.
    void OnDataReceived() override;

    bool OpenLink(Outcome& failure, const CancelToken& cancel);
    void CloseLink();
    // The send rule: the packet goes out, then the pause (ports without replies) or the
    // next reply is awaited. False when the write failed.
    bool SendPacket(const FlashPacket& packet, std::uint32_t position,
                    const Talvo10Observer& observer);
    Wait WaitReply(const CancelToken& cancel);
    // After the last packet over the network, where the sequence reads no replies: why the
    // area did not arrive, or nothing. The printer's end must acknowledge every byte (a
    // printer that stopped reading did not take them), must not have refused a packet with
    // DLE NAK, and must still hold the connection (not closed or reset with the last packets
    // in the buffers).
    std::optional<Notice> NetworkDeliveryFailure();
    Outcome Failure(Notice notice);

    FirmwareLinks m_links;
    Clock& m_clock;
    SerialFlowOverride m_flow;
    PortKind m_kind = PortKind::None;
    bool m_linkOpen = false;
    bool m_listening = false;

    std::mutex m_mutex;
    FlashReplyParser m_parser;         // guarded by m_mutex
    std::deque<FlashReply> m_replies;  // guarded by m_mutex
};

}  // namespace kp70
