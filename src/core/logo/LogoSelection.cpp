#include "core/logo/LogoSelection.h"

#include <algorithm>
#include <cstdlib>

namespace kp70 {

namespace {

// The decimal number at the start of text, read up to the first non-digit; 0 when empty.
// Saturates far above any image number.
int LeadingNumber(const std::string& text, std::size_t from = 0) {
    long long value = 0;
    for (std::size_t i = from; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), 1000000LL);
    }
    return static_cast<int>(value);
}

bool InRange(int n) {
    return n >= 1 && n <= 255;
}

std::string StripOuterCommas(std::string text) {
    if (!text.empty() && text.front() == ',') text.erase(0, 1);
    if (!text.empty() && text.back() == ',') text.pop_back();
    return text;
}

std::vector<std::string> Items(const std::string& text) {
    std::vector<std::string> items;
    std::size_t start = 0;
    for (;;) {
        const auto comma = text.find(',', start);
        items.push_back(text.substr(start, comma - start));
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return items;
}

}  // namespace

bool ValidateSelection(const std::string& text) {
    if (text.empty() || text == ",") return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || c == '-' || c == ',')) return false;
    }
    if (text.find(",,") != std::string::npos || text.find("--") != std::string::npos) return false;
    for (const std::string& item : Items(StripOuterCommas(text))) {
        const auto dash = item.find('-');
        if (dash == std::string::npos) {
            if (!InRange(LeadingNumber(item))) return false;
        } else if (!InRange(LeadingNumber(item)) || !InRange(LeadingNumber(item, dash + 1))) {
            return false;
        }
    }
    return true;
}

LogoSelection ParseSelection(const std::string& text) {
    LogoSelection selection;
    for (const std::string& item : Items(StripOuterCommas(text))) {
        const auto dash = item.find('-');
        if (dash == std::string::npos) {
            selection.tokens.push_back(LeadingNumber(item) + 256);
            selection.imageCount += 1;
        } else {
            const int a = LeadingNumber(item);
            const int b = LeadingNumber(item, dash + 1);
            selection.tokens.push_back(std::min(a, b));
            selection.tokens.push_back(std::max(a, b));
            selection.imageCount += std::abs(b - a) + 1;
        }
    }
    return selection;
}

std::vector<int> SelectedImages(const LogoSelection& selection) {
    std::vector<int> images;
    const std::vector<int>& t = selection.tokens;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] > 256) {
            images.push_back(t[i] - 256);
            continue;
        }
        const int first = t[i];
        const int last = i + 1 < t.size() ? t[++i] : first;
        for (int image = first; image <= last; ++image) images.push_back(image);
    }
    return images;
}

}  // namespace kp70
