#pragma once

#include "core/app/Outcome.h"

namespace kp70 {

// A message of the logo tool is a Notice like every other.
using LogoMessage = Notice;

// Message numbers of the logo tool.
namespace logomsg {
inline constexpr int kOutOfMemory = 16;
inline constexpr int kUploadQuestion = 17;
inline constexpr int kPortOpen = 18;
inline constexpr int kOpenPortOrFile = 19;
inline constexpr int kPrinterCheck = 20;
inline constexpr int kUploadComplete = 21;
inline constexpr int kWriteToPort = 22;
inline constexpr int kDeleteAllQuestion = 23;
inline constexpr int kDeletePrinterCheck = 24;
inline constexpr int kSelectionIncorrect = 25;
inline constexpr int kCommunication = 42;
inline constexpr int kNoMoreFiles = 43;
inline constexpr int kStoredFileIncorrect = 44;
inline constexpr int kNotSupported = 45;
inline constexpr int kAreaTooSmall = 46;
inline constexpr int kStoredFileTooBig = 47;
}  // namespace logomsg

}  // namespace kp70
