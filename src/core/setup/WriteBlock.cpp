#include "core/setup/WriteBlock.h"

#include <cctype>

#include "core/app/MessageCatalogue.h"
#include "core/setup/SetupCommands.h"
#include "core/setup/SetupLists.h"
#include "core/setup/SetupValues.h"

namespace kp70 {

namespace {

using setup::Bytes;

bool IsSet(int value) {
    return value != SetupValues::kUnset;
}

bool EverythingUnset(const SetupValues& v) {
    const int fields[] = {
        v.paperWidth,    v.columnChoice,   v.paperType,         v.twoColorDensity,
        v.waterMark,     v.cuttingAdjust,  v.drawerWithCutting, v.bellType,
        v.bellLength,    v.codePage,       v.nvGraphic,         v.nvUser,
        v.cuttingMode,   v.boldKoreanFont, v.printSpeed,        v.drawerInSelfTest,
        v.stopBit,       v.emulation,      v.selfTest,          v.autoCut,
        v.usbMode,       v.kitchenBell,    v.density,           v.sleepMode,
        v.paperSaveMode, v.receiveBuffer};
    for (int f : fields)
        if (IsSet(f)) return false;
    return true;
}

void Item(Bytes& out, int number, int p1, int p2) {
    out.push_back(static_cast<std::uint8_t>(number));
    out.push_back(static_cast<std::uint8_t>(p1));
    out.push_back(static_cast<std::uint8_t>(p2));
}

WriteBlock Refuse(int value, RangeField field, int min, int max) {
    WriteBlock block;
    block.status = WriteBlockStatus::RangeRefused;
    block.rangeField = field;
    block.rangeValue = value;
    block.rangeMin = min;
    block.rangeMax = max;
    return block;
}

}  // namespace

SetupCode ParseSetupCode(const std::string& text) {
    SetupCode code;
    if (text.size() > 8) return code;
    for (char c : text) {
        const int u = std::toupper(static_cast<unsigned char>(c));
        int digit;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else
            return SetupCode{};
        code.value = code.value * 16 + static_cast<std::uint32_t>(digit);
    }
    code.valid = true;
    return code;
}

WriteBlock BuildWriteBlock(SetupValues& v) {
    using namespace setup;

    if (EverythingUnset(v) && v.leftMargin == 0 && v.setupCode == "0") return WriteBlock{};

    // Values that do not fit their item are refused, never wrapped into a byte.
    if (v.leftMargin < 0 || v.leftMargin > 512) {
        WriteBlock block;
        block.status = WriteBlockStatus::MarginRefused;
        block.message = msg::kMarginRange;
        block.rangeValue = v.leftMargin;
        block.rangeMin = 0;
        block.rangeMax = 512;
        return block;
    }
    if (v.waterMark == 1 && (v.imageNumber < 1 || v.imageNumber > 255))
        return Refuse(v.imageNumber, RangeField::ImageNumber, 1, 255);
    if (v.cuttingAdjust == 1 && (v.lines < 0 || v.lines > 255))
        return Refuse(v.lines, RangeField::Lines, 0, 255);

    WriteBlock block;
    block.status = WriteBlockStatus::Ready;
    if (IsSet(v.stopBit) && v.stopBitTouched) {
        block.stopBitWarning = true;
        v.stopBitTouched = false;
    }

    Bytes& out = block.bytes;
    out = {0x1D, 0x28, 0x45, 0x00, 0x00, 0x05};

    if (IsSet(v.paperSaveMode)) Item(out, kPaperSaveMode, v.paperSaveMode % 3, 0);
    if (IsSet(v.sleepMode)) Item(out, kSleepMode, v.sleepMode % 4, 0);
    if (IsSet(v.emulation)) Item(out, kEmulation, v.emulation == 0 ? 0x02 : 0x01, 0);
    if (IsSet(v.autoCut)) Item(out, kAutoCut, v.autoCut == 0 ? 0x01 : 0x02, 0);
    if (IsSet(v.kitchenBell)) Item(out, kKitchenBell, v.kitchenBell == 1 ? 0x01 : 0x02, 0);
    if (IsSet(v.selfTest)) Item(out, kSelfTest, v.selfTest == 0 ? 0x02 : 0x01, 0);
    if (IsSet(v.density)) Item(out, kDensity, v.density % 4 + 1, 0);
    if (IsSet(v.usbMode)) {
        Item(out, kUsbMode, v.usbMode == 0 ? 0x01 : 0x02, 0);
        block.usbModeIncluded = true;
    }
    if (IsSet(v.paperWidth)) {
        int p1 = 0x06;                                            // 80mm
        if (v.paperWidth == 1 && v.columnChoice == 0) p1 = 0x02;  // 58mm, "30 Column"
        if (v.paperWidth == 1 && v.columnChoice == 1) p1 = 0x03;  // 58mm, "32 Column"
        Item(out, kPaperWidth, p1, 0);
    }
    if (IsSet(v.paperType)) {
        Item(out, kPaperType, 0x01, v.paperType == 1 ? 0x01 : 0x00);
        if (!IsSet(v.twoColorDensity)) v.twoColorDensity = 1;
        const int m = v.twoColorDensity == 0 ? 70 : v.twoColorDensity == 2 ? 100 : 85;
        Item(out, kTwoColorDensity, m, 0);
    }
    if (IsSet(v.waterMark)) Item(out, kWaterMark, 0, v.waterMark == 1 ? v.imageNumber : 0);
    if (IsSet(v.cuttingAdjust))
        Item(out, kCuttingAdjust, v.cuttingAdjust == 1 ? 1 : 0, v.cuttingAdjust == 1 ? v.lines : 0);
    if (IsSet(v.drawerWithCutting)) Item(out, kDrawerWithCutting, 0, v.drawerWithCutting == 1);
    if (IsSet(v.bellType)) {
        if (!IsSet(v.bellLength)) v.bellLength = 2;
        static constexpr int kTypeCodes[] = {0x01, 0x02, 0x03, 0x04, 0x00};
        const int t = v.bellType >= 0 && v.bellType < 5 ? kTypeCodes[v.bellType] : 0x00;
        Item(out, kBellTypeLength, t, v.bellLength + 1);
    }
    if (IsSet(v.codePage) && v.codePage >= 0 && v.codePage < static_cast<int>(CodePages().size()))
        Item(out, kCodePage, CodePages()[v.codePage].number, 0);
    if (IsSet(v.nvUser)) Item(out, kNvUserMemory, v.nvUser + 1, 0);
    if (IsSet(v.nvGraphic)) Item(out, kNvGraphicMemory, v.nvGraphic + 1, 0);
    if (IsSet(v.cuttingMode)) Item(out, kCuttingMode, v.cuttingMode == 1 ? 0x01 : 0x00, 0x01);
    if (IsSet(v.printSpeed) && v.printSpeed >= 0 && v.printSpeed < 4) {
        const int speed = kPrintSpeedValues[v.printSpeed];
        Item(out, kPrintSpeed, speed & 0xFF, speed >> 8);
    }
    if (IsSet(v.boldKoreanFont)) Item(out, kBoldKoreanFont, v.boldKoreanFont == 0 ? 1 : 0, 0x01);
    if (IsSet(v.drawerInSelfTest))
        Item(out, kDrawerInSelfTest, v.drawerInSelfTest == 1 ? 1 : 0, 0x01);
    if (IsSet(v.stopBit)) Item(out, kStopBit, v.stopBit == 1 ? 1 : 0, 0x01);
    if (v.receiveBuffer >= 0 && v.receiveBuffer < static_cast<int>(kReceiveBufferCodes.size())) {
        const char* code = kReceiveBufferCodes[v.receiveBuffer];
        Item(out, kReceiveBuffer, code[0], code[1]);
    }
    Item(out, kLeftMargin, v.leftMargin & 0xFF, v.leftMargin >> 8);

    const SetupCode code = ParseSetupCode(v.setupCode);
    if (!code.valid) v.setupCode = "0";
    out.push_back(kSetupCode);
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(code.value >> shift));
    out.push_back(0x04);

    // Every item is three bytes but the setup code's six, which comes last.
    for (std::size_t at = 6; at < out.size(); at += out[at] == kSetupCode ? 6 : 3)
        block.settings.push_back(out[at]);

    const std::size_t length = out.size() - 5;  // the bytes after pH
    out[3] = static_cast<std::uint8_t>(length & 0xFF);
    out[4] = static_cast<std::uint8_t>(length >> 8);
    return block;
}

std::optional<Notice> RefusalNotice(const WriteBlock& block) {
    if (block.status == WriteBlockStatus::RangeRefused)
        return IntegerRangeNotice(block.rangeMin, block.rangeMax);
    if (block.status != WriteBlockStatus::MarginRefused) return std::nullopt;
    Notice notice = Notice::Message(block.message, MessageIcon::Exclamation);
    notice.caption = texts::kNoticeCaption;
    return notice;
}

Notice StopBitWarning() {
    Notice notice = Notice::Message(msg::kStopBitWarning, MessageIcon::Information);
    notice.caption = texts::kNoticeCaption;
    return notice;
}

}  // namespace kp70
