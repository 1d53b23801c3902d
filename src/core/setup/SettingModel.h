#pragma once

// The user settings as the setup screen shows them and kp70ctl names them, which of them a
// printer model and the interface language offer, and the rules that tie them together.
// The screen and kp70ctl both change settings through ChangeSetting, so they refuse the
// same things with the same words.
//
//   const std::vector<Setting> table = SettingTable(LoadReceiveBufferList(profile, korean));
//   const Setting& bell = *FindSetting(table, "kitchen-bell");
//   const SettingState state = StateOf(bell, values, modelCode, korean);  // per control
//   ChangeOutcome change = ChangeSetting(values, bell, 1, modelCode, korean, ask);
//   for (const Notice& notice : change.notices) ...show it...

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/app/BilingualText.h"
#include "core/app/Outcome.h"
#include "core/setup/SetupValues.h"

namespace kp70 {

namespace setup {

// The label a row shows where the model or the language has no such setting.
inline constexpr BilingualText kReservedLabel{"Reserved"};

// The two questions of the paper type and water mark rule (water mark printing is
// impossible on two-colour paper), asked in a Yes/No box captioned "Notice".
inline constexpr const char* kSelectOneColor =
    "Water mark print is impossible in Two-color print mode.\nSelect One-color mode?";
inline constexpr const char* kDisableWaterMark =
    "Water mark print is impossible in Two-color print mode.\nDisable water mark function?";

}  // namespace setup

// One control of the setup screen: a radio pair, a list or a field, and the setting value
// it edits. A printer setting edited with two controls (paper width and column count,
// paper type and two-colour density, water mark and image number, cutting adjustment and
// lines, bell type and length) has an entry for each, sharing the setting number.
struct Setting {
    enum class Kind { Choice, Integer, Hex };

    const char* name;     // kp70ctl's name: the label in lower-case words joined by '-'
    BilingualText label;  // the screen label of the control's row, or the field's caption
    int number;           // the setting number: of the reply that reports it, of its item
    Kind kind;
    std::vector<std::string> choices;   // Choice: kp70ctl's value texts, by list position
    int min = 0;                        // Integer: the range
    int max = 0;                        //
    int SetupValues::*field = nullptr;  // Choice and Integer; Hex edits values.setupCode
};

// Every setting in the order of the screen: the left group top to bottom, then "New
// Option". A setting that others depend on comes before them (paper type before the
// two-colour density). receiveBuffers is the receive-buffer list of the profile.
std::vector<Setting> SettingTable(const std::vector<std::string>& receiveBuffers);

// The setting called name (any case), or nullptr.
const Setting* FindSetting(const std::vector<Setting>& table, const std::string& name);

// The value as kp70ctl shows it: the choice text, the number, the setup code; "-" for a
// choice that is unset.
std::string FormatSetting(const Setting& setting, const SetupValues& values);

// Reads kp70ctl's text for a setting: a choice text (any case), a number in the range, or
// 1 to 8 hexadecimal digits for the setup code (value then holds the 32-bit code). False,
// with `why` naming the setting and what it takes, for anything else.
bool ParseSetting(const Setting& setting, const std::string& text, int& value, std::string& why);

// The names and values for kp70ctl's help, one setting a line.
std::string DescribeSettings(const std::vector<Setting>& table);

// How the screen shows a setting's control for a printer model and interface language.
struct SettingState {
    bool visible = true;      // model code 5 has no emulation, density, kitchen bell, auto cut,
                              // self-test or USB mode
    bool enabled = true;      // it can be changed now
    BilingualText label{""};  // the label to show: the setting's own, or setup::kReservedLabel
};

// The state of a setting's control. Model code 5 hides six of the newer options and fixes
// the NV memory split; model code 4 has no kitchen bell, USB mode or sleep mode (their rows
// read "Reserved" and cannot be changed); without the Korean interface the bold Korean
// font row reads "Reserved" and cannot be changed. The column count can be changed only
// with 58mm paper, the two-colour density only with 2Color paper, the image number only
// with the water mark enabled and the lines only with the cutting adjustment ON.
SettingState StateOf(const Setting& setting, const SetupValues& values, int modelCode, bool korean);

// Why a setting can or cannot be changed now, for callers that treat the reasons apart
// (a restore refuses what the model lacks but passes over what depends on another setting).
enum class SettingOffer {
    Offered,     // it can be changed
    NotOnModel,  // the printer model has no such setting (hidden, fixed or reserved)
    Language,    // reserved without the Korean interface
    Dependency,  // it applies only with another setting's value (max-column with 58mm)
};
SettingOffer OfferOf(const Setting& setting, const SetupValues& values, int modelCode, bool korean);
// The refusal text ChangeSetting gives for a setting not offered for that reason.
std::string NotOfferedText(const Setting& setting, SettingOffer why, bool korean);

// A Yes/No question the rules put to the operator.
struct Question {
    const char* text;
    const char* caption;  // the box's caption, "Notice"
};

// Answers a question: Yes (true) or No (false); nullopt when no one can be asked, which
// refuses the change.
using AskOperator = std::function<std::optional<bool>(const Question&)>;

enum class ChangeStatus {
    Applied,   // the value was taken; the rules may have set other settings as well
    Declined,  // the operator answered No: the value was not taken, the rules set the
               // settings the answer asks for (see ChangeSetting)
    Refused,   // the value was not taken; the notices say why
};

struct ChangeOutcome {
    ChangeStatus status = ChangeStatus::Applied;
    std::vector<Notice> notices;  // to show, in order
    std::vector<int> changed;     // the setting numbers whose values this change set or unset
    bool unanswered = false;      // refused because a question could not be asked; the
                                  // question is the notice
};

// The operator chooses value for setting (a choice's list position, a number, or for the
// setup code its 32-bit value) with the rules between settings:
// - a setting StateOf does not offer now, or a value outside the setting's choices or
//   range, is refused with a notice naming the setting; nothing changes;
// - water mark Enable while the paper is 2Color asks setup::kSelectOneColor: Yes makes the
//   paper Black, No leaves the water mark Disable (Declined);
// - 2Color while the water mark is Enable asks setup::kDisableWaterMark: Yes disables the
//   water mark, No leaves the paper Black (Declined); when the paper stays 2Color the
//   two-colour density becomes MEDIUM;
// - 58mm proposes "32 Column"; choosing a stop bit marks it touched (the next write warns);
// - NV user plus graphic memory above 448 KB unsets the one just chosen and is Refused
//   with msg::kNvBudget (value 448).
// A question that cannot be asked refuses the change and leaves everything as it was.
ChangeOutcome ChangeSetting(SetupValues& values, const Setting& setting, int value, int modelCode,
                            bool korean, const AskOperator& ask);

}  // namespace kp70
