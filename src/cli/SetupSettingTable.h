#pragma once

#include <string>
#include <vector>

#include "core/setup/SetupValues.h"

namespace kp70 {

// One user setting as kp70ctl names it: the screen label in lower-case words joined by '-'
// (shortened where the label is long), its setting number and the values it takes.
struct CliSetting {
    enum class Kind { Choice, Integer, Hex };

    const char* name;
    const char* label;  // the screen label
    int number;         // the setting number (the reply that reports it)
    Kind kind;
    std::vector<std::string> choices;  // Choice: the value texts, by list position
    int min = 0;                       // Integer
    int max = 0;
    int SetupValues::*field = nullptr;  // Choice and Integer; Hex is the setup code
};

// Every setting, in the order of the screen's groups. The receive-buffer choices are the
// profile's list.
std::vector<CliSetting> SetupSettingTable(const std::vector<std::string>& receiveBuffers);

// The setting called name, or nullptr.
const CliSetting* FindSetting(const std::vector<CliSetting>& table, const std::string& name);

// The value of a setting as text ("-" when unset).
std::string FormatSetting(const CliSetting& setting, const SetupValues& values);

// Puts text into values as the screen would when the operator picks it. False, with `why`,
// when the text is not one of the setting's values (choices compare without case).
bool ParseSetting(const CliSetting& setting, const std::string& text, SetupValues& values,
                  std::string& why);

// The names and values for --help, one setting a line.
std::string DescribeSettings(const std::vector<CliSetting>& table);

}  // namespace kp70
