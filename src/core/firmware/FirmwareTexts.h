#pragma once

#include "core/app/BilingualText.h"

namespace kp70::firmwaretext {

// The F/W Update screen's own texts (not in the message catalogue).
inline constexpr const char* kFileOpenError = "ERROR : File Open";
inline constexpr const char* kFileSizeFormat = "FileSize (%d bytes) Error!";
inline constexpr const char* kWrongFile = "Wrong File!";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kShortRead = "ERROR : File Size Error";
inline constexpr const char* kAllocationFailed = "ERROR:Memory Allocation Fail.";
inline constexpr BilingualText kLcdFontQuestion{"Are you sure the LCD Font area download?",
                                                "LCD 폰트를 다운로드 하시겠습니까?"};
// The screen's caption while a transfer runs: the title and the percentage.
inline constexpr const char* kPercentFormat = " - %d %%";

// The TALVO10 download tool's captions.
inline constexpr const char* kErasing = "Erasing...";
inline constexpr const char* kErasingBase = "Erasing";
inline constexpr const char* kWritingFormat = "Writing...(%lX)";

// A TALVO10 download stopped after its erase packet: the printer's area is erased and
// stays so until it is downloaded again. The operator is asked before, and told after.
inline constexpr BilingualText kStopAfterEraseQuestion{
    "The area has already been erased. If you stop now it stays erased until it is "
    "downloaded again.\nStop the download?",
    "영역이 이미 지워졌습니다. 지금 멈추면 다시 다운로드할 때까지 지워진 상태로 남습니다.\n"
    "다운로드를 멈추시겠습니까?"};
inline constexpr BilingualText kErasedNotWritten{
    "The download was stopped: the area is erased and was not written. Download it again "
    "before the printer is switched off.",
    "다운로드가 중지되었습니다: 영역이 지워졌고 기록되지 않았습니다. 프린터를 끄기 전에 "
    "다시 다운로드하십시오."};

// File choosers.
inline constexpr const char* kImageFilter = "Firmware file(*.SHC)|*.SHC|ALL FILE(*.*)|*.*|";
inline constexpr const char* kBinaryFilter = "BINARY(*.bin)|*.bin|ALL FILE(*.*)|*.*|";

// Profile sections of the two tools, with the keys each keeps.
inline constexpr const char* kFwdn20Section = "FWDN20";
inline constexpr const char* kFwdn15Section = "FWDN15";
inline constexpr const char* kFolderKey = "FOLDER";
inline constexpr const char* kFileKey = "FILE";

}  // namespace kp70::firmwaretext
