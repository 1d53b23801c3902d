#pragma once

// A printer connection given as typed texts (kp70ctl's connection options) instead of
// picked in the connection screen's lists: resolved in one pass by the rules OK and the
// network dialog apply (ConnectionChoice), so both refuse the same things.

#include <optional>
#include <string>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/transport/ConnectionChoice.h"

namespace kp70 {

// The line settings in the order they go into the lists: the data length before the stop
// bit, whose list depends on it.
enum class LineSetting { Baudrate, DataLength, Parity, StopBit, FlowControl };
inline constexpr int kLineSettingCount = 5;

struct TypedConnection {
    std::string device;  // the DEVICE entry; empty: the one that fits the kind
    Attachment kind = Attachment::None;
    std::string port;  // Serial, Parallel: the port's name
    // As typed: "9600", "7", "odd", "2", "hw"; empty: the list's first item.
    std::string line[kLineSettingCount];
    std::string host;                    // Network: the address or a host name
    std::optional<std::string> tcpPort;  // Network: none for the printers' usual port
    std::string file;                    // File: the print file
};

enum class TypedRefusal {
    None,
    UnknownDevice,           // no model is recognised in the entry (msg::kInvalidDevice)
    NoConnectionForEntry,    // the screen offers no connection for this entry
    AttachedOtherwise,       // the entry's printer is attached another way (`attached`)
    LineSettingsOnParallel,  // a parallel port has no line settings
    LineSetting,             // a line setting the list does not offer (`refused`)
    Network,                 // the address or TCP port (`network`)
};

struct TypedResolution {
    TypedRefusal refusal = TypedRefusal::None;
    std::string deviceEntry;
    ConnectionSettings settings;  // portName "USB", "ETHERNET_II" or "FILE" for those kinds
    std::string filePath;

    Attachment attached = Attachment::None;  // how the entry's printer is attached
    // LineSetting: the setting OK refused first, its message, and what its list offers, as
    // it would be typed ("115200", "hw"); for the stop bit also the data length it goes with.
    LineSetting refused = LineSetting::Baudrate;
    int message = -1;
    std::vector<std::string> offered;
    std::string dataLength;
    NetworkRefusal network = NetworkRefusal::None;

    bool ok() const { return refusal == TypedRefusal::None; }
};

// The entry that fits a connection kind when none is given: "KP70 P" for a parallel port,
// "KP70 U-II" for USB, "KP70 E-II" for the network, "KP70 S" otherwise.
std::string DefaultEntryFor(Attachment kind);
// Whether a printer attached as `attached` is reached through a connection of that kind.
// Entries whose ending says nothing (profile entries) fit anything.
bool EntryFits(Attachment attached, Attachment connection);
// A line-setting list's item for a typed text, and back: "5" is "5 Bits", "odd" "ODD",
// "hw" "H/W"; a baud rate and a stop bit read the same.
std::string ItemForTyped(LineSetting setting, const std::string& typed);
std::string TypedForItem(LineSetting setting, const std::string& item);

TypedResolution ResolveTypedConnection(const TypedConnection& typed);

}  // namespace kp70
