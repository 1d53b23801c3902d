#include "core/network/SetFrameChecks.h"

#include <charconv>

#include "core/app/MessageCatalogue.h"

namespace kp70 {

namespace {

// The value of one hexadecimal digit, upper or lower case; -1 for anything else.
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Two hexadecimal digits as one byte.
std::optional<std::uint8_t> HexPair(const std::string& text) {
    if (text.size() != 2) return std::nullopt;
    const int high = HexValue(text[0]);
    const int low = HexValue(text[1]);
    if (high < 0 || low < 0) return std::nullopt;
    return static_cast<std::uint8_t>(high * 16 + low);
}

Notice Refusal(const BilingualText& text, std::string typed) {
    Notice notice;
    notice.text = text;
    notice.icon = MessageIcon::Exclamation;
    notice.secondLine = std::move(typed);
    return notice;
}

// 1..65535 as typed in the port box; 0 when it holds no whole number in that range.
std::uint32_t PortNumber(const std::string& text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF)
        return 0;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<Ipv4Octets> ParseDottedAddress(const std::string& text) {
    Ipv4Octets octets{};
    std::size_t at = 0;
    for (std::size_t i = 0; i < octets.size(); ++i) {
        std::size_t end = at;
        while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
        const std::size_t digits = end - at;
        if (digits == 0 || digits > 3) return std::nullopt;
        const int value = std::stoi(text.substr(at, digits));
        if (value > 255) return std::nullopt;
        octets[i] = static_cast<std::uint8_t>(value);
        if (i + 1 < octets.size()) {
            if (end >= text.size() || text[end] != '.') return std::nullopt;
            at = end + 1;
        } else if (end != text.size()) {
            return std::nullopt;
        }
    }
    return octets;
}

std::optional<MacBytes> ParseMacText(const std::string& text) {
    if (text.size() != 17) return std::nullopt;
    MacBytes mac{};
    for (std::size_t i = 0; i < mac.size(); ++i) {
        if (i > 0 && text[i * 3 - 1] != ':') return std::nullopt;
        const auto byte = HexPair(text.substr(i * 3, 2));
        if (!byte) return std::nullopt;
        mac[i] = *byte;
    }
    return mac;
}

SetFrameCheck CheckSetFrame(ChangeKind kind, const SettingInput& input) {
    SetFrameCheck check;
    NetworkSettings settings;
    const struct {
        const char* title;
        const std::string& text;
        Ipv4Octets& octets;
    } addresses[] = {{kPrinterColumns[0], input.address, settings.address},
                     {kPrinterColumns[2], input.subnet, settings.subnet},
                     {kPrinterColumns[3], input.gateway, settings.gateway}};
    for (const auto& field : addresses) {
        const auto octets = ParseDottedAddress(field.text);
        if (!octets) {
            check.refusal =
                Refusal(kAddressFieldNeeded, std::string(field.title) + ": " + field.text);
            return check;
        }
        field.octets = *octets;
    }

    if (kind == ChangeKind::FromRow && (settings.address[3] < 1 || settings.address[3] > 254)) {
        check.refusal = Notice::Message(msg::kIpRange);
        return check;
    }

    // The LPD port 515 is offered for a printer found by the search only.
    const std::uint32_t port = PortNumber(input.port);
    const bool portOk =
        (port >= 1024 && port <= 65534) || (kind == ChangeKind::FromRow && port == 515);
    if (!portOk) {
        check.refusal = Notice::Message(msg::kTcpPortRange);
        return check;
    }
    settings.port = static_cast<std::uint16_t>(port);
    settings.dhcp = input.dhcp;

    if (kind == ChangeKind::FromRow) {
        const auto mac = ParseMacText(input.mac);
        if (!mac) {
            check.refusal = Refusal(kMacTextNeeded, input.mac);
            return check;
        }
        settings.mac = *mac;
    } else {
        for (std::size_t i = 0; i < kManualMacPrefix.size(); ++i)
            settings.mac[i] = kManualMacPrefix[i];
        for (std::size_t i = 0; i < input.macLow.size(); ++i) {
            const auto byte = HexPair(input.macLow[i]);
            if (!byte) {
                check.refusal = Refusal(kMacBoxNeeded, "MAC(Low 3byte): " + input.macLow[0] + ":" +
                                                           input.macLow[1] + ":" + input.macLow[2]);
                return check;
            }
            settings.mac[3 + i] = *byte;
        }
    }
    check.frame = DiscoveryFrame::Set(settings);
    return check;
}

}  // namespace kp70
