// The setting model: what a model and the interface language offer, the rules between
// settings with the operator's answers, and which replies count as clean.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/app/MessageCatalogue.h"
#include "core/setup/ReplyMapping.h"
#include "core/setup/SettingModel.h"
#include "core/setup/SettingsCollector.h"
#include "core/setup/SetupLists.h"

namespace kp70 {
namespace {

using V = SetupValues;
using Fields = std::vector<std::pair<int V::*, int>>;

const std::vector<Setting>& Table() {
    static const std::vector<Setting> kTable = SettingTable({"64", "32", "20", "4"});
    return kTable;
}

const Setting& Named(const char* name) {
    const Setting* s = FindSetting(Table(), name);
    EXPECT_NE(s, nullptr) << name;
    return *s;
}

SetupValues With(const Fields& fields) {
    SetupValues v;
    for (const auto& [field, value] : fields) v.*field = value;
    return v;
}

TEST(ChangeSetting, RulesBetweenSettingsAskTheOperator) {
    using namespace setup;
    constexpr auto kApplied = ChangeStatus::Applied;
    constexpr auto kDeclined = ChangeStatus::Declined;
    constexpr auto kRefused = ChangeStatus::Refused;
    const std::optional<bool> kCannotAsk;
    struct Case {
        const char* what;
        Fields before;
        const char* setting;
        int value;
        const char* question;        // the one question asked, or nullptr
        std::optional<bool> answer;  // its answer
        ChangeStatus status;
        Fields after;
        std::vector<int> changed;
        int message = -1;          // the notice's catalogue number
        const char* literal = "";  // or a part of its text
        int model = 6;
        bool korean = false;
    };
    // clang-format off
    const Case cases[] = {
        {"water mark on 2Color, Yes: Black", {{&V::paperType, 1}, {&V::twoColorDensity, 2}}, "water-mark", 1,
         kSelectOneColor, true, kApplied, {{&V::waterMark, 1}, {&V::paperType, 0}, {&V::twoColorDensity, 2}}, {kWaterMark, kPaperType}},
        {"water mark on 2Color, No: water mark Disable", {{&V::paperType, 1}}, "water-mark", 1,
         kSelectOneColor, false, kDeclined, {{&V::waterMark, 0}, {&V::paperType, 1}}, {kWaterMark}},
        {"water mark on 2Color, nobody to ask: nothing changes", {{&V::paperType, 1}}, "water-mark", 1,
         kSelectOneColor, kCannotAsk, kRefused, {{&V::waterMark, -1}, {&V::paperType, 1}}, {}, -1, kSelectOneColor},
        {"2Color with water mark, Yes: water mark off, MEDIUM", {{&V::waterMark, 1}, {&V::twoColorDensity, 0}}, "paper-type", 1,
         kDisableWaterMark, true, kApplied, {{&V::paperType, 1}, {&V::waterMark, 0}, {&V::twoColorDensity, 1}},
         {kWaterMark, kPaperType, kTwoColorDensity}},
        {"2Color with water mark, No: back to Black, density kept", {{&V::waterMark, 1}, {&V::twoColorDensity, 0}}, "paper-type", 1,
         kDisableWaterMark, false, kDeclined, {{&V::paperType, 0}, {&V::waterMark, 1}, {&V::twoColorDensity, 0}}, {kPaperType}},
        {"2Color alone proposes MEDIUM", {{&V::twoColorDensity, 2}}, "paper-type", 1,
         nullptr, {}, kApplied, {{&V::paperType, 1}, {&V::twoColorDensity, 1}}, {kPaperType, kTwoColorDensity}},
        {"58mm proposes 32 columns", {{&V::columnChoice, 0}}, "paper-width", 1,
         nullptr, {}, kApplied, {{&V::paperWidth, 1}, {&V::columnChoice, 1}}, {kPaperWidth}},
        {"NV graphic 384 with user 128 is over budget", {{&V::nvUser, 1}, {&V::nvGraphic, 2}}, "nv-graphic-memory", 6,
         nullptr, {}, kRefused, {{&V::nvUser, 1}, {&V::nvGraphic, -1}}, {kNvGraphicMemory}, msg::kNvBudget},
        {"margin beyond 512", {}, "left-margin", 513,
         nullptr, {}, kRefused, {{&V::leftMargin, 0}}, {}, msg::kMarginRange},
        {"column count of 80mm paper", {{&V::paperWidth, 0}}, "max-column", 0, nullptr, {}, kRefused, {{&V::columnChoice, -1}}, {}, -1,
         "\"Paper Width & Max. Column\" (max-column) can only be changed with paper-width=58mm."},
        {"kitchen bell of model 4", {}, "kitchen-bell", 1, nullptr, {}, kRefused, {{&V::kitchenBell, -1}}, {}, -1,
         "\"Kitchen Bell\" (kitchen-bell) cannot be changed on this printer model.", 4},
        {"bold font without the Korean interface", {}, "bold-korean-font", 1,
         nullptr, {}, kRefused, {{&V::boldKoreanFont, -1}}, {}, -1, "Korean user interface"},
        {"bold font with it", {}, "bold-korean-font", 1,
         nullptr, {}, kApplied, {{&V::boldKoreanFont, 1}}, {kBoldKoreanFont}, -1, "", 6, true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetupValues values = With(c.before);
        std::vector<std::string> asked;
        const AskOperator ask = [&](const Question& q) {
            asked.push_back(q.text);
            EXPECT_STREQ(q.caption, "Notice");
            return c.answer;
        };
        const ChangeOutcome outcome =
            ChangeSetting(values, Named(c.setting), c.value, c.model, c.korean, ask);
        EXPECT_EQ(asked,
                  c.question ? std::vector<std::string>{c.question} : std::vector<std::string>{});
        EXPECT_EQ(outcome.status, c.status);
        for (const auto& [field, value] : c.after) EXPECT_EQ(values.*field, value);
        EXPECT_EQ(outcome.changed, c.changed);
        EXPECT_EQ(outcome.unanswered, c.question && !c.answer);
        ASSERT_EQ(outcome.notices.size(), c.message >= 0 || *c.literal ? 1u : 0u);
        if (c.message >= 0) {
            EXPECT_EQ(outcome.notices[0].number, c.message);
        }
        if (*c.literal) {
            EXPECT_NE(outcome.notices[0].literal.find(c.literal), std::string::npos)
                << outcome.notices[0].literal;
        }
    }

    // The NV budget names its limit; a stop bit is marked for the write's warning; the
    // setup code is kept as its hexadecimal text.
    SetupValues values = With({{&V::nvUser, 4}});
    const auto nv = ChangeSetting(values, Named("nv-graphic-memory"), 3, 6, false, nullptr);
    EXPECT_EQ(nv.notices[0], Notice::WithValue(msg::kNvBudget, 448));
    ChangeSetting(values, Named("stop-bit"), 1, 6, false, nullptr);
    EXPECT_TRUE(values.stopBitTouched);
    ChangeSetting(values, Named("setup-code"), 0x1A2B, 6, false, nullptr);
    EXPECT_EQ(values.setupCode, "1A2B");
}

TEST(StateOf, ModelLanguageAndDependencies) {
    struct Case {
        const char* setting;
        int model;
        bool korean;
        Fields values;
        bool visible, enabled;
        const char* label;
    };
    const Case cases[] = {
        {"emulation", 6, false, {}, true, true, "Emulation"},
        {"emulation", 5, false, {}, false, false, "Emulation"},
        {"usb-mode", 5, false, {}, false, false, "USB mode"},
        {"paper-save-mode", 5, false, {}, true, true, "Paper Save Mode"},
        {"sleep-mode", 5, false, {}, true, true, "Sleep mode"},
        {"nv-user-memory", 5, false, {}, true, false, "NV User Memory Size"},
        {"nv-graphic-memory", 4, false, {}, true, true, "NV Graphic Memory Size"},
        {"sleep-mode", 4, false, {}, true, false, "Reserved"},
        {"bell-length", 4, false, {}, true, false, "Reserved"},
        {"kitchen-bell", 4, true, {}, true, false, "Reserved"},
        {"usb-mode", 4, false, {}, true, false, "Reserved"},
        {"emulation", 4, true, {}, true, true, "동작모드"},
        {"bold-korean-font", 6, false, {}, true, false, "Reserved"},
        {"bold-korean-font", 6, true, {}, true, true, "Bold Korean Font"},
        {"max-column", 6, false, {{&V::paperWidth, 0}}, true, false, "Paper Width & Max. Column"},
        {"max-column", 6, false, {{&V::paperWidth, 1}}, true, true, "Paper Width & Max. Column"},
        {"two-color-density", 6, false, {}, true, false, "Paper Type"},
        {"two-color-density", 6, true, {{&V::paperType, 1}}, true, true, "용지 종류"},
        {"water-mark-image", 6, false, {{&V::waterMark, 0}}, true, false, "Image#"},
        {"cutting-lines", 6, false, {{&V::cuttingAdjust, 1}}, true, true, "Lines"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.setting) + " model " + std::to_string(c.model) +
                     (c.korean ? " Korean" : ""));
        const SettingState state = StateOf(Named(c.setting), With(c.values), c.model, c.korean);
        EXPECT_EQ(state.visible, c.visible);
        EXPECT_EQ(state.enabled, c.enabled);
        EXPECT_STREQ(state.label.In(c.korean), c.label);
    }
}

TEST(CleanReplies, GarbledTextIsAppliedButNeverClean) {
    const struct {
        int number;
        const char* text;
        bool clean;
    } cases[] = {
        {250, "144", true},  {250, "?\x7F#", false}, {246, "16", true}, {246, "", false},
        {255, "6699", true}, {255, "-1", true},      {255, "-", false}, {255, "12ab", false},
        {2, "7", true},      {252, "04", true},      {252, "4", true},  {118, " 85", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsCleanReply(SetupReply{c.number, c.text}), c.clean) << c.number << c.text;

    // The garbled margin still maps onto 0 dots: the collector keeps the value but says it
    // did not come back clean, as it says of a setting with no reply at all.
    SettingsCollector collector;
    collector.OnSettingReceived(SetupReply{setup::kLeftMargin, "?\x7F#"});
    collector.OnSettingReceived(SetupReply{setup::kCodePage, "16"});
    EXPECT_EQ(collector.Values().leftMargin, 0);
    EXPECT_EQ(collector.Unclean({setup::kLeftMargin, setup::kCodePage, setup::kSetupCode}),
              (std::vector<int>{setup::kLeftMargin, setup::kSetupCode}));
    // A clean reply repeated for it (the parallel port asks again) makes it clean; a reply
    // the mapping ignores changes nothing.
    collector.OnSettingReceived(SetupReply{setup::kLeftMargin, "144"});
    collector.OnSettingReceived(SetupReply{setup::kPaperType, "?"});
    EXPECT_EQ(collector.Unclean({setup::kLeftMargin, setup::kCodePage}), std::vector<int>{});
    EXPECT_EQ(collector.Unclean({setup::kPaperType}), std::vector<int>{setup::kPaperType});
}

}  // namespace
}  // namespace kp70
