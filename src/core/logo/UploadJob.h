#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"

namespace kp70 {

class CancelToken;
class Clock;
class ErrorLog;
class PrinterLink;
class LogoList;
class Profile;
struct LogoOptions;

// What the upload window shows.
struct UploadProgress {
    std::string text;             // "Erasing..." or "Updating(sent/total)...name"
    std::int64_t bytesSent = 0;   // image data sent so far
    std::int64_t totalBytes = 0;  // listed sizes plus the columns centring added
    std::string fileName;         // the image being sent
    int step = 0;                 // 1-based number of that image, 0 while erasing
    int count = 0;                // images in the upload
    std::int64_t position = 0;    // progress bar position (bytesSent / 100; count + 1 at the end)
    std::int64_t range = 0;       // progress bar range 0..totalBytes / 100
};

struct UploadCallbacks {
    // Called after every change of the display, on the thread that runs the upload.
    std::function<void(const UploadProgress&)> progress;
};

// How the upload window ended, for the page that reports it and pads a cancelled definition.
struct UploadResult {
    bool cancelled = false;
    bool failed = false;
    int count = 0;                     // images the define command announced
    int imagesStarted = 0;             // images whose sending began
    int imagesSent = 0;                // images whose header and data all went out
    std::int64_t waitAfterCancel = 0;  // ms to wait after padding a cancelled definition
    // Failed on an image that could not be converted, with the link still up: the printer
    // waits for the images the define command announced, as after a cancel.
    bool definitionOpen = false;
    bool stored = false;  // the list was written to the profile
    std::vector<Notice> notices;
};

// Whether the printer can take the list as it is, before anything is sent: the data it
// would get (each image's encoded size in the options' mode, with the blank columns of the
// centred ones) must fit the NV graphics memory, msg::kAreaTooSmall. With readFiles every file is
// read again first, from the sizes it has now: a file removed or broken since it was
// listed is msg::kStoredFileIncorrect (45 for one no NV image can hold). The notice that refuses
// the upload, or none. Without readFiles it looks at the list alone, for a screen to ask before its
// question.
std::optional<Notice> CheckUpload(const LogoList& list, const LogoOptions& options, bool readFiles);

// Sends the whole list to the printer's NV graphics memory (the caller has connected and
// checked the printer): the define command, the erase wait (3500 ms, 5000 ms over the
// network), then per image in ascending number order the 4-byte header and the data in
// 512-byte chunks with a 10 ms pause after each, 10 ms between images. A cancel takes
// effect between images (a send the printer takes nothing of ends at once): the window
// waits twice the listed size of the last image in ms. A file that cannot be converted at
// its turn (gone, broken, or grown past what the memory has left) fails the upload with
// msg::kStoredFileIncorrect or msg::kAreaTooSmall before its header, the definition left open for
// FinishUpload to complete. A define command, header or data chunk the link does not take, or a
// link that does not deliver the last bytes, fails the upload with msg::kCommunication and log
// lines; only an upload the printer took whole stores the list in the profile (when one is given).
UploadResult RunUpload(PrinterLink& link, Clock& clock, ErrorLog* log, LogoList& list,
                       const LogoOptions& options, Profile* profile,
                       const UploadCallbacks& callbacks, const CancelToken& cancel);

// What the upload page does after the window: msg::kUploadComplete after success; after a cancel,
// n - started + 1 empty images (msg::kWriteToPort for each the link does not take), then the
// wait after cancel when none failed; after a failure nothing, unless an image could not be
// converted: then the same empty images from that image on, so the printer is not left
// waiting for image data. Notices go to result.
void FinishUpload(PrinterLink& link, Clock& clock, UploadResult& result, const CancelToken& cancel);

}  // namespace kp70
