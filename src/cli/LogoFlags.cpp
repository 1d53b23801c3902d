#include "cli/LogoFlags.h"

#include <CLI/CLI.hpp>

#include "cli/Verb.h"
#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoList.h"
#include "core/logo/UploadJob.h"

namespace kp70 {

void AddLogoFlags(CLI::App& verb, LogoFlags& flags) {
    verb.add_flag("--gray", flags.gray, "Use Gray Printing: 4-bit gray images");
    verb.add_option("--diverging", flags.diverging,
                    "Black / White diverging point (0~255), default 128");
    verb.add_option("--area", flags.area,
                    "Max Printable Area in dots (1~512) that centred images use, default 512 "
                    "(384 on TALVO10)");
}

LogoOptions LogoOptionsOf(const LogoFlags& flags, int modelCode, Verb& verb) {
    LogoOptions options;
    options.ResetToDefaults(modelCode);
    const std::string area =
        flags.area.empty() ? std::to_string(options.maxPrintableArea) : flags.area;
    const std::string diverging =
        flags.diverging.empty() ? std::to_string(options.divergingPoint) : flags.diverging;
    const SetupEntriesCheck check = ApplySetupEntries(options, area, diverging, flags.star);
    if (!check.ok()) {
        const char* option =
            check.refused == SetupEntriesCheck::Field::PrintableArea ? "--area" : "--diverging";
        verb.Refuse(
            std::string(option) + ": " +
            NoticeText(verb.Context(), IntegerRangeNotice(check.range.min, check.range.max)));
    }
    if (flags.gray && !LogoOptions::GrayOffered(modelCode))
        verb.Refuse("TALVO10 printers cannot print gray images");
    options.grayPrinting = flags.gray;
    return options;
}

void CentreListed(LogoList& list, const std::string& positions, Verb& verb) {
    if (!list.CentrePositions(positions))
        verb.Refuse("--center wants list positions such as \"1,3-4\" (1 is the first file)");
}

std::function<void(const UploadProgress&)> ImageLines(Verb& verb) {
    return [&verb, lastStep = 0](const UploadProgress& p) mutable {
        if (p.step == lastStep || p.step <= 0) return;
        lastStep = p.step;
        verb.Tell("image " + std::to_string(p.step) + "/" + std::to_string(p.count) + ": " +
                  p.fileName);
    };
}

}  // namespace kp70
