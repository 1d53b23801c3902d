#pragma once

#include <string>

#include "core/app/ModelCatalogue.h"

namespace kp70 {

// The logo tool's conversion options, one set per run.
struct LogoOptions {
    int divergingPoint = 128;    // 0..255: brightness control of the conversions
    int maxPrintableArea = 512;  // 1..512 dots: the width images are centred in
    bool grayPrinting = false;   // 4-bit gray images instead of monochrome dots
    bool starEmulation = false;  // every NV command but delete-all gets a leading ESC
    bool printToFile = false;    // send uploads to a file instead of the printer
    // Each file's "Auto Center Align Check" mark is the file's own (LogoEntry::center).

    // The defaults the wizard starts with: the area is 384 dots on the 384-dot model
    // (model code 2), else 512. The print-to-file choice is not touched.
    void ResetToDefaults(int modelCode) {
        ResetAreaAndDivergingPoint(modelCode);
        grayPrinting = false;
        starEmulation = false;
    }
    // What the Setup page puts back each time it is first shown: the model's area and the
    // middle diverging point.
    void ResetAreaAndDivergingPoint(int modelCode) {
        divergingPoint = 128;
        maxPrintableArea = models::PrintableDots(modelCode);
    }
    // The 384-dot model prints no gray images.
    static bool GrayOffered(int modelCode) { return models::PrintsGrayLogos(modelCode); }
};

// The Setup page's number fields and their ranges.
struct OptionRange {
    int min;
    int max;
};
inline constexpr OptionRange kPrintableAreaRange{1, 512};
inline constexpr OptionRange kDivergingPointRange{0, 255};

// Which entry of the Setup page was refused, with the range it must be in.
struct SetupEntriesCheck {
    enum class Field { None, PrintableArea, DivergingPoint };
    Field refused = Field::None;
    OptionRange range{0, 0};
    bool ok() const { return refused == Field::None; }
};

// Leaving the Setup page: the area and the diverging point are read from their texts
// (an integer, blanks around it and a sign allowed) and checked against their ranges, the
// area first. A refused entry changes nothing; otherwise the area, the diverging point and
// Star emulation take the values read.
SetupEntriesCheck ApplySetupEntries(LogoOptions& options, const std::string& areaText,
                                    const std::string& divergingText, bool starEmulation);

}  // namespace kp70
