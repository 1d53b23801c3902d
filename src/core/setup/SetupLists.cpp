#include "core/setup/SetupLists.h"

namespace kp70::setup {

const std::array<CodePageEntry, 30>& CodePages() {
    static const std::array<CodePageEntry, 30> kList = {{
        {0, "0| PC437 (USA, Std Europe)"},
        {1, "1| Katakana"},
        {2, "2| PC 850 (Multilingual)"},
        {3, "3| PC 860 (Portuguese)"},
        {4, "4| PC 863 (Canadian-French)"},
        {5, "5| PC 865 (Nordic)"},
        {14, "14| PC 737 (Greek)"},
        {16, "16| PC1252 (Windows CP)"},
        {17, "17| PC 866 (Cyrillic #2)"},
        {18, "18| PC 852 (Latin 2)"},
        {19, "19| PC 858 (West Euro)"},
        {21, "21| Thai 11"},
        {26, "26| Thai 18"},
        {27, "27| FARSI"},
        {33, "33| PC 775 (Baltic)"},
        {34, "34| PC 855 (Cyrillic)"},
        {36, "36| PC 862 (Hebrew)"},
        {37, "37| PC 864 (Arabic)"},
        {45, "45| WPC1250"},
        {46, "46| WPC 1251 (Cyrillic)"},
        {47, "47| WPC1253"},
        {49, "49| WPC1255"},
        {50, "50| WPC1256"},
        {51, "51| WPC 1257 (Baltic)"},
        {95, "95| TIS 620 (Thai)"},
        {96, "96| Thai 42"},
        {97, "97| Thai 14"},
        {98, "98| Thai 16"},
        {99, "99| IRAN SYSTEM (Arabic)"},
        {254, "254| SPACE PAGE"},
    }};
    return kList;
}

int CodePagePosition(int number) {
    const auto& list = CodePages();
    for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].number == number) return static_cast<int>(i);
    return -1;
}

const std::vector<int>& ReadListSerial() {
    static const std::vector<int> kList = {
        kPaperWidth,        kPaperType,       kTwoColorDensity,  kWaterMark,     kCuttingAdjust,
        kDrawerWithCutting, kBellTypeLength,  kCodePage,         kCuttingMode,   kBoldKoreanFont,
        kPrintSpeed,        kLeftMargin,      kDrawerInSelfTest, kReceiveBuffer, kStopBit,
        kNvUserMemory,      kNvGraphicMemory, kSetupCode};
    return kList;
}

const std::vector<int>& ReadListNetwork() {
    static const std::vector<int> kList = {
        kPaperWidth,        kPaperType,      kTwoColorDensity,  kWaterMark,     kCuttingAdjust,
        kDrawerWithCutting, kBellTypeLength, kCodePage,         kCuttingMode,   kBoldKoreanFont,
        kPrintSpeed,        kLeftMargin,     kDrawerInSelfTest, kReceiveBuffer, kNvUserMemory,
        kNvGraphicMemory,   kSetupCode};
    return kList;
}

const std::vector<int>& ReadListParallel() {
    static const std::vector<int> kList = {
        kNvUserMemory,  kNvGraphicMemory, kPaperWidth,        kPaperType,      kTwoColorDensity,
        kWaterMark,     kCuttingAdjust,   kDrawerWithCutting, kBellTypeLength, kCodePage,
        kCuttingMode,   kBoldKoreanFont,  kPrintSpeed,        kLeftMargin,     kDrawerInSelfTest,
        kReceiveBuffer, kSetupCode};
    return kList;
}

}  // namespace kp70::setup
