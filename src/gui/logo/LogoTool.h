#pragma once

#include <string>
#include <vector>

#include "core/app/Outcome.h"
#include "gui/app/ScreenServices.h"
#include "gui/logo/LogoSheetContext.h"

class QWidget;

namespace kp70 {

class FileChooser;
class PrinterLinkFactory;

// The logo tool as main() plugs it into the main menu (AppToolLauncher::SetLogoTool): one
// list and one set of options for the whole run; the sheet over the program's links to the
// chosen printer. The objects given must outlive the tool.
class LogoTool {
public:
    LogoTool(const ScreenServices& services, PrinterLinkFactory& links,
             const std::string& connectionSummary, FileChooser& chooser);

    // Empties the list and loads the one kept in the profile ("LOGO", Logofile1,
    // Logofile2, ... up to the first missing or empty key). Its messages are shown when
    // the sheet opens.
    void LoadStoredList();
    // Shows the sheet modally over parent.
    void Open(QWidget* parent);

    LogoToolData& data() { return m_data; }

private:
    ScreenServices m_services;
    PrinterLinkFactory& m_links;
    const std::string& m_connectionSummary;
    FileChooser& m_chooser;
    LogoToolData m_data;
    std::vector<Notice> m_loadNotices;
};

}  // namespace kp70
