#include "gui/logo/LogoTool.h"

#include "gui/logo/LogoSheetScreen.h"

namespace kp70 {

LogoTool::LogoTool(const ScreenServices& services, PrinterLinkFactory& links,
                   const std::string& connectionSummary, FileChooser& chooser)
    : m_services(services),
      m_links(links),
      m_connectionSummary(connectionSummary),
      m_chooser(chooser) {}

void LogoTool::LoadStoredList() {
    m_data.list.ResetListCounters();
    m_loadNotices = m_data.list.LoadStoredList(m_services.profile);
}

void LogoTool::Open(QWidget* parent) {
    for (const Notice& notice : m_loadNotices) m_services.Show(parent, notice);
    m_loadNotices.clear();
    LogoSheetScreen sheet(m_services, m_links, m_data, m_chooser, m_connectionSummary, parent);
    sheet.exec();
}

}  // namespace kp70
