#pragma once

#include <functional>

#include "gui/app/ScreenServices.h"
#include "gui/app/ToolLauncher.h"

namespace kp70 {

// The ToolLauncher of the program: each tool's screen is plugged in by main() with one of
// the Set functions. A tool that is not plugged in says so in a message box instead of
// opening.
class AppToolLauncher : public ToolLauncher {
public:
    using Opener = std::function<void(QWidget* parent)>;
    using FirmwareOpener = std::function<void(QWidget* parent, int modelCode)>;

    explicit AppToolLauncher(const ScreenServices& services) : m_services(services) {}

    // loadStoredList empties the logo list and loads the profile's "LOGO" entries into it
    // (Logofile1, Logofile2, ... up to the first missing or empty one); open shows the sheet.
    void SetLogoTool(std::function<void()> loadStoredList, Opener open);
    void SetUserSetup(Opener open);
    void SetFirmwareTool(FirmwareOpener open);

    void LoadStoredLogoList() override;
    void OpenLogoTool(QWidget* parent) override;
    void OpenUserSetup(QWidget* parent) override;
    void OpenFirmwareTool(QWidget* parent, int modelCode) override;

private:
    void SayMissing(QWidget* parent, const char* tool);

    ScreenServices m_services;
    std::function<void()> m_loadStoredLogoList;
    Opener m_openLogoTool;
    Opener m_openUserSetup;
    FirmwareOpener m_openFirmwareTool;
};

}  // namespace kp70
