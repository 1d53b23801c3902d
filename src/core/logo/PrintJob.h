#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/app/Outcome.h"
#include "core/logo/NvCommands.h"

namespace kp70 {

class CancelToken;
class Clock;
class PrinterLink;

// What to print of the printer's stored NV images.
struct PrintRequest {
    bool all = true;          // images 1..255 in turn
    std::vector<int> images;  // when !all: the images to print, in order (SelectedImages)
    NvPrintMode mode = NvPrintMode::Normal;
    bool header = false;  // "--- Logo n ---" before each image
    bool starEmulation = false;
};

struct PrintProgress {
    std::string text;  // " ", then "Printing... n/255"
    int printed = 0;
    int range = 0;  // 255 when printing all, else the selection's count
};

struct PrintCallbacks {
    std::function<void(const PrintProgress&)> progress;
};

struct PrintResult {
    bool cancelled = false;
    bool failed = false;
    int printed = 0;
    std::vector<Notice> notices;
};

// Prints one image every 300 ms: [header line] [1B] 1C 70 n m. "All" always issues 255
// commands, numbered 1..255, whatever the printer holds. After the last image a 1000 ms
// pause. A header line or print command the link does not take, or a link that does not
// deliver the last of them, fails with message 42. The cancel is looked at before each
// image.
PrintResult RunPrint(PrinterLink& link, Clock& clock, const PrintRequest& request,
                     const PrintCallbacks& callbacks, const CancelToken& cancel);

}  // namespace kp70
