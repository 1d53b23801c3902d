#include "gui/app/AppToolLauncher.h"

#include <utility>

namespace kp70 {

void AppToolLauncher::SetLogoTool(std::function<void()> loadStoredList, Opener open) {
    m_loadStoredLogoList = std::move(loadStoredList);
    m_openLogoTool = std::move(open);
}

void AppToolLauncher::SetUserSetup(Opener open) {
    m_openUserSetup = std::move(open);
}

void AppToolLauncher::SetFirmwareTool(FirmwareOpener open) {
    m_openFirmwareTool = std::move(open);
}

void AppToolLauncher::LoadStoredLogoList() {
    if (m_loadStoredLogoList) m_loadStoredLogoList();
}

void AppToolLauncher::OpenLogoTool(QWidget* parent) {
    if (m_openLogoTool) m_openLogoTool(parent);
}

void AppToolLauncher::OpenUserSetup(QWidget* parent) {
    if (m_openUserSetup) m_openUserSetup(parent);
}

void AppToolLauncher::OpenFirmwareTool(QWidget* parent, int modelCode) {
    if (m_openFirmwareTool) m_openFirmwareTool(parent, modelCode);
}

}  // namespace kp70
