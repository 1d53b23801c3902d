#include "sim/StatusState.h"

#include <sstream>

namespace kp70sim {

std::uint8_t StatusState::Answer(int n) const {
    // Bits 1 and 4 are always set in an answer, bits 0 and 7 always clear.
    std::uint8_t byte = 0x12;
    switch (n) {
        case 1:
            if (drawerPinHigh) byte |= 0x04;
            if (EffectivelyOffline()) byte |= 0x08;
            if (feedButton) byte |= 0x40;
            return byte;
        case 2:
            if (coverOpen) byte |= 0x04;
            if (feedButton) byte |= 0x08;
            if (paperEnd) byte |= 0x20;
            if (AnyError()) byte |= 0x40;
            return byte;
        case 3:
            if (mechanicalError) byte |= 0x04;
            if (cutterError) byte |= 0x08;
            if (unrecoverableError) byte |= 0x20;
            if (autoRecoverableError) byte |= 0x40;
            return byte;
        case 4:
            // An empty roll has passed the near-end sensor too.
            if (paperNearEnd || paperEnd) byte |= 0x0C;
            if (paperEnd) byte |= 0x60;
            return byte;
        default:
            return 0;
    }
}

std::array<std::uint8_t, 4> StatusState::Block() const {
    std::array<std::uint8_t, 4> block = {0x10, 0x00, 0x00, 0x0F};
    if (drawerPinHigh) block[0] |= 0x04;
    if (EffectivelyOffline()) block[0] |= 0x08;
    if (coverOpen) block[0] |= 0x20;
    if (feedButton) block[0] |= 0x40;
    if (mechanicalError) block[1] |= 0x04;
    if (cutterError) block[1] |= 0x08;
    if (unrecoverableError) block[1] |= 0x20;
    if (autoRecoverableError) block[1] |= 0x40;
    if (paperNearEnd || paperEnd) block[2] |= 0x03;
    if (paperEnd) block[2] |= 0x0C;
    return block;
}

namespace {

struct NamedFlag {
    const char* name;
    bool StatusState::*flag;
};

constexpr NamedFlag kFlags[] = {
    {"offline", &StatusState::offline},
    {"cover-open", &StatusState::coverOpen},
    {"paper-end", &StatusState::paperEnd},
    {"paper-near-end", &StatusState::paperNearEnd},
    {"feed-button", &StatusState::feedButton},
    {"mechanical-error", &StatusState::mechanicalError},
    {"cutter-error", &StatusState::cutterError},
    {"error", &StatusState::unrecoverableError},
    {"auto-recoverable-error", &StatusState::autoRecoverableError},
};

}  // namespace

std::string StatusState::Names() const {
    std::string names;
    for (const auto& f : kFlags) {
        if (this->*f.flag) names += (names.empty() ? "" : " ") + std::string(f.name);
    }
    if (!drawerPinHigh) names += (names.empty() ? "" : " ") + std::string("drawer-low");
    return names.empty() ? "ok" : names;
}

bool ApplyStatusNames(const std::vector<std::string>& names, StatusState& state, std::string& why) {
    for (const auto& name : names) {
        if (name == "ok") {
            state = StatusState{};
            continue;
        }
        if (name == "drawer-low") {
            state.drawerPinHigh = false;
            continue;
        }
        bool found = false;
        for (const auto& f : kFlags) {
            if (name == f.name) {
                state.*f.flag = true;
                found = true;
            }
        }
        if (!found) {
            why = "unknown status '" + name +
                  "' (ok, offline, cover-open, paper-end, paper-near-end, feed-button, "
                  "mechanical-error, cutter-error, error, auto-recoverable-error, drawer-low)";
            return false;
        }
    }
    return true;
}

std::vector<std::string> SplitStatusNames(const std::string& text) {
    std::vector<std::string> names;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        line = line.substr(0, line.find('#'));
        for (char& c : line) {
            if (c == ',' || c == '\t' || c == '\r') c = ' ';
        }
        std::istringstream words(line);
        std::string word;
        while (words >> word) names.push_back(word);
    }
    return names;
}

}  // namespace kp70sim
