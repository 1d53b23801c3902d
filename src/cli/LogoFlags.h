#pragma once

// The logo conversion options that kp70ctl logo convert, logo upload and backup take, named
// after the logo sheet's Setup page, and the options they make: the Setup page's own rules
// (core's ApplySetupEntries) check them, so both refuse the same values with the same words.

#include <functional>
#include <string>

#include "core/logo/LogoOptions.h"

namespace CLI {
class App;
}

namespace kp70 {

class LogoList;
struct UploadProgress;
class Verb;

struct LogoFlags {
    bool gray = false;
    std::string diverging;  // as typed; empty: the Setup page's default
    std::string area;       // as typed; empty: the model's printable width
    bool star = false;
};

// --gray, --diverging and --area (--star is the verb's own, as it means more than one
// thing).
void AddLogoFlags(CLI::App& verb, LogoFlags& flags);

// The options for the model: the Setup page's defaults, then the values given. A value the
// page would refuse ends the verb with 2, and so does --gray for a model that prints no
// gray images.
LogoOptions LogoOptionsOf(const LogoFlags& flags, int modelCode, Verb& verb);

// --center POSITIONS: the files at those list positions are centred, the others not. A text
// that is no list of positions ends the verb with 2.
void CentreListed(LogoList& list, const std::string& positions, Verb& verb);

// An upload's progress as kp70ctl tells it: "image 2/5: logo.bmp" on stderr as the upload
// reaches each image.
std::function<void(const UploadProgress&)> ImageLines(Verb& verb);

}  // namespace kp70
