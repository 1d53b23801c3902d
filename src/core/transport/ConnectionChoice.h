#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/app/ModelCatalogue.h"
#include "core/app/Outcome.h"

namespace kp70 {

class CancelToken;
class Clock;
class DeviceEnumerator;
class ErrorLog;
class NetworkLink;
class Profile;
struct ConnectionSettings;

// The drop-down lists below DEVICE on the connection screen.
enum class ChoiceList { Port, Baudrate, Parity, DataLength, FlowControl, StopBit };
inline constexpr int kChoiceListCount = 6;

// One drop-down list: its items, the selected item (-1 for none) and whether the operator
// can change it.
struct ChoiceListState {
    std::vector<std::string> items;
    int selected = -1;
    bool enabled = false;

    // The selected item's text; "" when nothing is selected.
    std::string Text() const;
    // The index of text in the items, or -1.
    int Find(const std::string& text) const;
};

// What follows the choice of a DEVICE entry, or the end of the USB printer search.
struct ChoiceStep {
    std::vector<Notice> notices;  // shown in this order (msg::kInvalidDevice to 13)
    bool searchUsb = false;       // run SearchUsbPrinters now, then UsbSearchEnded
    bool clearDevice = false;     // the DEVICE selection is cleared: choose again
};

// Where OK leads.
enum class AfterOk {
    Stay,           // refused (the notices say why) or nothing usable chosen
    MainMenu,       // the settings are stored: open the main menu
    NetworkDialog,  // ask for the address and port first, then NetworkDialogEnded
};

struct OkStep {
    std::vector<Notice> notices;
    AfterOk next = AfterOk::Stay;
};

// The rules of the connection screen, in one place for the screen and for kp70ctl's
// connection options: how a DEVICE entry is classified, which lists are offered and what
// they hold, which line settings go together, what OK checks (in order, with its message)
// and what it stores in ConnectionSettings.
//
// A screen drives it with the indices chosen in its lists (Select); the command line with
// the texts typed as options (SelectText): a text that is not in the list leaves the list
// without a selection, which OK then refuses as "not selected", exactly as an empty list
// on the screen would be.
class ConnectionChoice {
public:
    // The connection screen: PORT lists the ports `devices` finds. Of those, the first
    // that appears in preferredPorts is selected (a virtual printer's pty link, say),
    // otherwise the first one.
    explicit ConnectionChoice(DeviceEnumerator& devices,
                              std::vector<std::string> preferredPorts = {});
    // The command line: the port was named outright, so PORT holds that one name for every
    // entry that uses a port (nothing when namedPort is empty).
    explicit ConnectionChoice(std::string namedPort);

    // The DEVICE entries: the profile's DEVICELIST ahead of the built-in ones.
    static std::vector<std::string> DeviceEntries(const Profile& profile);

    // Classifies the entry and sets the lists up for it.
    ChoiceStep ChooseDevice(const std::string& entry);
    // The USB printer search that ChooseDevice asked for has ended with count devices
    // (-1 for none; see SearchUsbPrinters).
    ChoiceStep UsbSearchEnded(int count);
    // True between ChooseDevice asking for the USB search and UsbSearchEnded.
    bool searching() const { return m_searching; }

    // The operator picks item `index` of a list (-1 clears its selection).
    void Select(ChoiceList list, int index);
    // Picks the item with this text; false (and no selection) when the list has none.
    bool SelectText(ChoiceList list, const std::string& text);

    const ChoiceListState& List(ChoiceList list) const {
        return m_lists[static_cast<std::size_t>(list)];
    }
    // Whether OK can be pressed.
    bool OkEnabled() const;

    const std::string& entry() const { return m_entry; }
    // The model code of the entry as classified at selection; 0 when unrecognised.
    int modelCode() const { return m_modelCode; }
    Attachment attachment() const { return m_kind; }

    // OK: stores the port name, the model code (classified at OK) and, for serial entries,
    // the line settings, checked in the order baud rate (msg::kBaudrateNotSelected), data length
    // (6), parity (7), stop bit (53), flow control (8); the first missing one is refused and
    // nothing after it is stored.
    OkStep Ok(ConnectionSettings& settings) const;
    // The network dialog that OK led to has ended: a WiFi printer is reached over TCP like
    // an Ethernet one from now on. True when the main menu follows (the dialog ended with
    // OK).
    bool NetworkDialogEnded(ConnectionSettings& settings, bool accepted) const;

    // The built-in contents of the lists.
    static const std::vector<std::string>& Baudrates(int modelCode);
    static const std::vector<std::string>& Parities();
    static const std::vector<std::string>& DataLengths();
    static const std::vector<std::string>& FlowControls();
    static const std::vector<std::string>& StopBits(const std::string& dataLength);

private:
    void ResetLists();
    ChoiceListState& Mutable(ChoiceList list) { return m_lists[static_cast<std::size_t>(list)]; }
    std::vector<std::string> PortNames(Attachment kind) const;
    void FillPort(Attachment kind);
    void SetLineSettingsEnabled(bool enabled);
    void RebuildStopBits();

    DeviceEnumerator* m_devices = nullptr;
    std::vector<std::string> m_preferredPorts;
    std::optional<std::string> m_namedPort;

    std::array<ChoiceListState, kChoiceListCount> m_lists;
    std::string m_entry;
    int m_modelCode = 0;
    Attachment m_kind = Attachment::None;
    bool m_searching = false;
    bool m_usbFound = false;
};

// ---- The USB printer search ----

// A USB printer-class entry is looked for in up to 16 rounds, 250 ms apart.
inline constexpr int kUsbSearchRounds = 16;
inline constexpr int kUsbSearchWaitMs = 250;

// Counts the model's USB printers (CountUsbPrinters with UsbPrinterSearchId(modelCode))
// until at least one is there: after each empty round onEmptyRound is called (the screen
// adds a dot to its title) and the search waits 250 ms on the clock, for at most 16
// rounds. Returns the last count (-1 for none); a cancel ends it between rounds with
// what was counted so far.
int SearchUsbPrinters(DeviceEnumerator& devices, Clock& clock, int modelCode,
                      const CancelToken& cancel, const std::function<void()>& onEmptyRound,
                      ErrorLog* log);
// The message a search result gives: 10 for none, 11 for more than one, -1 for exactly one.
int UsbSearchMessage(int count);

// ---- The network connection dialog's checks ----

// The accepted TCP ports of a network printer: 1024..65534, and 515 (the LPD port).
bool IsAcceptedTcpPort(std::uint64_t port);
// True for a dotted IPv4 address of four numbers 0..255.
bool IsIpv4Address(const std::string& text);

// The texts the network dialog's address check shows (not in the catalogue).
inline constexpr BilingualText kIpv4AddressNeeded{
    "Please enter the printer's IPv4 address, for example 192.168.0.254.",
    "프린터의 IPv4 주소를 입력하십시오. (예: 192.168.0.254)"};

enum class NetworkRefusal { None, Port, Address };

// The address and port box of the network dialog, checked as its OK does: the port first
// (msg::kTcpPortRange), then the address. The port counts as accepted once it passes, even when
// the address is then refused.
struct NetworkTarget {
    NetworkRefusal refusal = NetworkRefusal::None;
    bool portAccepted = false;
    std::uint16_t port = 0;
    std::string address;  // trimmed
};
// allowHostNames: a name that is not made of digits and dots (printer.local) is taken as a
// host name to look up, as the command line allows; dotted numbers must be a whole IPv4
// address either way.
NetworkTarget CheckNetworkTarget(const std::string& address, const std::string& portText,
                                 bool allowHostNames = false);
// The notice a refusal shows: msg::kTcpPortRange, or kIpv4AddressNeeded in the interface's
// language.
Notice NetworkRefusalNotice(NetworkRefusal refusal, bool korean);

// The dialog's connection check: ConnectNetwork with an extra 10 ms before the first probe
// round, then the socket is closed again (the tools connect when they need the printer).
// msg::kPrinterCheck when the printer did not answer; Cancelled when cancel stopped it.
Outcome CheckNetworkPrinter(NetworkLink& link, Clock& clock, const std::string& address,
                            std::uint16_t port, const CancelToken& cancel);

}  // namespace kp70
