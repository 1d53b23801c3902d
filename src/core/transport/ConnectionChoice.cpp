#include "core/transport/ConnectionChoice.h"

#include <algorithm>
#include <charconv>

#include "core/app/CancelToken.h"
#include "core/app/ConnectionSettings.h"
#include "core/app/Language.h"
#include "core/app/MessageCatalogue.h"
#include "core/transport/NetworkLink.h"
#include "core/transport/UsbDiscovery.h"

namespace kp70 {

namespace {

// Five data bits leave room for one stop bit only.
constexpr const char* kFiveBits = "5 Bits";
// An extra wait between the first connect and the first probe round of the dialog's check.
constexpr int kFirstProbeWaitMs = 10;

// The leading number of a text such as "8 Bits" or "38400"; nullopt when there is none.
std::optional<long long> LeadingNumber(const std::string& text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end == text.data()) return std::nullopt;
    return value;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return "";
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

std::string ChoiceListState::Text() const {
    if (selected < 0 || selected >= static_cast<int>(items.size())) return "";
    return items[static_cast<std::size_t>(selected)];
}

int ChoiceListState::Find(const std::string& text) const {
    const auto it = std::find(items.begin(), items.end(), text);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

ConnectionChoice::ConnectionChoice(DeviceEnumerator& devices,
                                   std::vector<std::string> preferredPorts)
    : m_devices(&devices), m_preferredPorts(std::move(preferredPorts)) {
    ResetLists();
}

ConnectionChoice::ConnectionChoice(std::string namedPort) : m_namedPort(std::move(namedPort)) {
    ResetLists();
}

void ConnectionChoice::ResetLists() {
    // The lists as the screen opens: PORT empty, the others at their first item, all off.
    Mutable(ChoiceList::Port) = {};
    Mutable(ChoiceList::Baudrate) = {Baudrates(0), 0, false};
    Mutable(ChoiceList::Parity) = {Parities(), 0, false};
    Mutable(ChoiceList::DataLength) = {DataLengths(), 0, false};
    Mutable(ChoiceList::FlowControl) = {FlowControls(), 0, false};
    Mutable(ChoiceList::StopBit) = {StopBits(""), 0, false};
}

std::vector<std::string> ConnectionChoice::DeviceEntries(const Profile& profile) {
    std::vector<std::string> entries = ProfileDeviceEntries(profile);
    const auto& builtIn = models::BuiltInEntries();
    entries.insert(entries.end(), builtIn.begin(), builtIn.end());
    return entries;
}

const std::vector<std::string>& ConnectionChoice::Baudrates(int modelCode) {
    static const std::vector<std::string> all{"115200", "38400", "19200", "9600"};
    static const std::vector<std::string> slower{"38400", "19200", "9600"};
    return models::MaxBaudrate(modelCode) < 115200 ? slower : all;
}

const std::vector<std::string>& ConnectionChoice::Parities() {
    static const std::vector<std::string> items{"NONE", "ODD", "EVEN"};
    return items;
}

const std::vector<std::string>& ConnectionChoice::DataLengths() {
    static const std::vector<std::string> items{"8 Bits", "7 Bits", "6 Bits", kFiveBits};
    return items;
}

const std::vector<std::string>& ConnectionChoice::FlowControls() {
    static const std::vector<std::string> items{"H/W", "S/W", "NONE"};
    return items;
}

const std::vector<std::string>& ConnectionChoice::StopBits(const std::string& dataLength) {
    static const std::vector<std::string> both{"1", "2"};
    static const std::vector<std::string> one{"1"};
    return dataLength == kFiveBits ? one : both;
}

std::vector<std::string> ConnectionChoice::PortNames(Attachment kind) const {
    if (m_namedPort) {
        if (m_namedPort->empty()) return {};
        return {*m_namedPort};
    }
    switch (kind) {
        case Attachment::Serial:
            return ListPorts(*m_devices, PortListKind::Serial);
        case Attachment::Parallel:
            return ListPorts(*m_devices, PortListKind::Parallel);
        case Attachment::UsbSerial:
            // The port of the printer's USB-serial device, listed even when none was found.
            return {FindUsbSerialPortForModel(*m_devices, m_modelCode)};
        default:
            return {};
    }
}

void ConnectionChoice::FillPort(Attachment kind) {
    ChoiceListState& port = Mutable(ChoiceList::Port);
    port.items = PortNames(kind);
    port.selected = port.items.empty() ? -1 : 0;
    for (const std::string& preferred : m_preferredPorts) {
        const int index = port.Find(preferred);
        if (index >= 0) {
            port.selected = index;
            break;
        }
    }
}

void ConnectionChoice::SetLineSettingsEnabled(bool enabled) {
    for (ChoiceList list : {ChoiceList::Baudrate, ChoiceList::Parity, ChoiceList::DataLength,
                            ChoiceList::FlowControl, ChoiceList::StopBit})
        Mutable(list).enabled = enabled;
}

ChoiceStep ConnectionChoice::ChooseDevice(const std::string& entry) {
    ChoiceStep step;
    m_entry = entry;
    m_usbFound = false;
    m_searching = false;
    m_modelCode = models::ClassifyAtSelection(entry);
    if (m_modelCode == models::kNoModel) {
        // "Invalid Device!": the lists keep their state, and OK cannot go on with a name no
        // model answers to.
        m_kind = Attachment::None;
        step.notices.push_back(Notice::Message(msg::kInvalidDevice));
        return step;
    }

    m_kind = models::AttachmentOfEntry(entry, m_modelCode);
    ChoiceListState& port = Mutable(ChoiceList::Port);
    switch (m_kind) {
        case Attachment::Ethernet:
        case Attachment::Wifi:
            port.enabled = false;
            SetLineSettingsEnabled(false);
            break;
        case Attachment::UsbPrinter:
            m_searching = true;
            step.searchUsb = true;
            break;
        case Attachment::Parallel:
        case Attachment::Serial:
        case Attachment::UsbSerial:
            FillPort(m_kind);
            // A USB-serial entry shows its device's port even when there is none (an empty
            // name, which OK does not accept); the others say that the system has no port.
            if (port.items.empty() && m_kind != Attachment::UsbSerial) {
                step.notices.push_back(Notice::Message(
                    m_kind == Attachment::Parallel ? msg::kNoLptPort : msg::kNoComPort));
                break;
            }
            port.enabled = true;
            SetLineSettingsEnabled(m_kind != Attachment::Parallel);
            if (m_kind != Attachment::Parallel)
                Mutable(ChoiceList::Baudrate) = {Baudrates(m_modelCode), 0, true};
            break;
        default:
            break;
    }
    return step;
}

ChoiceStep ConnectionChoice::UsbSearchEnded(int count) {
    ChoiceStep step;
    m_searching = false;
    const int message = UsbSearchMessage(count);
    if (message < 0) {
        m_usbFound = true;
        Mutable(ChoiceList::Port).enabled = false;
        SetLineSettingsEnabled(false);
        return step;
    }
    // No printer, or more than one: the operator must choose the entry again.
    m_usbFound = false;
    step.notices.push_back(Notice::Message(message));
    step.clearDevice = true;
    Mutable(ChoiceList::Port).selected = -1;
    m_entry.clear();
    m_modelCode = 0;
    m_kind = Attachment::None;
    return step;
}

void ConnectionChoice::Select(ChoiceList list, int index) {
    ChoiceListState& state = Mutable(list);
    state.selected = index >= 0 && index < static_cast<int>(state.items.size()) ? index : -1;
    if (list == ChoiceList::DataLength) RebuildStopBits();
}

bool ConnectionChoice::SelectText(ChoiceList list, const std::string& text) {
    const int index = List(list).Find(text);
    Select(list, index);
    return index >= 0;
}

void ConnectionChoice::RebuildStopBits() {
    // The previous choice stays when the new list holds it ("2" with five bits becomes "1",
    // the only item); otherwise the list has no selection.
    ChoiceListState& stop = Mutable(ChoiceList::StopBit);
    const std::string previous = stop.Text();
    const std::string dataLength = List(ChoiceList::DataLength).Text();
    stop.items = StopBits(dataLength);
    stop.selected = stop.Find(previous);
    if (stop.selected < 0 && dataLength == kFiveBits) stop.selected = 0;
}

bool ConnectionChoice::OkEnabled() const {
    if (m_searching || m_modelCode == models::kNoModel) return false;
    switch (m_kind) {
        case Attachment::Serial:
        case Attachment::Parallel:
        case Attachment::UsbSerial:
            // Without a port name (no port on the system, or no USB-serial device) the
            // tools would have nothing to open.
            return !List(ChoiceList::Port).Text().empty();
        case Attachment::UsbPrinter:
            return m_usbFound;
        case Attachment::Ethernet:
        case Attachment::Wifi:
            return true;
        default:
            return false;
    }
}

OkStep ConnectionChoice::Ok(ConnectionSettings& s) const {
    OkStep step;
    s.portName = List(ChoiceList::Port).Text();
    s.modelCode = models::ClassifyAtOk(m_entry);
    switch (m_kind) {
        case Attachment::UsbPrinter:
            s.portName = "USB";
            step.next = AfterOk::MainMenu;
            return step;
        case Attachment::Ethernet:
            s.portName = "ETHERNET_II";
            step.next = AfterOk::NetworkDialog;
            return step;
        case Attachment::Wifi:
            // The dialog offers its WiFi functions while the name does not begin with "ETH".
            s.portName = "WIFI";
            step.next = AfterOk::NetworkDialog;
            return step;
        case Attachment::Parallel:
            step.next = AfterOk::MainMenu;
            return step;
        case Attachment::Serial:
        case Attachment::UsbSerial:
            break;
        default:
            return step;
    }

    auto refuse = [&step](int message) {
        step.notices.push_back(Notice::Message(message));
        return step;
    };
    const std::string baud = List(ChoiceList::Baudrate).Text();
    if (baud.empty()) return refuse(msg::kBaudrateNotSelected);
    s.baudRate = static_cast<int>(LeadingNumber(baud).value_or(-1));

    const std::string dataLength = List(ChoiceList::DataLength).Text();
    if (dataLength.empty()) return refuse(msg::kDataLengthNotSelected);
    s.dataBits = static_cast<int>(LeadingNumber(dataLength).value_or(-1));

    const int parity = List(ChoiceList::Parity).selected;
    if (parity < 0) return refuse(msg::kParityNotSelected);
    s.parity = parity;  // 0 none, 1 odd, 2 even: the serial driver's own codes

    const std::string stop = List(ChoiceList::StopBit).Text();
    if (stop.empty()) return refuse(msg::kStopBitNotSelected);
    s.stopBits = stop == "2" ? 2 : 0;

    const int flow = List(ChoiceList::FlowControl).selected;
    if (flow < 0) return refuse(msg::kFlowControlNotSelected);
    s.flowControl = flow + 1;  // 1 H/W, 2 S/W, 3 none

    step.next = AfterOk::MainMenu;
    return step;
}

bool ConnectionChoice::NetworkDialogEnded(ConnectionSettings& settings, bool accepted) const {
    settings.portName = "ETHERNET_II";
    return accepted;
}

int SearchUsbPrinters(DeviceEnumerator& devices, Clock& clock, int modelCode,
                      const CancelToken& cancel, const std::function<void()>& onEmptyRound,
                      ErrorLog* log) {
    const std::string idPrefix = models::UsbPrinterSearchId(modelCode);
    int count = -1;
    for (int round = 0; round < kUsbSearchRounds && !cancel.Cancelled(); ++round) {
        count = CountUsbPrinters(devices, idPrefix, log);
        if (count >= 1) break;
        if (onEmptyRound) onEmptyRound();
        // One wait per round; a cancel is seen before the next round.
        if (!SleepUnlessCancelled(clock, kUsbSearchWaitMs, cancel, kUsbSearchWaitMs)) break;
    }
    return count;
}

int UsbSearchMessage(int count) {
    if (count < 1) return msg::kTurnOnUsbPrinter;
    if (count > 1) return msg::kTooManyUsbDevices;
    return -1;
}

bool IsAcceptedTcpPort(std::uint64_t port) {
    return (port >= 1024 && port <= 65534) || port == 515;
}

bool IsIpv4Address(const std::string& text) {
    int parts = 0;
    std::size_t at = 0;
    while (true) {
        std::size_t end = at;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        const std::size_t digits = end - at;
        if (digits == 0 || digits > 3 || std::stoi(text.substr(at, digits)) > 255) return false;
        ++parts;
        if (end == text.size()) break;
        if (text[end] != '.' || parts == 4) return false;
        at = end + 1;
    }
    return parts == 4;
}

NetworkTarget CheckNetworkTarget(const std::string& address, const std::string& portText,
                                 bool allowHostNames) {
    NetworkTarget target;
    const std::string port = Trimmed(portText);
    std::uint64_t number = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || ec != std::errc() || end != port.data() + port.size() ||
        !IsAcceptedTcpPort(number)) {
        target.refusal = NetworkRefusal::Port;
        return target;
    }
    target.portAccepted = true;
    target.port = static_cast<std::uint16_t>(number);

    target.address = Trimmed(address);
    const bool dottedNumbers = target.address.find_first_not_of("0123456789.") == std::string::npos;
    if (!IsIpv4Address(target.address) &&
        (!allowHostNames || dottedNumbers || target.address.empty()))
        target.refusal = NetworkRefusal::Address;
    return target;
}

Notice NetworkRefusalNotice(NetworkRefusal refusal, bool korean) {
    if (refusal == NetworkRefusal::Port) return Notice::Message(msg::kTcpPortRange);
    if (refusal == NetworkRefusal::Address) return Notice::Literal(kIpv4AddressNeeded.In(korean));
    return Notice{};
}

Outcome CheckNetworkPrinter(NetworkLink& link, Clock& clock, const std::string& address,
                            std::uint16_t port, const CancelToken& cancel) {
    const bool connected = ConnectNetwork(link, clock, address, port, kFirstProbeWaitMs, &cancel);
    // The check only proves the printer answers; the tools connect again when they need it.
    link.CloseSocket();
    if (connected) return Outcome{};
    if (cancel.Cancelled()) {
        Outcome outcome;
        outcome.status = OutcomeStatus::Cancelled;
        return outcome;
    }
    return Outcome::Failure(Notice::Message(msg::kPrinterCheck));
}

}  // namespace kp70
