#pragma once

#include <QDialog>
#include <string>

#include "gui/app/ScreenServices.h"

class QPushButton;

namespace kp70 {

class PrinterPort;
class ToolLauncher;

// The small menu shown over the connection screen after OK: it builds the connection
// summary the tools show, sets the tool mode and opens one tool at a time. Back returns to
// the connection screen.
class MainMenuScreen : public QDialog {
    Q_OBJECT

public:
    // port holds the connection settings and is closed after the firmware tool if that left
    // it open; connectionSummary is rebuilt here for the tools to read.
    MainMenuScreen(const ScreenServices& services, PrinterPort& port,
                   std::string& connectionSummary, ToolLauncher& tools, QWidget* parent = nullptr);

private:
    void OnLogoDownload();
    void OnUserSetup();
    void OnFirmwareDownload();

    ScreenServices m_services;
    PrinterPort& m_port;
    ToolLauncher& m_tools;
    QPushButton* m_logo = nullptr;
    QPushButton* m_setup = nullptr;
    QPushButton* m_firmware = nullptr;
    QPushButton* m_back = nullptr;
};

}  // namespace kp70
