#pragma once

#include <functional>

#include "gui/app/ToolLauncher.h"

namespace kp70 {

// The ToolLauncher of the program: each tool's screen is plugged in by main() with one of
// the Set functions (a tool that is not plugged in does not open).
class AppToolLauncher : public ToolLauncher {
public:
    using Opener = std::function<void(QWidget* parent)>;
    using FirmwareOpener = std::function<void(QWidget* parent, int modelCode)>;

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
    std::function<void()> m_loadStoredLogoList;
    Opener m_openLogoTool;
    Opener m_openUserSetup;
    FirmwareOpener m_openFirmwareTool;
};

}  // namespace kp70
