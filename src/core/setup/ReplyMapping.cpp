#include "core/setup/ReplyMapping.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <limits>

#include "core/setup/SetupLists.h"
#include "core/setup/SetupValues.h"

namespace kp70 {

namespace {

using namespace setup;

// Reads a signed decimal number the way atoi does (leading blanks, a sign, digits up to
// the first other character), saturating instead of overflowing.
std::int64_t Decimal(const std::string& text, std::size_t from = 0) {
    std::size_t i = from;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 10 - 10;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < kLimit) value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

int ClampInt(std::int64_t v) {
    if (v > std::numeric_limits<int>::max()) return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min()) return std::numeric_limits<int>::min();
    return static_cast<int>(v);
}

char First(const std::string& text) {
    return text.empty() ? '\0' : text[0];
}

bool UsesTextBuffer(int number) {
    switch (number) {
        case kTwoColorDensity:
        case kWaterMark:
        case kCuttingAdjust:
        case kBellTypeLength:
        case kCodePage:
        case kPrintSpeed:
        case kLeftMargin:
            return true;
        default:
            return false;
    }
}

bool FlagDigit(const std::string& text) {
    return First(text) == '0' || First(text) == '1';
}

int ReceiveBufferPosition(const std::string& t) {
    if (t == "64") return 0;
    if (t == "32") return 1;
    if (t == "20") return 2;
    if (t == "04" || (First(t) == '4' && t.size() <= 2)) return 3;
    return -1;
}

}  // namespace

int MarginFromReply(const std::string& text) {
    const std::int64_t v = Decimal(text);
    std::int64_t margin = v;
    switch (text.size()) {
        case 4:
            margin = (v / 1000) * 256 + v % 1000;
            break;
        case 3:
            margin = (v / 100) * 256 + v % 100;
            break;
        case 2:
            margin = (v / 10) * 256 + v % 10;
            break;
        default:
            break;
    }
    return ClampInt(margin);
}

std::optional<SetupReply> MapReply(const SetupReply& reply) {
    SetupReply r = reply;
    if (UsesTextBuffer(r.number) && r.text.size() > kSettingTextLength)
        r.text.resize(kSettingTextLength);
    const std::string& t = r.text;
    switch (r.number) {
        case kNvUserMemory:
        case kNvGraphicMemory:
        case kTwoColorDensity:
        case kBellTypeLength:
        case kCodePage:
        case kPrintSpeed:
        case kLeftMargin:
        case kDrawerInSelfTest:
        case kStopBit:
        case kSetupCode:
            return r;
        case kPaperWidth:
            if (First(t) == '2' || First(t) == '3' || First(t) == '6') return r;
            return std::nullopt;
        case kPaperType:
            if (t == "1" || t == "257") return r;
            return std::nullopt;
        case kWaterMark:
        case kCuttingAdjust:
        case kDrawerWithCutting:
        case kCuttingMode:
        case kBoldKoreanFont:
            if (FlagDigit(t)) return r;
            return std::nullopt;
        case kReceiveBuffer:
            if (ReceiveBufferPosition(t) >= 0) return r;
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

bool IsCleanReply(const SetupReply& reply) {
    const std::string& t = reply.text;
    // "4" with one more character is a receive-buffer form the printer uses for 4 KB.
    if (reply.number == kReceiveBuffer) return ReceiveBufferPosition(t) >= 0;
    // The setup code comes as a signed number: codes from 80000000 up arrive negative.
    const std::size_t from = reply.number == kSetupCode && !t.empty() && t[0] == '-' ? 1 : 0;
    return t.size() > from && std::all_of(t.begin() + static_cast<std::ptrdiff_t>(from), t.end(),
                                          [](char c) { return c >= '0' && c <= '9'; });
}

bool ApplyReply(SetupValues& v, const SetupReply& reply) {
    const std::optional<SetupReply> mapped = MapReply(reply);
    if (!mapped) return false;
    const std::string& t = mapped->text;
    const char c = First(t);
    switch (mapped->number) {
        case kNvUserMemory:
            v.nvUser = c >= '1' && c <= '5' ? c - '1' : 0;
            break;
        case kNvGraphicMemory:
            v.nvGraphic = c >= '1' && c <= '6' ? c - '1' : 6;
            break;
        case kPaperWidth:
            v.paperWidth = c == '6' ? 0 : 1;
            v.columnChoice = c == '2' ? 0 : c == '3' ? 1 : SetupValues::kUnset;
            break;
        case kPaperType:
            v.paperType = t == "257" ? 1 : 0;
            break;
        case kTwoColorDensity: {
            const std::int64_t d = Decimal(t);
            v.twoColorDensity = d == 70 ? 0 : d == 100 ? 2 : 1;
            break;
        }
        case kWaterMark:
            // The reply carries the flag first and the image number after it.
            v.waterMark = c == '1' ? 1 : 0;
            if (c == '1') v.imageNumber = ClampInt(Decimal(t, 1));
            break;
        case kCuttingAdjust:
            v.cuttingAdjust = c == '1' ? 1 : 0;
            if (c == '1') v.lines = ClampInt(Decimal(t, 1));
            break;
        case kDrawerWithCutting:
            v.drawerWithCutting = c == '1' ? 1 : 0;
            break;
        case kBellTypeLength: {
            v.bellType = c == '1' ? 0 : c == '2' ? 1 : c == '3' ? 2 : c == '4' ? 3 : 4;
            // A length digit outside 1..5 leaves the length unset rather than pointing
            // outside the list; a write then proposes length 3.
            const char l = t.size() > 1 ? t[1] : '\0';
            v.bellLength = l >= '1' && l <= '5' ? l - '1' : SetupValues::kUnset;
            break;
        }
        case kCodePage: {
            const std::int64_t n = Decimal(t);
            v.codePage =
                n >= 0 && n <= 255 ? CodePagePosition(static_cast<int>(n)) : SetupValues::kUnset;
            break;
        }
        case kCuttingMode:
            v.cuttingMode = c == '1' ? 1 : 0;
            break;
        case kBoldKoreanFont:
            v.boldKoreanFont = c == '1' ? 0 : 1;  // "1" means the bold font is off
            break;
        case kPrintSpeed: {
            const std::int64_t s = Decimal(t);
            v.printSpeed = s == 150 ? 3 : s == 180 ? 2 : s == 200 ? 1 : 0;
            break;
        }
        case kLeftMargin:
            v.leftMargin = MarginFromReply(t);
            break;
        case kDrawerInSelfTest:
            v.drawerInSelfTest = c == '1' ? 1 : 0;
            break;
        case kReceiveBuffer:
            v.receiveBuffer = ReceiveBufferPosition(t);
            break;
        case kStopBit:
            v.stopBit = c == '0' ? 0 : 1;
            break;
        case kSetupCode: {
            // Read as a signed number; its 32-bit pattern is what the printer stores.
            char hex[16];
            std::snprintf(hex, sizeof hex, "%X", static_cast<std::uint32_t>(Decimal(t)));
            v.setupCode = hex;
            break;
        }
        default:
            return false;
    }
    v.received[static_cast<std::size_t>(mapped->number & 0xFF)] = true;
    return true;
}

}  // namespace kp70
