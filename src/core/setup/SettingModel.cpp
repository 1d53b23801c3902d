#include "core/setup/SettingModel.h"
#include "core/app/HexText.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "core/app/MessageCatalogue.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupSession.h"
#include "core/setup/WriteBlock.h"

namespace kp70 {

namespace {

using Kind = Setting::Kind;
using V = SetupValues;

// Screen labels (a "&" stands for itself).
constexpr BilingualText kPaperWidthLabel{"Paper Width & Max. Column", "용지 폭"};
constexpr BilingualText kPaperTypeLabel{"Paper Type", "용지 종류"};
constexpr BilingualText kWaterMarkLabel{"Water Mark Function", "워터마크 기능"};
constexpr BilingualText kImageNumberLabel{"Image#", "이미지#"};
constexpr BilingualText kCuttingAdjustLabel{"Cutting postion adjustment Function",
                                            "용지 절단 위치 조정"};
constexpr BilingualText kLinesLabel{"Lines"};
constexpr BilingualText kDrawerWithCuttingLabel{"Drawer open with cutting",
                                                "용지 절단시 돈통 열기"};
constexpr BilingualText kBellTypeLengthLabel{"Kitchen Bell Type & Length", "주방벨 종류 / 횟수"};
constexpr BilingualText kCodePageLabel{"Default Code Page", "기본 문자"};
constexpr BilingualText kNvGraphicLabel{"NV Graphic Memory Size", "내장 그래픽 메모리 크기"};
constexpr BilingualText kNvUserLabel{"NV User Memory Size", "내장 사용자 메모리 크기"};
constexpr BilingualText kCuttingModeLabel{"Cutting Mode Select", "절단 모드"};
constexpr BilingualText kPrintSpeedLabel{"Max Print Speed", "인쇄 최고 속도"};
constexpr BilingualText kLeftMarginLabel{"Set Left Paper Margin", "용지 좌측 여백"};
constexpr BilingualText kDrawerInSelfTestLabel{"Drawer Open In Self-Test", "Self-Test시 돈통 열기"};
constexpr BilingualText kBoldKoreanFontLabel{"Bold Korean Font"};
constexpr BilingualText kReceiveBufferLabel{"Receive Buffer Size", "수신 버퍼 크기"};
constexpr BilingualText kStopBitLabel{"STOP BIT(COM PORT)", "스톱 비트 (COM)"};
constexpr BilingualText kSetupCodeLabel{"Customize Setup Code(HEX)"};
constexpr BilingualText kEmulationLabel{"Emulation", "동작모드"};
constexpr BilingualText kDensityLabel{"Density", "인쇄농도"};
constexpr BilingualText kAutoCutLabel{"AutoCut", "자동절단기"};
constexpr BilingualText kSelfTestLabel{"SELF-TEST"};
constexpr BilingualText kKitchenBellLabel{"Kitchen Bell", "주방벨"};
constexpr BilingualText kUsbModeLabel{"USB mode", "USB동작"};
constexpr BilingualText kPaperSaveModeLabel{"Paper Save Mode", "용지절약모드"};
constexpr BilingualText kSleepModeLabel{"Sleep mode", "절전모드"};

// The model codes with fewer settings.
constexpr int kModelWithoutBell = 4;     // no kitchen bell, USB mode or sleep mode
constexpr int kModelWithFewOptions = 5;  // only paper save and sleep mode of the new options

// A control that can be changed only while another setting has one value.
struct Dependency {
    int V::*field;
    int V::*parent;
    int parentValue;
};
constexpr Dependency kDependencies[] = {
    {&V::columnChoice, &V::paperWidth, 1},    // the column count of 58mm paper
    {&V::twoColorDensity, &V::paperType, 1},  // the density of 2Color paper
    {&V::imageNumber, &V::waterMark, 1},      // the image of an enabled water mark
    {&V::lines, &V::cuttingAdjust, 1},        // the lines of the cutting adjustment
};

// Why a setting is not offered.
enum class Unavailable { No, Model, Language, Dependency };

std::vector<std::string> Texts(const auto& list) {
    return {list.begin(), list.end()};
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

Setting Choice(const char* name, BilingualText label, int number, int V::*field,
               std::vector<std::string> choices) {
    return {name, label, number, Kind::Choice, std::move(choices), 0, 0, field};
}

Setting Integer(const char* name, BilingualText label, int number, int V::*field, int min,
                int max) {
    return {name, label, number, Kind::Integer, {}, min, max, field};
}

template <std::size_t N>
bool OneOf(int V::*field, int V::*const (&fields)[N]) {
    return std::find(std::begin(fields), std::end(fields), field) != std::end(fields);
}

bool HiddenByModel(const Setting& s, int modelCode) {
    static constexpr int V::*kHidden[] = {&V::emulation, &V::density,  &V::kitchenBell,
                                          &V::autoCut,   &V::selfTest, &V::usbMode};
    return modelCode == kModelWithFewOptions && OneOf(s.field, kHidden);
}

bool FixedByModel(const Setting& s, int modelCode) {
    static constexpr int V::*kFixedSplit[] = {&V::nvGraphic, &V::nvUser};
    return modelCode == kModelWithFewOptions && OneOf(s.field, kFixedSplit);
}

bool ReservedByModel(const Setting& s, int modelCode) {
    static constexpr int V::*kReserved[] = {&V::kitchenBell, &V::bellType, &V::bellLength,
                                            &V::sleepMode, &V::usbMode};
    return modelCode == kModelWithoutBell && OneOf(s.field, kReserved);
}

bool ReservedByLanguage(const Setting& s, bool korean) {
    return !korean && s.field == &V::boldKoreanFont;
}

const Dependency* DependencyOf(const Setting& s) {
    for (const Dependency& d : kDependencies)
        if (d.field == s.field) return &d;
    return nullptr;
}

Unavailable Assess(const Setting& s, const SetupValues& values, int modelCode, bool korean,
                   SettingState& state) {
    state = SettingState{true, true, s.label};
    if (ReservedByModel(s, modelCode) || ReservedByLanguage(s, korean))
        state.label = setup::kReservedLabel;
    if (HiddenByModel(s, modelCode)) {
        state.visible = false;
        state.enabled = false;
        return Unavailable::Model;
    }
    if (FixedByModel(s, modelCode) || ReservedByModel(s, modelCode)) {
        state.enabled = false;
        return Unavailable::Model;
    }
    if (ReservedByLanguage(s, korean)) {
        state.enabled = false;
        return Unavailable::Language;
    }
    if (const Dependency* d = DependencyOf(s); d && values.*(d->parent) != d->parentValue) {
        state.enabled = false;
        return Unavailable::Dependency;
    }
    return Unavailable::No;
}

// "Paper Type" (two-color-density): the label and the name, to name a setting in a text.
std::string Named(const Setting& s, bool korean) {
    return "\"" + std::string(s.label.In(korean)) + "\" (" + s.name + ")";
}

// paper-width=58mm: the setting and value a dependent setting waits for.
std::string ParentText(const Dependency& d) {
    static const std::vector<Setting> kTable = SettingTable(Texts(setup::kBuiltInReceiveBuffers));
    for (const Setting& s : kTable) {
        if (s.field == d.parent && d.parentValue < static_cast<int>(s.choices.size()))
            return std::string(s.name) + "=" + s.choices[static_cast<std::size_t>(d.parentValue)];
    }
    return "";
}

std::string UnavailableText(const Setting& s, Unavailable why, bool korean) {
    switch (why) {
        case Unavailable::Model:
            return korean ? Named(s, true) + " 설정은 이 프린터 모델에서 변경할 수 없습니다."
                          : Named(s, false) + " cannot be changed on this printer model.";
        case Unavailable::Language:
            // Only a Korean printer has the bold Korean font; elsewhere the row is reserved.
            return Named(s, false) +
                   " is reserved: it can only be changed with the Korean "
                   "user interface.";
        case Unavailable::Dependency: {
            const std::string parent = ParentText(*DependencyOf(s));
            return korean ? Named(s, true) + " 설정은 " + parent + " 일 때만 변경할 수 있습니다."
                          : Named(s, false) + " can only be changed with " + parent + ".";
        }
        case Unavailable::No:
            break;
    }
    return "";
}

std::string RangeText(const Setting& s, const std::string& given) {
    std::string text = std::string(s.name) + " takes ";
    switch (s.kind) {
        case Kind::Hex:
            text += "1 to 8 hexadecimal digits";
            break;
        case Kind::Integer:
            text += "a number from " + std::to_string(s.min) + " to " + std::to_string(s.max);
            break;
        case Kind::Choice:
            text += "one of: ";
            for (std::size_t i = 0; i < s.choices.size(); ++i)
                text += (i ? ", " : "") + s.choices[i];
            break;
    }
    return text + ", not \"" + given + "\"";
}

bool InRange(const Setting& s, int value) {
    switch (s.kind) {
        case Kind::Hex:
            return true;
        case Kind::Integer:
            return value >= s.min && value <= s.max;
        case Kind::Choice:
            return value >= 0 && value < static_cast<int>(s.choices.size());
    }
    return false;
}

ChangeOutcome Refusal(Notice notice) {
    ChangeOutcome outcome;
    outcome.status = ChangeStatus::Refused;
    outcome.notices.push_back(std::move(notice));
    return outcome;
}

}  // namespace

std::vector<Setting> SettingTable(const std::vector<std::string>& receiveBuffers) {
    using namespace setup;
    std::vector<std::string> codePages;
    for (const auto& entry : CodePages()) codePages.push_back(std::to_string(entry.number));
    return {
        Choice("paper-width", kPaperWidthLabel, kPaperWidth, &V::paperWidth, {"80mm", "58mm"}),
        Choice("max-column", kPaperWidthLabel, kPaperWidth, &V::columnChoice, {"30", "32"}),
        Choice("paper-type", kPaperTypeLabel, kPaperType, &V::paperType, {"black", "2color"}),
        Choice("two-color-density", kPaperTypeLabel, kTwoColorDensity, &V::twoColorDensity,
               {"light", "medium", "dark"}),
        Choice("water-mark", kWaterMarkLabel, kWaterMark, &V::waterMark, {"disable", "enable"}),
        Integer("water-mark-image", kImageNumberLabel, kWaterMark, &V::imageNumber, 1, 255),
        Choice("cutting-adjust", kCuttingAdjustLabel, kCuttingAdjust, &V::cuttingAdjust,
               {"off", "on"}),
        Integer("cutting-lines", kLinesLabel, kCuttingAdjust, &V::lines, 0, 255),
        Choice("drawer-with-cutting", kDrawerWithCuttingLabel, kDrawerWithCutting,
               &V::drawerWithCutting, {"disable", "enable"}),
        Choice("bell-type", kBellTypeLengthLabel, kBellTypeLength, &V::bellType,
               {"bell", "melody-1", "melody-2", "melody-3", "other-bell"}),
        Choice("bell-length", kBellTypeLengthLabel, kBellTypeLength, &V::bellLength,
               Texts(kBellLengths)),
        Choice("code-page", kCodePageLabel, kCodePage, &V::codePage, codePages),
        Choice("nv-graphic-memory", kNvGraphicLabel, kNvGraphicMemory, &V::nvGraphic,
               Texts(kNvGraphicSizes)),
        Choice("nv-user-memory", kNvUserLabel, kNvUserMemory, &V::nvUser, Texts(kNvUserSizes)),
        Choice("cutting-mode", kCuttingModeLabel, kCuttingMode, &V::cuttingMode,
               {"partial", "full"}),
        Choice("max-print-speed", kPrintSpeedLabel, kPrintSpeed, &V::printSpeed,
               Texts(kPrintSpeeds)),
        Integer("left-margin", kLeftMarginLabel, kLeftMargin, &V::leftMargin, 0, 512),
        Choice("drawer-in-self-test", kDrawerInSelfTestLabel, kDrawerInSelfTest,
               &V::drawerInSelfTest, {"enable", "disable"}),
        Choice("bold-korean-font", kBoldKoreanFontLabel, kBoldKoreanFont, &V::boldKoreanFont,
               {"off", "on"}),
        Choice("receive-buffer", kReceiveBufferLabel, kReceiveBuffer, &V::receiveBuffer,
               receiveBuffers),
        Choice("stop-bit", kStopBitLabel, kStopBit, &V::stopBit, {"one", "two"}),
        Setting{"setup-code", kSetupCodeLabel, kSetupCode, Kind::Hex, {}, 0, 0, nullptr},
        Choice("emulation", kEmulationLabel, kEmulation, &V::emulation, {"epson", "star"}),
        Choice("density", kDensityLabel, kDensity, &V::density, {"1", "2", "3", "4"}),
        Choice("auto-cut", kAutoCutLabel, kAutoCut, &V::autoCut, {"on", "off"}),
        Choice("self-test", kSelfTestLabel, kSelfTest, &V::selfTest, {"self-test", "hexadump"}),
        Choice("kitchen-bell", kKitchenBellLabel, kKitchenBell, &V::kitchenBell, {"off", "on"}),
        Choice("usb-mode", kUsbModeLabel, kUsbMode, &V::usbMode, {"usb", "com"}),
        Choice("paper-save-mode", kPaperSaveModeLabel, kPaperSaveMode, &V::paperSaveMode,
               {"off", "lv1", "lv2"}),
        Choice("sleep-mode", kSleepModeLabel, kSleepMode, &V::sleepMode, {"0", "5", "10", "15"}),
    };
}

const Setting* FindSetting(const std::vector<Setting>& table, const std::string& name) {
    const std::string wanted = Lower(name);
    for (const Setting& s : table)
        if (wanted == s.name) return &s;
    return nullptr;
}

std::string FormatSetting(const Setting& setting, const SetupValues& values) {
    if (setting.kind == Kind::Hex) return values.setupCode;
    const int value = values.*setting.field;
    if (setting.kind == Kind::Integer) return std::to_string(value);
    if (value < 0 || value >= static_cast<int>(setting.choices.size())) return "-";
    return setting.choices[static_cast<std::size_t>(value)];
}

bool ParseSetting(const Setting& setting, const std::string& text, int& value, std::string& why) {
    switch (setting.kind) {
        case Kind::Hex: {
            const SetupCode code = ParseSetupCode(text);
            if (text.empty() || !code.valid) break;
            value = static_cast<int>(code.value);  // the 32-bit pattern
            return true;
        }
        case Kind::Integer: {
            const bool digits =
                !text.empty() && text.size() <= 6 &&
                std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
            if (!digits || !InRange(setting, std::stoi(text))) break;
            value = std::stoi(text);
            return true;
        }
        case Kind::Choice:
            for (std::size_t i = 0; i < setting.choices.size(); ++i) {
                if (Lower(text) == Lower(setting.choices[i])) {
                    value = static_cast<int>(i);
                    return true;
                }
            }
            break;
    }
    why = RangeText(setting, text);
    return false;
}

std::string DescribeSettings(const std::vector<Setting>& table) {
    std::string text;
    for (const Setting& s : table) {
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

SettingState StateOf(const Setting& setting, const SetupValues& values, int modelCode,
                     bool korean) {
    SettingState state;
    Assess(setting, values, modelCode, korean, state);
    return state;
}

SettingOffer OfferOf(const Setting& setting, const SetupValues& values, int modelCode,
                     bool korean) {
    SettingState state;
    switch (Assess(setting, values, modelCode, korean, state)) {
        case Unavailable::Model:
            return SettingOffer::NotOnModel;
        case Unavailable::Language:
            return SettingOffer::Language;
        case Unavailable::Dependency:
            return SettingOffer::Dependency;
        case Unavailable::No:
            break;
    }
    return SettingOffer::Offered;
}

std::string NotOfferedText(const Setting& setting, SettingOffer why, bool korean) {
    switch (why) {
        case SettingOffer::NotOnModel:
            return UnavailableText(setting, Unavailable::Model, korean);
        case SettingOffer::Language:
            return UnavailableText(setting, Unavailable::Language, korean);
        case SettingOffer::Dependency:
            return UnavailableText(setting, Unavailable::Dependency, korean);
        case SettingOffer::Offered:
            break;
    }
    return "";
}

ChangeOutcome ChangeSetting(SetupValues& values, const Setting& setting, int value, int modelCode,
                            bool korean, const AskOperator& ask) {
    SettingState state;
    if (const Unavailable why = Assess(setting, values, modelCode, korean, state);
        why != Unavailable::No)
        return Refusal(
            Notice::Literal(UnavailableText(setting, why, korean), MessageIcon::Exclamation));
    if (!InRange(setting, value)) {
        const std::string given = std::to_string(value);
        if (setting.field == &V::leftMargin) {
            Notice notice = Notice::Message(msg::kMarginRange, MessageIcon::Exclamation);
            notice.caption = texts::kNoticeCaption;
            return Refusal(notice);
        }
        return Refusal(Notice::Literal(RangeText(setting, given), MessageIcon::Exclamation));
    }

    ChangeOutcome outcome;
    auto set = [&](int V::*field, int to, int number) {
        values.*field = to;
        if (std::find(outcome.changed.begin(), outcome.changed.end(), number) ==
            outcome.changed.end())
            outcome.changed.push_back(number);
    };
    // Asks; false (with the change refused) when no one can be asked.
    std::optional<bool> answer;
    auto asked = [&](const char* text) {
        const Question question{text, texts::kNoticeCaption};
        answer = ask ? ask(question) : std::nullopt;
        if (answer) return true;
        Notice notice = Notice::Literal(text, MessageIcon::Question);
        notice.caption = texts::kNoticeCaption;
        outcome = Refusal(notice);
        outcome.unanswered = true;
        return false;
    };

    if (setting.kind == Kind::Hex) {
        values.setupCode = HexNumber(static_cast<std::uint32_t>(value));
        outcome.changed.push_back(setting.number);
        return outcome;
    }
    int V::*const field = setting.field;
    if (field == &V::waterMark && value == 1 && values.paperType == 1) {
        // A water mark cannot be printed on two-colour paper.
        if (!asked(setup::kSelectOneColor)) return outcome;
        if (*answer) {
            set(&V::waterMark, 1, setup::kWaterMark);
            set(&V::paperType, 0, setup::kPaperType);
        } else {
            set(&V::waterMark, 0, setup::kWaterMark);
            outcome.status = ChangeStatus::Declined;
        }
        return outcome;
    }
    if (field == &V::paperType && value == 1) {
        if (values.waterMark == 1) {
            if (!asked(setup::kDisableWaterMark)) return outcome;
            if (!*answer) {
                set(&V::paperType, 0, setup::kPaperType);
                outcome.status = ChangeStatus::Declined;
                return outcome;
            }
            set(&V::waterMark, 0, setup::kWaterMark);
        }
        set(&V::paperType, 1, setup::kPaperType);
        set(&V::twoColorDensity, 1, setup::kTwoColorDensity);  // MEDIUM
        return outcome;
    }

    set(setting.field, value, setting.number);
    // 58mm paper proposes the wider column count.
    if (field == &V::paperWidth && value == 1) set(&V::columnChoice, 1, setup::kPaperWidth);
    if (field == &V::stopBit) values.stopBitTouched = true;
    if (field == &V::nvUser || field == &V::nvGraphic) {
        if (!CheckNvBudget(values, field == &V::nvUser ? NvChange::User : NvChange::Graphic)) {
            outcome.status = ChangeStatus::Refused;
            outcome.notices.push_back(Notice::WithValue(msg::kNvBudget, setup::kNvBudgetKb));
        }
    }
    return outcome;
}

}  // namespace kp70
