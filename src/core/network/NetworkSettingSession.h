#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/app/Outcome.h"
#include "core/network/DatagramLink.h"
#include "core/network/DiscoveryFrame.h"
#include "core/network/SetFrameChecks.h"

namespace kp70 {

class CancelToken;
class Clock;

// The actions of the network setting screen.
namespace network {
inline constexpr ActionSet kSearch = 1;   // "Search Printer"
inline constexpr ActionSet kChange = 2;   // "Change Setting"
inline constexpr ActionSet kManual = 4;   // "Manually change" (shown with Ctrl held)
inline constexpr ActionSet kExit = 8;     // "EXIT"
inline constexpr ActionSet kFields = 16;  // the list and the setting fields
}  // namespace network

// A receive loop ends once this long has passed without a frame that names a printer.
inline constexpr std::int64_t kDiscoveryReceiveMs = 1000;
// A receive loop ends after this many frames that name a printer at the latest. Datagrams
// that name none (another length, another PC's search) do not count, so a flood of them
// cannot end a search before the printers have answered.
inline constexpr int kDiscoveryFrameLimit = 254;
// And it ends this many receive windows after it began at the latest, however many
// frames keep it going.
inline constexpr int kDiscoveryWindowLimit = 5;

// Texts of the session's own, not in the catalogue.
inline constexpr const char* kSocketErrorText = "socket() error";
inline constexpr BilingualText kFrameNotSent{"The frame could not be sent to the network.",
                                             "프레임을 네트워크로 보내지 못했습니다."};
// A change no printer answered: the frames went out, but no printer said it took them.
inline constexpr BilingualText kNoPrinterAnswered{
    "No printer answered the change, so the settings were probably not taken. Check the MAC "
    "address and that the printer is switched on and on this network, then search again.",
    "변경에 응답한 프린터가 없어 설정이 적용되지 않았을 수 있습니다. MAC 주소와 프린터의 "
    "전원 및 네트워크 연결을 확인한 후 다시 검색하십시오."};

// Printer discovery and the change of a printer's network settings over the discovery
// sockets, paced by the Clock. One session serves one screen (or one kp70ctl verb):
//
//   search: Open (the set-up failures, shown before anything is sent), Search;
//   change: CheckSetFrame, Open, the operator's answer to ChangeQuestion, then Change or
//   Decline.
//
// Set-up failures are told but stop nothing: sockets that could not be made find nothing
// or send nothing, and every operation still ends with its closing message. The session
// also keeps which actions the screen offers: "Change Setting" from a click on a search
// row until the next change or a click on no row.
class NetworkSettingSession {
public:
    // Frames go to broadcastAddress:2918. receiveMs is the wait for each datagram (1000 ms;
    // kp70ctl lets it be changed).
    NetworkSettingSession(DatagramLink& link, Clock& clock,
                          std::string broadcastAddress = kDefaultBroadcastAddress,
                          std::int64_t receiveMs = kDiscoveryReceiveMs);
    ~NetworkSettingSession();
    NetworkSettingSession(const NetworkSettingSession&) = delete;
    NetworkSettingSession& operator=(const NetworkSettingSession&) = delete;

    // What the screen offers while nothing runs.
    ActionSet IdleActions() const;

    // A click on a search row: the fields it fills; "Change Setting" is offered and will
    // send to the row's MAC address.
    RowFields ChooseRow(const DiscoveredPrinter& row);
    // A click on no row: "Change Setting" is no longer offered.
    void ChooseNoRow();
    const std::string& SelectedMac() const { return m_selectedMac; }

    // Makes the two sockets and learns the PC's own addresses. Done, with a notice for each
    // set-up step that failed ("socket() error", else msg::kSystemError with the reason), or Failed
    // when nothing could be made at all. Never stops what follows.
    Outcome Open();

    // Broadcasts the search frame and receives until kDiscoveryReceiveMs pass without a
    // frame that names a printer, a receive fails, 254 such frames have come, or the search
    // has lasted kDiscoveryWindowLimit receive windows. found is called once for each MAC
    // address that a 35-byte frame from an address that is not the PC's names, in order of
    // arrival: a printer that answers twice (two programs searching at once each make it
    // answer) is one row. Ends with msg::kSearchFinished whatever was found (count = the printers
    // found), and closes the sockets. A cancel ends the receiving early, still with
    // msg::kSearchFinished. Without an Open before, it opens the sockets itself and its outcome
    // begins with their notices (Change too).
    Outcome Search(const CancelToken& cancel,
                   const std::function<void(const DiscoveredPrinter&)>& found);

    // The question before a change: msg::kChangeNetworkQuestion (caption "Notice" for "Change
    // Setting").
    static Notice ChangeQuestion(ChangeKind kind);

    // After Yes: broadcasts the set frame, waits until a frame that names a printer comes
    // from another address than the PC's (the printer's answer, not read further), or the
    // wait ends as a search's does; then broadcasts the same frame as the end of the change
    // (command 04), which the printer needs to take the settings, even when nobody answered.
    // msg::kNetworkUpdateComplete (caption "Notice" for "Change Setting") once a printer answered;
    // when none did (a mistyped MAC address, a printer switched off) Failed with kNoPrinterAnswered
    // instead. Closes the sockets; "Change Setting" is no longer offered. A cancel cuts the
    // wait short (Cancelled, unless the answer had come); the end frame still goes.
    Outcome Change(ChangeKind kind, const DiscoveryFrame& setFrame, const CancelToken& cancel);

    // After No: nothing is sent; closes the sockets; "Change Setting" is no longer offered.
    Outcome Decline();

    // Closes the sockets (also done by the destructor).
    void Close();

private:
    // What a receive loop makes of one datagram.
    enum class Take { Ignore, Count, Stop };
    enum class End { Stopped, Quiet, Failed, Cancelled };
    // Receives in slices of the Clock, looking at cancel between them, and hands each
    // datagram to take, until take says Stop, kDiscoveryReceiveMs pass after the last
    // datagram it counted (or the start), kDiscoveryFrameLimit were counted, or the loop has
    // lasted kDiscoveryWindowLimit receive windows.
    End ReceiveFrames(const CancelToken& cancel, const std::function<Take(const Datagram&)>& take);
    bool IsOwnAddress(const std::string& address) const;
    // Sends a frame; a notice in words when it did not go out.
    void SendFrame(const DiscoveryFrame& frame, Outcome& outcome);

    DatagramLink& m_link;
    Clock& m_clock;
    std::string m_broadcastAddress;
    std::int64_t m_receiveMs;
    std::vector<std::string> m_ownAddresses;
    bool m_open = false;
    std::string m_selectedMac;
    bool m_changeOffered = false;
};

}  // namespace kp70
