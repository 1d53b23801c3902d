#pragma once

#include <array>

namespace kp70 {

// The logo tool's conversion options, one set per run.
struct LogoOptions {
    static constexpr int kMaxImages = 255;

    int divergingPoint = 128;    // 0..255: brightness control of the conversions
    int maxPrintableArea = 512;  // 1..512 dots: the width images are centred in
    bool grayPrinting = false;   // 4-bit gray images instead of monochrome dots
    bool starEmulation = false;  // every NV command but delete-all gets a leading ESC
    bool printToFile = false;    // send uploads to a file instead of the printer
    // One "Auto Center Align Check" mark per list position; they keep their values for the
    // rest of the run.
    std::array<bool, kMaxImages> autoCenter{};

    // The defaults the wizard starts with: the area is 384 dots on the 384-dot model
    // (model code 2), else 512. The marks and the print-to-file choice are not touched.
    void ResetToDefaults(int modelCode) {
        divergingPoint = 128;
        maxPrintableArea = modelCode == 2 ? 384 : 512;
        grayPrinting = false;
        starEmulation = false;
    }
};

}  // namespace kp70
