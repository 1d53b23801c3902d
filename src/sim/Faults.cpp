#include "sim/Faults.h"

#include <charconv>

namespace kp70sim {

namespace {

// A whole non-negative decimal number, at least `minimum`.
bool ReadCount(const std::string& text, long long minimum, long long& value) {
    if (text.empty()) return false;
    long long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < minimum) return false;
    value = v;
    return true;
}

}  // namespace

bool ParseFault(const std::string& faultText, FaultSet& faults, std::string& why) {
    const auto eq = faultText.find('=');
    const std::string name = faultText.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? faultText.substr(eq + 1) : "";
    long long number = 0;

    if (name == "refuse" || name == "silent" || name == "garbage" || name == "keep-status" ||
        name == "nak-last" || name == "repeat") {
        if (hasValue) {
            why = "fault '" + name + "' takes no value";
            return false;
        }
        if (name == "refuse") faults.refuse = true;
        if (name == "silent") faults.silent = true;
        if (name == "garbage") faults.garbage = true;
        if (name == "keep-status") faults.keepStatus = true;
        if (name == "nak-last") faults.nakLast = true;
        if (name == "repeat") faults.repeat = true;
        return true;
    }
    if (name == "drop-after" || name == "stall-after" || name == "nak-every" || name == "late") {
        const bool count = name == "drop-after" || name == "stall-after";
        const long long minimum = name == "late" || name == "stall-after" ? 0 : 1;
        const long long maximum = count ? (1LL << 50) : 3600000;
        if (!hasValue || !ReadCount(value, minimum, number) || number > maximum) {
            why = "fault '" + name + "' needs a whole number" +
                  (minimum > 0 ? " of at least 1" : "") + ", as in " + name + "=" +
                  (name == "late" ? "500" : "10");
            return false;
        }
        if (name == "drop-after") faults.dropAfter = number;
        if (name == "stall-after") faults.stallAfter = number;
        if (name == "nak-every") faults.nakEvery = static_cast<int>(number);
        if (name == "late") faults.lateMs = static_cast<int>(number);
        return true;
    }
    why = "unknown fault '" + faultText +
          "' (known: drop-after=N, stall-after=N, refuse, silent, nak-every=K, nak-last, "
          "late=MS, garbage, keep-status)";
    return false;
}

}  // namespace kp70sim
