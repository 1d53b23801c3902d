#include "gui/app/MainMenuScreen.h"

#include "core/app/ModelCatalogue.h"

#include <QPushButton>
#include <QVBoxLayout>

#include "core/app/BilingualText.h"
#include "core/app/ConnectionSettings.h"
#include "core/transport/PrinterPort.h"
#include "gui/app/ToolLauncher.h"

namespace kp70 {

namespace {

constexpr BilingualText kLogoLabel{"&Logo Download", "로고 전송"};
constexpr BilingualText kSetupLabel{"&User Setup", "사용자 설정"};
constexpr BilingualText kFirmwareLabel{"&Firmware Download", "펌웨어 전송"};
constexpr BilingualText kBackLabel{"<< &Back  ", "<< 뒤로"};

}  // namespace

MainMenuScreen::MainMenuScreen(const ScreenServices& services, PrinterPort& port,
                               std::string& connectionSummary, ToolLauncher& tools, QWidget* parent)
    : QDialog(parent), m_services(services), m_port(port), m_tools(tools) {
    setWindowTitle(QString::fromUtf8(texts::kCaption));
    connectionSummary = BuildConnectionSummary(m_port.Settings());

    auto* layout = new QVBoxLayout(this);
    auto makeButton = [&](const char* name, const BilingualText& label) {
        auto* button = new QPushButton(m_services.Text(label), this);
        button->setObjectName(name);
        button->setAutoDefault(false);
        button->setMinimumWidth(200);
        layout->addWidget(button);
        return button;
    };
    m_logo = makeButton("logoButton", kLogoLabel);
    m_setup = makeButton("setupButton", kSetupLabel);
    m_firmware = makeButton("firmwareButton", kFirmwareLabel);
    m_back = makeButton("backButton", kBackLabel);

    // The oldest model (code 2) has no user setup.
    m_setup->setEnabled(models::HasUserSetup(m_port.Settings().modelCode));

    connect(m_logo, &QPushButton::clicked, this, &MainMenuScreen::OnLogoDownload);
    connect(m_setup, &QPushButton::clicked, this, &MainMenuScreen::OnUserSetup);
    connect(m_firmware, &QPushButton::clicked, this, &MainMenuScreen::OnFirmwareDownload);
    connect(m_back, &QPushButton::clicked, this, &MainMenuScreen::reject);
}

void MainMenuScreen::OnLogoDownload() {
    m_port.Settings().toolMode = kToolModeLogo;
    m_tools.LoadStoredLogoList();
    m_tools.OpenLogoTool(this);
}

void MainMenuScreen::OnUserSetup() {
    m_port.Settings().toolMode = kToolModeSetup;
    m_tools.OpenUserSetup(this);
}

void MainMenuScreen::OnFirmwareDownload() {
    m_port.Settings().toolMode = kToolModeFirmware;
    m_tools.OpenFirmwareTool(this, m_port.Settings().modelCode);
    // The firmware tools may leave the port open when they end on an error.
    if (m_port.isOpen()) m_port.Close();
}

}  // namespace kp70
