#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "core/app/BilingualText.h"
#include "core/app/Outcome.h"
#include "core/network/DiscoveryFrame.h"

namespace kp70 {

// The two ways of sending new network settings.
enum class ChangeKind {
    FromRow,    // "Change Setting": to the printer of the search row clicked last
    ManualMac,  // "Manually change" (service use): to 02 5A 3D and the three MAC boxes
};

// A printer's MAC address made by hand begins with these three bytes.
inline constexpr std::array<std::uint8_t, 3> kManualMacPrefix = {0x02, 0x5A, 0x3D};

// The setting fields as the operator left them.
struct SettingInput {
    std::string address;  // dotted, as typed
    std::string subnet;
    std::string gateway;
    std::string port;  // the port box
    bool dhcp = false;
    std::string mac;                    // FromRow: the row's "Mac Address" text
    std::array<std::string, 3> macLow;  // ManualMac: the three MAC boxes
};

// The result of the checks: the set frame, or the first refusal.
struct SetFrameCheck {
    std::optional<DiscoveryFrame> frame;
    Notice refusal;
    bool ok() const { return frame.has_value(); }
};

// Builds the set frame from the fields and checks it before anything is opened or sent,
// stopping at the first refusal:
//  1. IP, Subnet and Gateway must each be four numbers 0..255 separated by ".";
//  2. FromRow only: the last number of the new address must be 1..254 (msg::kIpRange);
//  3. the port must be 1024..65534, or 515 for FromRow (msg::kTcpPortRange);
//  4. FromRow: the MAC text must be six pairs of hexadecimal digits separated by ":";
//     ManualMac: each box, upper-cased, must be exactly two hexadecimal digits.
// Lower-case hexadecimal digits are taken as upper case.
SetFrameCheck CheckSetFrame(ChangeKind kind, const SettingInput& input);

// Four numbers 0..255 separated by "."; nullopt otherwise.
std::optional<Ipv4Octets> ParseDottedAddress(const std::string& text);
// "00:1A:2B:3C:4D:5E" (either case); nullopt otherwise.
std::optional<MacBytes> ParseMacText(const std::string& text);

// The refusals that are not in the catalogue.
inline constexpr BilingualText kAddressFieldNeeded{
    "Please enter each address as four numbers between 0 ~ 255 separated by \".\".",
    "각 주소는 0 ~ 255 사이의 숫자 네 개를 \".\"로 구분하여 입력하십시오."};
inline constexpr BilingualText kMacTextNeeded{
    "Please enter the MAC address as six pairs of hexadecimal digits separated by \":\", "
    "for example 00:1A:2B:3C:4D:5E.",
    "MAC 주소는 16진수 두 자리 여섯 개를 \":\"로 구분하여 입력하십시오. "
    "(예: 00:1A:2B:3C:4D:5E)"};
inline constexpr BilingualText kMacBoxNeeded{
    "Please enter each MAC box as two hexadecimal digits (0 ~ 9, A ~ F).",
    "MAC 주소 칸마다 16진수 두 자리(0 ~ 9, A ~ F)를 입력하십시오."};

}  // namespace kp70
