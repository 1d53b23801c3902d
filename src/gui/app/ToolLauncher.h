#pragma once

class QWidget;

namespace kp70 {

// Opens the three tools of the main menu, each modally over the menu. The menu sets the
// tool mode before it calls one; the tools read the connection settings, the summary and
// the port themselves.
class ToolLauncher {
public:
    virtual ~ToolLauncher() = default;
    // Empties the logo tool's list and loads the list kept in the profile's "LOGO" section;
    // called by Logo Download just before OpenLogoTool.
    virtual void LoadStoredLogoList() = 0;
    virtual void OpenLogoTool(QWidget* parent) = 0;
    virtual void OpenUserSetup(QWidget* parent) = 0;
    // Model code 2 has a download tool of its own; the others get the F/W Update screen.
    virtual void OpenFirmwareTool(QWidget* parent, int modelCode) = 0;
};

}  // namespace kp70
