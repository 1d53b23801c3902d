#include "cli/SetupSettingTable.h"

#include <algorithm>
#include <cctype>

#include "core/setup/SetupLists.h"
#include "core/setup/WriteBlock.h"

namespace kp70 {

namespace {

using Kind = CliSetting::Kind;
using V = SetupValues;

std::vector<std::string> Texts(const auto& list) {
    return {list.begin(), list.end()};
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

CliSetting Choice(const char* name, const char* label, int number, int V::*field,
                  std::vector<std::string> choices) {
    return {name, label, number, Kind::Choice, std::move(choices), 0, 0, field};
}

CliSetting Integer(const char* name, const char* label, int number, int V::*field, int min,
                   int max) {
    return {name, label, number, Kind::Integer, {}, min, max, field};
}

}  // namespace

std::vector<CliSetting> SetupSettingTable(const std::vector<std::string>& receiveBuffers) {
    using namespace setup;
    std::vector<std::string> codePages;
    for (const auto& entry : CodePages()) codePages.push_back(std::to_string(entry.number));
    return {
        Choice("paper-width", "Paper Width & Max. Column", kPaperWidth, &V::paperWidth,
               {"80mm", "58mm"}),
        Choice("max-column", "Paper Width & Max. Column", kPaperWidth, &V::columnChoice,
               {"30", "32"}),
        Choice("paper-type", "Paper Type", kPaperType, &V::paperType, {"black", "2color"}),
        Choice("two-color-density", "Paper Type", kTwoColorDensity, &V::twoColorDensity,
               {"light", "medium", "dark"}),
        Choice("water-mark", "Water Mark Function", kWaterMark, &V::waterMark,
               {"disable", "enable"}),
        Integer("water-mark-image", "Image#", kWaterMark, &V::imageNumber, 1, 255),
        Choice("cutting-adjust", "Cutting postion adjustment Function", kCuttingAdjust,
               &V::cuttingAdjust, {"off", "on"}),
        Integer("cutting-lines", "Lines", kCuttingAdjust, &V::lines, 0, 255),
        Choice("drawer-with-cutting", "Drawer open with cutting", kDrawerWithCutting,
               &V::drawerWithCutting, {"disable", "enable"}),
        Choice("bell-type", "Kitchen Bell Type & Length", kBellTypeLength, &V::bellType,
               {"bell", "melody-1", "melody-2", "melody-3", "other-bell"}),
        Choice("bell-length", "Kitchen Bell Type & Length", kBellTypeLength, &V::bellLength,
               Texts(kBellLengths)),
        Choice("code-page", "Default Code Page", kCodePage, &V::codePage, codePages),
        Choice("nv-graphic-memory", "NV Graphic Memory Size", kNvGraphicMemory, &V::nvGraphic,
               Texts(kNvGraphicSizes)),
        Choice("nv-user-memory", "NV User Memory Size", kNvUserMemory, &V::nvUser,
               Texts(kNvUserSizes)),
        Choice("cutting-mode", "Cutting Mode Select", kCuttingMode, &V::cuttingMode,
               {"partial", "full"}),
        Choice("max-print-speed", "Max Print Speed", kPrintSpeed, &V::printSpeed,
               Texts(kPrintSpeeds)),
        Integer("left-margin", "Set Left Paper Margin", kLeftMargin, &V::leftMargin, 0, 512),
        Choice("drawer-in-self-test", "Drawer Open In Self-Test", kDrawerInSelfTest,
               &V::drawerInSelfTest, {"enable", "disable"}),
        Choice("bold-korean-font", "Bold Korean Font", kBoldKoreanFont, &V::boldKoreanFont,
               {"off", "on"}),
        Choice("receive-buffer", "Receive Buffer Size", kReceiveBuffer, &V::receiveBuffer,
               receiveBuffers),
        Choice("stop-bit", "STOP BIT(COM PORT)", kStopBit, &V::stopBit, {"one", "two"}),
        CliSetting{
            "setup-code", "Customize Setup Code(HEX)", kSetupCode, Kind::Hex, {}, 0, 0, nullptr},
        Choice("emulation", "Emulation", kEmulation, &V::emulation, {"epson", "star"}),
        Choice("density", "Density", kDensity, &V::density, {"1", "2", "3", "4"}),
        Choice("auto-cut", "AutoCut", kAutoCut, &V::autoCut, {"on", "off"}),
        Choice("self-test", "SELF-TEST", kSelfTest, &V::selfTest, {"self-test", "hexadump"}),
        Choice("kitchen-bell", "Kitchen Bell", kKitchenBell, &V::kitchenBell, {"off", "on"}),
        Choice("usb-mode", "USB mode", kUsbMode, &V::usbMode, {"usb", "com"}),
        Choice("paper-save-mode", "Paper Save Mode", kPaperSaveMode, &V::paperSaveMode,
               {"off", "lv1", "lv2"}),
        Choice("sleep-mode", "Sleep mode", kSleepMode, &V::sleepMode, {"0", "5", "10", "15"}),
    };
}

const CliSetting* FindSetting(const std::vector<CliSetting>& table, const std::string& name) {
    for (const CliSetting& s : table)
        if (Lower(name) == s.name) return &s;
    return nullptr;
}

std::string FormatSetting(const CliSetting& setting, const SetupValues& values) {
    if (setting.kind == Kind::Hex) return values.setupCode;
    const int value = values.*setting.field;
    if (setting.kind == Kind::Integer) return std::to_string(value);
    if (value < 0 || value >= static_cast<int>(setting.choices.size())) return "-";
    return setting.choices[static_cast<std::size_t>(value)];
}

bool ParseSetting(const CliSetting& setting, const std::string& text, SetupValues& values,
                  std::string& why) {
    switch (setting.kind) {
        case Kind::Hex:
            if (!ParseSetupCode(text).valid || text.empty()) {
                why = "setup-code takes 1 to 8 hexadecimal digits, not \"" + text + "\"";
                return false;
            }
            values.setupCode = text;
            return true;
        case Kind::Integer: {
            const bool digits =
                !text.empty() && text.size() <= 6 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            const int value = digits ? std::stoi(text) : -1;
            if (!digits || value < setting.min || value > setting.max) {
                why = std::string(setting.name) + " takes a number from " +
                      std::to_string(setting.min) + " to " + std::to_string(setting.max) +
                      ", not \"" + text + "\"";
                return false;
            }
            values.*setting.field = value;
            return true;
        }
        case Kind::Choice:
            for (std::size_t i = 0; i < setting.choices.size(); ++i) {
                if (Lower(text) == Lower(setting.choices[i])) {
                    values.*setting.field = static_cast<int>(i);
                    return true;
                }
            }
            why = std::string(setting.name) + " takes one of: ";
            for (std::size_t i = 0; i < setting.choices.size(); ++i)
                why += (i ? ", " : "") + setting.choices[i];
            why += " (not \"" + text + "\")";
            return false;
    }
    return false;
}

std::string DescribeSettings(const std::vector<CliSetting>& table) {
    std::string text;
    for (const CliSetting& s : table) {
        std::string line = "  " + std::string(s.name);
        line.resize(std::max<std::size_t>(line.size() + 1, 24), ' ');
        if (s.kind == Kind::Hex) {
            line += "0 .. FFFFFFFF (hexadecimal)";
        } else if (s.kind == Kind::Integer) {
            line += std::to_string(s.min) + " .. " + std::to_string(s.max);
        } else {
            for (std::size_t i = 0; i < s.choices.size(); ++i)
                line += (i ? "|" : "") + s.choices[i];
        }
        text += line + "\n";
    }
    return text;
}

}  // namespace kp70
