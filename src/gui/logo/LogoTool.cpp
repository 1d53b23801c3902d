#include "gui/logo/LogoTool.h"

#include "gui/app/NetworkConnectionDialog.h"
#include "gui/logo/CMyProperty.h"

namespace kp70 {

LogoTool::LogoTool(const ScreenServices& services, PrinterPort& port, NetworkLink& network,
                   const NetworkConnectionDialog& networkDialog,
                   const std::string& connectionSummary, FileChooser& chooser)
    : m_services(services),
      m_port(port),
      m_network(network),
      m_networkDialog(networkDialog),
      m_connectionSummary(connectionSummary),
      m_chooser(chooser) {}

void LogoTool::LoadStoredList() {
    m_data.list.ResetListCounters();
    m_loadNotices = m_data.list.LoadStoredList(m_services.profile);
}

void LogoTool::Open(QWidget* parent) {
    for (const Notice& notice : m_loadNotices) m_services.Show(parent, notice);
    m_loadNotices.clear();
    LogoSheetLinks links{m_port, m_network, m_networkDialog.printerAddress(),
                         m_networkDialog.printerTcpPort()};
    CMyProperty sheet(m_services, std::move(links), m_data, m_chooser, m_connectionSummary, parent);
    sheet.exec();
}

}  // namespace kp70
