#pragma once

#include <string>

#include "gui/app/MainMenuRunner.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class PrinterPort;
class ToolLauncher;

// Builds a fresh MainMenuScreen each time the connection screen's OK asks for it and runs it
// modally.
class ModalMainMenuRunner : public MainMenuRunner {
public:
    ModalMainMenuRunner(const ScreenServices& services, PrinterPort& port,
                        std::string& connectionSummary, ToolLauncher& tools)
        : m_services(services), m_port(port), m_summary(connectionSummary), m_tools(tools) {}

    void RunMainMenu(QWidget* parent) override;

private:
    ScreenServices m_services;
    PrinterPort& m_port;
    std::string& m_summary;
    ToolLauncher& m_tools;
};

}  // namespace kp70
