#pragma once

#include <array>
#include <string>
#include <vector>

namespace kp70::setup {

// The setting numbers of the printer's user-setting memory (the "a" of GS ( E).
inline constexpr int kNvUserMemory = 0x01;
inline constexpr int kNvGraphicMemory = 0x02;
inline constexpr int kPaperWidth = 0x03;
inline constexpr int kPaperType = 0x74;
inline constexpr int kTwoColorDensity = 0x76;
inline constexpr int kEmulation = 0xCC;
inline constexpr int kKitchenBell = 0xCD;
inline constexpr int kAutoCut = 0xCE;
inline constexpr int kSelfTest = 0xCF;
inline constexpr int kDensity = 0xD0;
inline constexpr int kUsbMode = 0xD2;
inline constexpr int kSleepMode = 0xD4;
inline constexpr int kPaperSaveMode = 0xD5;
inline constexpr int kWaterMark = 0xF2;
inline constexpr int kCuttingAdjust = 0xF3;
inline constexpr int kDrawerWithCutting = 0xF4;
inline constexpr int kBellTypeLength = 0xF5;
inline constexpr int kCodePage = 0xF6;
inline constexpr int kCuttingMode = 0xF7;
inline constexpr int kBoldKoreanFont = 0xF8;
inline constexpr int kPrintSpeed = 0xF9;
inline constexpr int kLeftMargin = 0xFA;
inline constexpr int kDrawerInSelfTest = 0xFB;
inline constexpr int kReceiveBuffer = 0xFC;
inline constexpr int kStopBit = 0xFD;
inline constexpr int kSetupCode = 0xFF;

// One entry of the code page list: the printer's code page number and the text shown.
struct CodePageEntry {
    int number;
    const char* text;
};

// The 30 code pages offered, in list order.
const std::array<CodePageEntry, 30>& CodePages();
// The list position of the code page with this number, or -1.
int CodePagePosition(int number);

// The fixed lists, in list order.
inline constexpr std::array<const char*, 5> kNvUserSizes = {"64", "128", "192", "256", "320"};
inline constexpr std::array<const char*, 7> kNvGraphicSizes = {"0",   "64",  "128", "192",
                                                               "256", "320", "384"};
inline constexpr std::array<const char*, 2> kColumnChoices = {"30 Column", "32 Column"};
inline constexpr std::array<const char*, 3> kTwoColorDensities = {"LIGHT", "MEDIUM", "DARK"};
inline constexpr std::array<const char*, 5> kBellTypes = {"Bell", "Melody 1", "Melody 2",
                                                          "Melody 3", "Other Bell"};
inline constexpr std::array<const char*, 5> kBellLengths = {"1", "2", "3", "4", "5"};
inline constexpr std::array<const char*, 4> kPrintSpeeds = {"220", "200", "180", "150"};
inline constexpr std::array<int, 4> kPrintSpeedValues = {220, 200, 180, 150};
inline constexpr std::array<const char*, 4> kDensities = {"LEVEL 1", "LEVEL 2", "LEVEL 3",
                                                          "LEVEL 4"};
inline constexpr std::array<const char*, 4> kSleepModes = {"0 Min | OFF", "5 Min", "10 Min",
                                                           "15 Min"};
inline constexpr std::array<const char*, 3> kPaperSaveModes = {"OFF (Default)", "LV 1 (Recommend)",
                                                               "LV2"};
// The receive-buffer list used when the profile has none.
inline constexpr std::array<const char*, 4> kBuiltInReceiveBuffers = {"64", "32", "20", "4"};
// The two ASCII digits the write block carries for receive-buffer positions 0..3.
inline constexpr std::array<const char*, 4> kReceiveBufferCodes = {"64", "32", "20", "04"};

// The NV budget: user plus graphic memory, in KB, may not exceed this.
inline constexpr int kNvBudgetKb = 448;

// The settings read back, in the order their requests are sent over each port kind.
const std::vector<int>& ReadListSerial();    // COM and USB: 18 settings, stop bit included
const std::vector<int>& ReadListNetwork();   // 17 settings, without the stop bit
const std::vector<int>& ReadListParallel();  // 17 settings, without the stop bit

}  // namespace kp70::setup
