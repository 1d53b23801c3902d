#include "core/transport/TypedConnection.h"

#include <cctype>

#include "core/app/MessageCatalogue.h"
#include "core/app/ModelCatalogue.h"

namespace kp70 {

namespace {

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

struct LineList {
    ChoiceList list;
    int message;  // OK's message when the list has no selection
};
constexpr LineList kLineLists[kLineSettingCount] = {
    {ChoiceList::Baudrate, msg::kBaudrateNotSelected},
    {ChoiceList::DataLength, msg::kDataLengthNotSelected},
    {ChoiceList::Parity, msg::kParityNotSelected},
    {ChoiceList::StopBit, msg::kStopBitNotSelected},
    {ChoiceList::FlowControl, msg::kFlowControlNotSelected},
};

const LineList& ListOf(LineSetting setting) {
    return kLineLists[static_cast<int>(setting)];
}

}  // namespace

std::string DefaultEntryFor(Attachment kind) {
    switch (kind) {
        case Attachment::Parallel:
            return "KP70 P";
        case Attachment::UsbPrinter:
            return "KP70 U-II";
        case Attachment::Ethernet:
            return "KP70 E-II";
        default:
            return "KP70 S";
    }
}

bool EntryFits(Attachment attached, Attachment connection) {
    switch (attached) {
        case Attachment::Serial:
        case Attachment::UsbSerial:
            return connection == Attachment::Serial || connection == Attachment::File;
        case Attachment::Parallel:
            return connection == Attachment::Parallel || connection == Attachment::File;
        case Attachment::UsbPrinter:
            return connection == Attachment::UsbPrinter || connection == Attachment::File;
        case Attachment::Ethernet:
        case Attachment::Wifi:
            return connection == Attachment::Ethernet;
        default:
            return true;
    }
}

std::string ItemForTyped(LineSetting setting, const std::string& typed) {
    switch (setting) {
        case LineSetting::DataLength:
            return typed + " Bits";
        case LineSetting::Parity:
            return Upper(typed);
        case LineSetting::FlowControl: {
            const std::string flow = Upper(typed);
            return flow == "HW" ? "H/W" : flow == "SW" ? "S/W" : flow;
        }
        default:
            return typed;
    }
}

std::string TypedForItem(LineSetting setting, const std::string& item) {
    switch (setting) {
        case LineSetting::DataLength:
            return item.substr(0, item.find(' '));
        case LineSetting::Parity:
            return Lower(item);
        case LineSetting::FlowControl:
            return item == "H/W" ? "hw" : item == "S/W" ? "sw" : Lower(item);
        default:
            return item;
    }
}

TypedResolution ResolveTypedConnection(const TypedConnection& typed) {
    TypedResolution result;
    result.deviceEntry = typed.device.empty() ? DefaultEntryFor(typed.kind) : typed.device;

    // The entry as the connection screen takes it, PORT holding the port named outright.
    const bool usesPort = typed.kind == Attachment::Serial || typed.kind == Attachment::Parallel;
    ConnectionChoice choice(usesPort ? typed.port : std::string());
    choice.ChooseDevice(result.deviceEntry);
    if (choice.modelCode() == models::kNoModel) {
        result.refusal = TypedRefusal::UnknownDevice;
        return result;
    }
    result.attached = choice.attachment();
    if (result.attached == Attachment::None) {
        result.refusal = TypedRefusal::NoConnectionForEntry;
        return result;
    }
    if (!EntryFits(result.attached, typed.kind)) {
        result.refusal = TypedRefusal::AttachedOtherwise;
        return result;
    }

    ConnectionSettings& s = result.settings;
    if (typed.kind == Attachment::File) {
        // No connection screen path leads here: the printer's model decides, the port is the
        // file (as the logo tool's print-to-file option does).
        s.portName = "FILE";
        s.modelCode = models::ClassifyAtOk(result.deviceEntry);
        result.filePath = typed.file;
        return result;
    }

    bool anyLine = false;
    for (const std::string& text : typed.line) anyLine = anyLine || !text.empty();
    if (anyLine && !choice.List(ChoiceList::Baudrate).enabled) {
        result.refusal = TypedRefusal::LineSettingsOnParallel;
        return result;
    }
    // A text a list does not hold leaves it without a selection, which OK then refuses with
    // that list's message, as the screen would; a setting left out keeps the first item.
    for (int i = 0; i < kLineSettingCount; ++i) {
        const auto setting = static_cast<LineSetting>(i);
        if (!typed.line[i].empty())
            choice.SelectText(ListOf(setting).list, ItemForTyped(setting, typed.line[i]));
    }
    const OkStep ok = choice.Ok(s);
    if (!ok.notices.empty()) {
        result.refusal = TypedRefusal::LineSetting;
        result.message = ok.notices.front().number;
        for (int i = 0; i < kLineSettingCount; ++i) {
            const auto setting = static_cast<LineSetting>(i);
            if (ListOf(setting).message != result.message) continue;
            result.refused = setting;
            for (const std::string& item : choice.List(ListOf(setting).list).items)
                result.offered.push_back(TypedForItem(setting, item));
        }
        result.dataLength =
            TypedForItem(LineSetting::DataLength, choice.List(ChoiceList::DataLength).Text());
        return result;
    }
    if (ok.next == AfterOk::NetworkDialog) {
        // The network dialog's part: the address and TCP port, checked as it checks them; a
        // host name may stand for the address here.
        const std::string portText = typed.tcpPort.value_or(std::to_string(kDefaultPrinterPort));
        const NetworkTarget checked = CheckNetworkTarget(typed.host, portText, true);
        if (checked.refusal != NetworkRefusal::None) {
            result.refusal = TypedRefusal::Network;
            result.network = checked.refusal;
            return result;
        }
        s.networkAddress = checked.address;
        s.networkPort = checked.port;
        choice.NetworkDialogEnded(s, true);
    }
    return result;
}

}  // namespace kp70
