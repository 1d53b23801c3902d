#include "core/network/SetFrameChecks.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/app/MessageCatalogue.h"

namespace kp70 {
namespace {

SettingInput Valid() {
    SettingInput input;
    input.address = "192.168.0.77";
    input.subnet = "255.255.255.0";
    input.gateway = "192.168.0.1";
    input.port = "6001";
    input.mac = "00:1A:2B:3C:4D:5E";
    input.macLow = {"4D", "5E", "6F"};
    return input;
}

// What a check gave: "ok", "62", "55", or the English text of a refusal of the tool's own.
std::string Verdict(const SetFrameCheck& check) {
    if (check.ok()) return "ok";
    if (check.refusal.number >= 0) return std::to_string(check.refusal.number);
    return check.refusal.text.english;
}

TEST(SetFrameChecks, EachRefusalAndItsOrder) {
    const std::string ok = "ok";
    const std::string ip = std::to_string(msg::kIpRange);
    const std::string port = std::to_string(msg::kTcpPortRange);
    const std::string address = kAddressFieldNeeded.english;
    const std::string macText = kMacTextNeeded.english;
    const std::string macBox = kMacBoxNeeded.english;
    const auto row = ChangeKind::FromRow;
    const auto manual = ChangeKind::ManualMac;
    const struct {
        ChangeKind kind;
        std::function<void(SettingInput&)> edit;
        std::string expected;
        const char* what;
    } cases[] = {
        {row, [](SettingInput&) {}, ok, "all valid"},
        {manual, [](SettingInput&) {}, ok, "all valid, manual"},
        // The last number of the address: only "Change Setting" looks at it.
        {row, [](SettingInput& i) { i.address = "192.168.0.255"; }, ip, ".255"},
        {row, [](SettingInput& i) { i.address = "192.168.0.0"; }, ip, ".0"},
        {manual, [](SettingInput& i) { i.address = "192.168.0.255"; }, ok, ".255 manual"},
        {row, [](SettingInput& i) { i.address = "10.0.0.1"; }, ok, ".1"},
        {row, [](SettingInput& i) { i.address = "10.0.0.254"; }, ok, ".254"},
        // The port: 515 only for "Change Setting".
        {row, [](SettingInput& i) { i.port = "515"; }, ok, "515"},
        {manual, [](SettingInput& i) { i.port = "515"; }, port, "515 manual"},
        {row, [](SettingInput& i) { i.port = "65535"; }, port, "65535"},
        {manual, [](SettingInput& i) { i.port = "65535"; }, port, "65535 manual"},
        {row, [](SettingInput& i) { i.port = "1023"; }, port, "1023"},
        {row, [](SettingInput& i) { i.port = "1024"; }, ok, "1024"},
        {manual, [](SettingInput& i) { i.port = "65534"; }, ok, "65534"},
        {row, [](SettingInput& i) { i.port = ""; }, port, "empty port"},
        {row, [](SettingInput& i) { i.port = "4294973297"; }, port, "past 32 bits"},
        // Order: the address before the port, the fields before both.
        {row,
         [](SettingInput& i) {
             i.address = "192.168.0.255";
             i.port = "80";
         },
         ip, "62 first"},
        {row,
         [](SettingInput& i) {
             i.subnet = "255.255.0";
             i.address = "1.2.3.0";
         },
         address, "a field first"},
        {manual, [](SettingInput& i) { i.gateway = "192.168.0.256"; }, address, "octet 256"},
        {manual, [](SettingInput& i) { i.address = ""; }, address, "empty address"},
        // The MAC text of a row, and the boxes of the manual change.
        {row, [](SettingInput& i) { i.mac = "00:1a:2b:3c:4d:5e"; }, ok, "lower-case row MAC"},
        {row, [](SettingInput& i) { i.mac = "00-1A-2B-3C-4D-5E"; }, macText, "dashes"},
        {row, [](SettingInput& i) { i.mac = ""; }, macText, "no row chosen"},
        {manual, [](SettingInput& i) { i.macLow[1] = "5e"; }, ok, "lower-case box"},
        {manual, [](SettingInput& i) { i.macLow[0] = "5"; }, macBox, "one digit"},
        {manual, [](SettingInput& i) { i.macLow[2] = ""; }, macBox, "empty box"},
        {manual, [](SettingInput& i) { i.macLow[1] = "G1"; }, macBox, "not hexadecimal"},
        {manual, [](SettingInput& i) { i.macLow[1] = "5E0"; }, macBox, "three digits"},
        {manual,
         [](SettingInput& i) {
             i.macLow[0] = "x";
             i.port = "80";
         },
         port, "port first"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SettingInput input = Valid();
        c.edit(input);
        EXPECT_EQ(Verdict(CheckSetFrame(c.kind, input)), c.expected);
    }
}

TEST(SetFrameChecks, TheFrameCarriesTheRowsOrTheManualMac) {
    SettingInput input = Valid();
    input.dhcp = true;
    input.port = "515";
    SetFrameCheck check = CheckSetFrame(ChangeKind::FromRow, input);
    ASSERT_TRUE(check.ok());
    NetworkSettings expected;
    expected.address = {192, 168, 0, 77};
    expected.subnet = {255, 255, 255, 0};
    expected.gateway = {192, 168, 0, 1};
    expected.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    expected.dhcp = true;
    expected.port = 515;
    EXPECT_EQ(check.frame->Command(), discovery::kSet);
    EXPECT_EQ(check.frame->Settings(), expected);

    input.port = "6001";
    input.macLow = {"4d", "5E", "0f"};
    check = CheckSetFrame(ChangeKind::ManualMac, input);
    ASSERT_TRUE(check.ok());
    EXPECT_EQ(check.frame->Settings().mac, (MacBytes{0x02, 0x5A, 0x3D, 0x4D, 0x5E, 0x0F}));
}

}  // namespace
}  // namespace kp70
