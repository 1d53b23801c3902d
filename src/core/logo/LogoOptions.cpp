#include "core/logo/LogoOptions.h"

#include <cctype>
#include <optional>

namespace kp70 {

namespace {

// An integer field's text as a number: blanks around it and a sign allowed, nothing else.
std::optional<long> ReadInteger(const std::string& text) {
    std::size_t i = 0;
    auto blank = [&](std::size_t at) {
        return at < text.size() && std::isspace(static_cast<unsigned char>(text[at]));
    };
    while (blank(i)) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long value = 0;
    std::size_t digits = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i, ++digits) {
        if (value > 100000000) return std::nullopt;  // far out of every range
        value = value * 10 + (text[i] - '0');
    }
    while (blank(i)) ++i;
    if (digits == 0 || i != text.size()) return std::nullopt;
    return negative ? -value : value;
}

bool InRange(const std::optional<long>& value, OptionRange range) {
    return value && *value >= range.min && *value <= range.max;
}

}  // namespace

SetupEntriesCheck ApplySetupEntries(LogoOptions& options, const std::string& areaText,
                                    const std::string& divergingText, bool starEmulation) {
    SetupEntriesCheck check;
    const std::optional<long> area = ReadInteger(areaText);
    if (!InRange(area, kPrintableAreaRange)) {
        check.refused = SetupEntriesCheck::Field::PrintableArea;
        check.range = kPrintableAreaRange;
        return check;
    }
    const std::optional<long> diverging = ReadInteger(divergingText);
    if (!InRange(diverging, kDivergingPointRange)) {
        check.refused = SetupEntriesCheck::Field::DivergingPoint;
        check.range = kDivergingPointRange;
        return check;
    }
    options.maxPrintableArea = static_cast<int>(*area);
    options.divergingPoint = static_cast<int>(*diverging);
    options.starEmulation = starEmulation;
    return check;
}

}  // namespace kp70
