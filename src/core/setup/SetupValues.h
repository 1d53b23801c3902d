#pragma once

#include <array>
#include <string>

namespace kp70 {

// The edited user settings, as the setup screen and the command line hold them. Every
// field is a radio choice (0 first, 1 second), a list position or a number; -1 (kUnset)
// means "not chosen": that setting is not written. Image number, lines, margin and the
// customize setup code are never unset.
struct SetupValues {
    static constexpr int kUnset = -1;

    int paperWidth = kUnset;         // 0 80mm, 1 58mm
    int columnChoice = kUnset;       // 0 "30 Column", 1 "32 Column"
    int paperType = kUnset;          // 0 Black, 1 2Color
    int twoColorDensity = kUnset;    // 0 LIGHT, 1 MEDIUM, 2 DARK
    int waterMark = kUnset;          // 0 Disable, 1 Enable
    int imageNumber = 1;             // 1..255 when written
    int cuttingAdjust = kUnset;      // 0 OFF, 1 ON
    int lines = 0;                   // 0..255 when written
    int drawerWithCutting = kUnset;  // 0 Disable, 1 Enable
    int bellType = kUnset;           // 0 Bell, 1..3 Melody 1..3, 4 Other Bell
    int bellLength = kUnset;         // position 0..4 = length 1..5
    int codePage = kUnset;           // code page list position 0..29
    int nvGraphic = kUnset;          // position 0..6 = 0..384 KB
    int nvUser = kUnset;             // position 0..4 = 64..320 KB
    int cuttingMode = kUnset;        // 0 Partial, 1 Full
    int boldKoreanFont = kUnset;     // 0 OFF, 1 ON
    int printSpeed = kUnset;         // position 0..3 = 220, 200, 180, 150 mm/sec
    int leftMargin = 0;              // dots, 0..512 when written
    int drawerInSelfTest = kUnset;   // 0 Enable, 1 Disable
    int stopBit = kUnset;            // 0 ONE, 1 TWO
    bool stopBitTouched = false;     // the next write warns about the stop bit
    std::string setupCode = "0";     // customize setup code, up to 8 hexadecimal digits
    int emulation = kUnset;          // 0 EPSON, 1 STAR
    int selfTest = kUnset;           // 0 Self-Test, 1 HexaDump
    int autoCut = kUnset;            // 0 ON, 1 OFF
    int usbMode = kUnset;            // 0 USB, 1 COM (virtual serial port)
    int kitchenBell = kUnset;        // 0 OFF, 1 ON
    int density = kUnset;            // position 0..3 = LEVEL 1..4
    int sleepMode = kUnset;          // position 0..3
    int paperSaveMode = kUnset;      // position 0..2
    int receiveBuffer = kUnset;      // position in the receive-buffer list

    // One flag per setting number: a reply for it was applied.
    std::array<bool, 256> received{};

    void ClearReceived() { received.fill(false); }
    // After a failed read or write the image number and lines go back to their start values.
    void ResetAfterFailure() {
        imageNumber = 1;
        lines = 0;
    }
};

// Puts the default of every setting into values (nothing is sent). The receive-buffer and
// drawer-in-self-test defaults depend on the language of the user interface. The stop bit
// becomes ONE and is marked touched, so the next write shows the stop-bit warning.
void LoadDefaults(SetupValues& values, bool korean);

// The NV memory budget: which of the two memory lists the operator just changed.
enum class NvChange { User, Graphic };

// Checks user plus graphic memory against the 448 KB budget after a change of one of them.
// When the sum is larger, the changed setting becomes unset and false is returned: the
// caller shows msg::kNvBudget with kNvBudgetKb.
bool CheckNvBudget(SetupValues& values, NvChange changed);

}  // namespace kp70
