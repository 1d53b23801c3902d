#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"

namespace kp70 {

struct SetupValues;

// What BuildWriteBlock decided.
enum class WriteBlockStatus {
    Ready,           // bytes hold the block to send
    NothingToWrite,  // every setting unset, margin 0, code "0": send nothing, show nothing
    MarginRefused,   // margin outside 0..512: show message 61 ("Notice"), send nothing
    RangeRefused,    // image number or lines outside their range: send nothing
};

// The value a RangeRefused block names.
enum class RangeField { None, ImageNumber, Lines };

struct WriteBlock;

// What the operator is told about a block before anything is sent: a margin outside 0..512
// (msg::kMarginRange, "Notice"), an image number or a number of lines outside its range
// (IntegerRangeNotice), nothing for the other states.
std::optional<Notice> RefusalNotice(const WriteBlock& block);
// The stop-bit warning a block asks for (message 54, "Notice", information only).
Notice StopBitWarning();

struct WriteBlock {
    WriteBlockStatus status = WriteBlockStatus::NothingToWrite;
    std::vector<std::uint8_t> bytes;  // GS ( E pL pH 05 items..., when Ready
    bool usbModeIncluded = false;     // the block changes the USB mode: the printer restarts
                                      // as another device, so the port is not reopened
    bool stopBitWarning = false;      // show message 54 ("Notice", OK) before sending
    int message = -1;                 // 61 for MarginRefused
    RangeField rangeField = RangeField::None;
    int rangeValue = 0;  // the refused value
    int rangeMin = 0;
    int rangeMax = 0;
    std::vector<int> settings;  // the setting number of each item, in block order, when Ready
};

// Builds the GS ( E function 5 block from values, items in the printer's fixed order.
// It completes values as a write does: an unset two-colour density becomes MEDIUM, an
// unset bell length position 2 (length 3), an invalid setup code "0", and the stop-bit
// warning clears the touched flag. A receive-buffer position without a code writes no item.
WriteBlock BuildWriteBlock(SetupValues& values);

// The customize setup code: up to 8 hexadecimal digits (any case), first most significant;
// the empty text is 0. Anything else is invalid.
struct SetupCode {
    std::uint32_t value = 0;
    bool valid = false;
};
SetupCode ParseSetupCode(const std::string& text);

}  // namespace kp70
