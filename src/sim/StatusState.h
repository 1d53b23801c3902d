#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kp70sim {

// The conditions the virtual printer reports in its real-time status answers (DLE EOT n)
// and in the parallel side's automatic status blocks. Set at start with --status and
// changed while it runs through the --control file.
struct StatusState {
    bool offline = false;
    bool coverOpen = false;
    bool paperEnd = false;
    bool paperNearEnd = false;
    bool feedButton = false;  // the feed button is held (paper being fed)
    bool mechanicalError = false;
    bool cutterError = false;
    bool unrecoverableError = false;
    bool autoRecoverableError = false;
    bool drawerPinHigh = true;  // no drawer attached reads high

    bool AnyError() const {
        return mechanicalError || cutterError || unrecoverableError || autoRecoverableError;
    }
    // The printer is off line when asked to be, and whenever the cover is open, the paper
    // has run out, the feed button is held or an error stopped it.
    bool EffectivelyOffline() const {
        return offline || coverOpen || paperEnd || feedButton || AnyError();
    }

    // The answer byte to DLE EOT n (n = 1..4); 0 for any other n.
    std::uint8_t Answer(int n) const;
    // The 4-byte automatic status block of the parallel side (14 00 00 0F when all is well).
    std::array<std::uint8_t, 4> Block() const;
    // The names of what is set, space separated ("ok" when nothing is).
    std::string Names() const;

    bool operator==(const StatusState&) const = default;
};

// Applies condition names in order to state: paper-end, paper-near-end, cover-open,
// offline, feed-button, mechanical-error, cutter-error, error (unrecoverable),
// auto-recoverable-error, drawer-low; "ok" clears every condition. False, with `why`, at
// the first unknown name.
bool ApplyStatusNames(const std::vector<std::string>& names, StatusState& state, std::string& why);

// The names in a control file's text: separated by blanks, commas or line breaks; '#' starts
// a comment to the end of the line.
std::vector<std::string> SplitStatusNames(const std::string& text);

}  // namespace kp70sim
