#pragma once

#include <QString>
#include <string>

#include "core/app/ConnectionSettings.h"
#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class FileChooser;

// What the logo tool keeps for the whole run: the one list and the one set of options
// (the print-to-file choice outlives the sheet; the list, each file with its mark, is
// emptied when the sheet closes and loaded from the profile when it opens).
struct LogoToolData {
    LogoList list;
    LogoOptions options;
    QString lastChosenPath;  // the Open File box proposes it
};

// Which page filled the list view last.
enum class PageMarker { None, Preview, Upload };

// What the sheet's pages share while the sheet is open.
struct LogoSheetContext {
    ScreenServices services;
    LogoToolData& data;
    // The port name (Print To File swaps it) and the model code.
    ConnectionSettings& settings;
    FileChooser& chooser;
    std::string connectionSummary;
    // The image number of the current row, -1 for none. Kept as a number, so the row of
    // the same file is current on every page whatever order a page shows.
    int currentNumber = -1;
    PageMarker marker = PageMarker::None;

    LogoList& list() { return data.list; }
    LogoOptions& options() { return data.options; }
    bool Korean() const { return services.Korean(); }
    QString Text(const BilingualText& text) const { return services.Text(text); }
    // The list position of image `number`, or -1.
    int PositionOf(int number) const {
        const auto& entries = data.list.Entries();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].number == number) return static_cast<int>(i);
        }
        return -1;
    }
};

}  // namespace kp70
