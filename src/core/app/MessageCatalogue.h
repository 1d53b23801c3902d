#pragma once

#include <string>

#include "core/app/Outcome.h"

namespace kp70 {

// The 63 numbered messages the program shows, in English and Korean (UTF-8). One
// selection, made when the connection screen initialises, decides the language.
class MessageCatalogue {
public:
    static constexpr int kCount = 63;

    // Korean when `korean` is true, English otherwise.
    void SelectLanguage(bool korean) { m_korean = korean; }
    bool IsKorean() const { return m_korean; }

    // The text of entry n in the selected language; "" for a number outside 0..62.
    std::string Message(int n) const;
    // Entry n with its one printf placeholder filled (entries 19, 33, 50: %d; 51: %s).
    std::string Format(int n, int value) const;
    std::string Format(int n, const std::string& value) const;
    // The text a notice shows in the selected language: its message (with its value) or
    // its own text, and its second line.
    std::string Text(const Notice& notice) const;

    static std::string English(int n);
    static std::string Korean(int n);

private:
    bool m_korean = false;
};

// One name for each catalogue entry. Entries that share a text (20 and 24, 44 and 47, the
// English of 34 and 59) stay separate entries with names of their own.
namespace msg {
inline constexpr int kInputOutputFileName = 0;      // "Input the output file name!"
inline constexpr int kCompleted = 1;                // "COMPLETED"
inline constexpr int kInitFail = 2;                 // "Init Fail"
inline constexpr int kFileOpenError = 3;            // "File open error!!"
inline constexpr int kNoExtendedFont = 4;           // "Error! Not found extened font data ..."
inline constexpr int kBaudrateNotSelected = 5;      // "Baudrate is not selected!"
inline constexpr int kDataLengthNotSelected = 6;    // "Data length is not selected!"
inline constexpr int kParityNotSelected = 7;        // "Parity type is not selected!"
inline constexpr int kFlowControlNotSelected = 8;   // "Flow control is not selected!"
inline constexpr int kInvalidDevice = 9;            // "Invalid Device!"
inline constexpr int kTurnOnUsbPrinter = 10;        // "Turn on your USB printer ..."
inline constexpr int kTooManyUsbDevices = 11;       // "... too many device connected!"
inline constexpr int kNoLptPort = 12;               // "Not exist LPT port on your system."
inline constexpr int kNoComPort = 13;               // "Not exist COM port on your system."
inline constexpr int kNoBitmapSelected = 14;        // "BMP file does not selected."
inline constexpr int kResetListQuestion = 15;       // "Reseting the file. \nContinue it?"
inline constexpr int kOutOfMemory = 16;             // "Out of memory."
inline constexpr int kUploadQuestion = 17;          // "All bit image files are written ..."
inline constexpr int kPortOpenError = 18;           // "ERROR : Port open."
inline constexpr int kOpenPortOrFile = 19;          // "ERROR[%d] - Open port or file."
inline constexpr int kPrinterCheck = 20;            // "ERROR : Printer check." (connect, init)
inline constexpr int kUploadComplete = 21;          // "Complete the NV bit image definition. ..."
inline constexpr int kWriteToPort = 22;             // "ERROR : Write to port."
inline constexpr int kDeleteAllQuestion = 23;       // "No file selected. ..."
inline constexpr int kPrinterStatusCheck = 24;      // "ERROR : Printer check." (status, delete)
inline constexpr int kSelectionIncorrect = 25;      // "NV image number is incorrect."
inline constexpr int kOverlappedWriteFailed = 26;   // "GetOverlappedResult (write) failed"
inline constexpr int kReceiveData = 27;             // "ERROR : Receive data."
inline constexpr int kComm = 28;                    // "ERROR : Comm."
inline constexpr int kPortNotOpened = 29;           // "Port is not opened!"
inline constexpr int kCreateEventRead = 30;         // "ERROR : CreateEvent for osRead."
inline constexpr int kCreateEventWrite = 31;        // "ERROR : CreateEvent for osWrite."
inline constexpr int kPrinterNotReady = 32;         // "ERROR : PRINTER IS NOT READY!"
inline constexpr int kLptWriteError = 33;           // "LPT Write Error[%d]"
inline constexpr int kUpdateComplete = 34;          // "Update Complete. ..." (firmware)
inline constexpr int kBootAreaQuestion = 35;        // "Are you sure the Boot area download?"
inline constexpr int kDownloaderAreaQuestion = 36;  // "... Downloader area download?"
inline constexpr int kExtFontAreaQuestion = 37;     // "... Ext.Font area download?"
inline constexpr int kNotFirmwareFile = 38;         // "ERROR : File is not firmware file!"
inline constexpr int kNoExtFontData = 39;           // "ERROR : File is not include Ext.font data."
inline constexpr int kWatchThreadFailed = 40;       // "ERROR : while creating ThreadWatchComm."
inline constexpr int kQueueReadFull = 41;           // "m_QueueRead FULL!"
inline constexpr int kCommunication = 42;           // "Communication error. Can not transimitted."
inline constexpr int kNoMoreFiles = 43;             // "Can't Read files any more!"
inline constexpr int kStoredFileIncorrect = 44;     // "Bitmap files that was defined ..."
inline constexpr int kBitmapNotSupported = 45;      // "It is not support bitmap format!"
inline constexpr int kAreaTooSmall = 46;            // "NV-bitimage area too small"
inline constexpr int kStoredFileTooBig = 47;        // "Bitmap files that was defined ..."
inline constexpr int kWriteFail = 48;               // "ERROR : Write Fail! ..."
inline constexpr int kDefaultsQuestion = 49;        // "Are you sure?(Y/N) ..."
inline constexpr int kNvBudget = 50;                // "Out of range the MAX NV memory Size! ..."
inline constexpr int kGrayNeedsEightBits = 51;      // "In the Gray Print mode, ... (%s)"
inline constexpr int kReceiveThreadFailed = 52;     // "ERROR : Cannot create receive thread!"
inline constexpr int kStopBitNotSelected = 53;      // "Stop Bit is not selected"
inline constexpr int kStopBitWarning = 54;          // "If you change the stop bit ..."
inline constexpr int kTcpPortRange = 55;            // "Please enter PORT number between ..."
inline constexpr int kSystemError = 56;             // "System Error. Please restart ..."
inline constexpr int kSearchFinished = 57;          // "The printer has finished searching."
inline constexpr int kChangeNetworkQuestion = 58;   // "Do you want to change the Network ..."
inline constexpr int kNetworkUpdateComplete = 59;   // "Update Complete. ..." (network)
inline constexpr int kReadFail = 60;                // "ERROR : Read Fail! ..."
inline constexpr int kMarginRange = 61;             // "Please input a value between 0 ~ 512."
inline constexpr int kIpRange = 62;                 // "Please enter IP address between 1 ~ 254."

// Whether the entry says that an operation is complete (kCompleted, kUploadComplete,
// kUpdateComplete, kNetworkUpdateComplete): the result of one that went well.
constexpr bool IsCompletion(int number) {
    return number == kCompleted || number == kUploadComplete || number == kUpdateComplete ||
           number == kNetworkUpdateComplete;
}
}  // namespace msg

// Window titles and fixed texts that are the same in both languages.
namespace texts {
inline constexpr const char* kConnectionTitle = "KP 70 Tool Ver 1.01";
inline constexpr const char* kCaption = "KP70 Tool";
// The caption of the notices and questions the tools add to the catalogue's messages.
inline constexpr const char* kNoticeCaption = "Notice";
inline constexpr const char* kLogoTitle = "KP 70 Tool : Image Logo Setup";
inline constexpr const char* kSetupTitle = "KP 70 Tool : User Setup";
inline constexpr const char* kFirmwareTitle = "KP 70 Tool : Firmware Download";
inline constexpr const char* kFirmware15Title = "KP 70 Tool : irmware Download";
inline constexpr const char* kUsbSummary = "KP 70\r\nUSB-II Interface";
inline constexpr const char* kSearchingTitle = "Searching for the printer";
}  // namespace texts

// "Please enter an integer between MIN and MAX." (the application's caption, a warning): a
// number field's value outside its range.
Notice IntegerRangeNotice(int min, int max);

}  // namespace kp70
