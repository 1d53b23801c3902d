#include "core/setup/SetupValues.h"

#include <cstdlib>

#include "core/setup/SetupLists.h"

namespace kp70 {

void LoadDefaults(SetupValues& v, bool korean) {
    v.nvUser = 0;     // 64 KB
    v.nvGraphic = 6;  // 384 KB
    v.paperWidth = 0;
    v.columnChoice = 0;
    v.paperType = 0;
    v.twoColorDensity = 1;
    v.waterMark = 0;
    v.imageNumber = 1;
    v.cuttingAdjust = 0;
    v.lines = 0;
    v.drawerWithCutting = 0;
    v.bellType = 0;
    v.bellLength = 2;  // length 3
    v.codePage = 0;
    v.cuttingMode = 0;
    v.boldKoreanFont = 0;
    v.printSpeed = 0;
    v.leftMargin = 0;
    v.drawerInSelfTest = korean ? 0 : 1;
    v.receiveBuffer = korean ? 2 : 3;
    v.stopBit = 0;
    v.stopBitTouched = true;
    v.setupCode = "0";
    v.emulation = 0;
    v.kitchenBell = 0;
    v.autoCut = 0;
    v.selfTest = 0;
    v.density = 1;  // LEVEL 2
    v.usbMode = 0;
    v.sleepMode = 0;
    v.paperSaveMode = 0;
}

namespace {
int SizeKb(const char* const* list, int count, int position) {
    if (position < 0 || position >= count) return -1;
    return std::atoi(list[position]);
}
}  // namespace

bool CheckNvBudget(SetupValues& v, NvChange changed) {
    const int user = SizeKb(setup::kNvUserSizes.data(), setup::kNvUserSizes.size(), v.nvUser);
    const int graphic =
        SizeKb(setup::kNvGraphicSizes.data(), setup::kNvGraphicSizes.size(), v.nvGraphic);
    if (user < 0 || graphic < 0) return true;
    if (user + graphic <= setup::kNvBudgetKb) return true;
    if (changed == NvChange::User)
        v.nvUser = SetupValues::kUnset;
    else
        v.nvGraphic = SetupValues::kUnset;
    return false;
}

}  // namespace kp70
