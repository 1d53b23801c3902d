#pragma once

#include <string>

namespace kp70 {

// The icon a message box shows.
enum class MessageIcon { None, Exclamation, Question, Stop };

// A catalogue message the screen or the CLI shows to the operator. Core never shows
// anything itself: it returns these.
struct LogoMessage {
    int number = 0;
    MessageIcon icon = MessageIcon::None;
    bool hasValue = false;  // the %d of message 19
    int value = 0;
    std::string detail;  // technical detail for the CLI and the log (not part of the text)

    friend bool operator==(const LogoMessage& a, const LogoMessage& b) {
        return a.number == b.number && a.icon == b.icon && a.hasValue == b.hasValue &&
               a.value == b.value;
    }
};

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
