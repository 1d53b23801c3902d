// kp70tool: builds the long-lived objects (the printer port with the connection settings,
// the network connection screen with its socket, the error log, the catalogue in the
// locale's language), then shows the connection screen modally; the program ends when that
// screen is cancelled.
#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/app/ErrorLog.h"
#include "core/app/FileLocations.h"
#include "core/app/Language.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/network/DiscoveryFrame.h"
#include "gui/app/AppToolLauncher.h"
#include "gui/app/ConnectionScreen.h"
#include "gui/app/ExtraPortsEnumerator.h"
#include "gui/app/FileChooser.h"
#include "gui/app/GuiNotifier.h"
#include "gui/app/KeyboardState.h"
#include "gui/app/ModalMainMenuRunner.h"
#include "gui/app/NetworkConnectionScreen.h"
#include "gui/app/PrintToFileDialog.h"
#include "gui/app/Prompter.h"
#include "gui/app/ScreenServices.h"
#include "gui/app/StartupProbe.h"
#include "gui/firmware/FirmwareTool.h"
#include "gui/logo/LogoTool.h"
#include "gui/network/NetworkSettingTool.h"
#include "gui/setup/UserSetupTool.h"
#include "image/StbImageDecoder.h"
#include "platform/CPorts.h"
#include "platform/DurableFiles.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemClock.h"
#include "platform/SystemLinkFactory.h"
#include "platform/UdevDeviceEnumerator.h"
#include "platform/WifiPlugin.h"

namespace {

std::string CurrentDirectory() {
    char buffer[4096];
    return getcwd(buffer, sizeof buffer) ? buffer : "";
}

// --version and --help answer before Qt starts, so they work without a display.
bool AnsweredWithoutWindow(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("kp70tool %s\n", KP70_VERSION_TEXT);
            return true;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf(
                "kp70tool: the desktop tool for KP70 thermal receipt printers\n"
                "Usage: kp70tool [--version] [--help] [Qt options]\n"
                "It starts on the connection screen; see kp70tool(1) and kp70ctl(1).\n");
            return true;
        }
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (AnsweredWithoutWindow(argc, argv)) return 0;
    QApplication app(argc, argv);
    // Logo files may be PNG, JPEG or GIF as well as bitmaps.
    kp70::InstallStandardImageDecoders();

    kp70::SystemClock clock;
    kp70::InstallDurableSaves();
    // The profile and error log stay in the start directory when a profile is there, else
    // they go to the user's XDG folders; kp70ctl uses the same files.
    const kp70::FileLocations files = kp70::PrepareFileLocations(CurrentDirectory());
    kp70::Profile profile(files.profilePath);
    kp70::MessageCatalogue catalogue;
    catalogue.SelectLanguage(kp70::IsKoreanEnvironment());
    // "error.log", emptied at each start.
    kp70::ErrorLog log(clock);
    log.Open(files.errorLogPath, kp70::ErrorLog::Mode::Truncate);
    log.LogLine("ERROR LOG : Tool - Ver %d.%d.%d.%d", KP70_VERSION_MAJOR, KP70_VERSION_MINOR,
                KP70_VERSION_BUILD, KP70_VERSION_REVISION);

    kp70::MessageBoxPrompter prompter;
    kp70::QtKeyboardState keyboard;
    kp70::ScreenServices services{prompter, catalogue, clock, log, profile, keyboard};
    // No folder for the profile and log, or a profile that cannot be read: said once, before
    // the connection screen; the tool goes on without stored settings.
    for (const kp70::Notice& notice : kp70::FileNotices(files)) services.Show(nullptr, notice);
    kp70::GuiNotifier notifier(services);
    kp70::PrintToFileAsker fileAsker(services);
    kp70::UdevDeviceEnumerator systemDevices;
    // make run lists the virtual printer's serial and parallel sides this way, and PORT
    // selects them ahead of the system's ports.
    const std::vector<std::string> extraPorts = kp70::ExtraPortsEnumerator::SplitPaths(
        qgetenv(kp70::ExtraPortsEnumerator::kEnvironmentVariable).constData());
    kp70::ExtraPortsEnumerator devices(systemDevices, extraPorts);
    kp70::CPorts port(log, clock, notifier, devices, fileAsker);
    kp70::NetworkSocket socket(clock, notifier);
    kp70::WifiPlugin wifi;
    kp70::NetworkConnectionScreen networkConnection(services, port.Settings(), socket);
    // "Network Setting" searches and configures printers by broadcast (255.255.255.255
    // unless KP70_DISCOVERY_BROADCAST names another, as make run does for the virtual
    // printers on the loopback network); the WiFi buttons call the WiFi set-up component.
    const QByteArray broadcast = qgetenv("KP70_DISCOVERY_BROADCAST");
    networkConnection.SetSettingScreen(kp70::MakeNetworkSettingOpener(
        services, broadcast.isEmpty() ? kp70::kDefaultBroadcastAddress : broadcast.toStdString()));
    networkConnection.SetWifiSetup(kp70::MakeWifiSetup(services, wifi));

    // Every tool reaches the printer through links this factory makes from the connection
    // settings: the port object, the network socket at the address the network connection screen
    // accepted.
    kp70::SystemLinkFactory links(port, socket, log, clock);
    std::string connectionSummary;
    kp70::AppToolLauncher tools;
    tools.SetUserSetup(kp70::MakeUserSetupOpener(services, links, connectionSummary, clock));
    kp70::DialogFileChooser fileChooser;
    kp70::LogoTool logoTool(services, links, connectionSummary, fileChooser);
    tools.SetLogoTool([&logoTool] { logoTool.LoadStoredList(); },
                      [&logoTool](QWidget* parent) { logoTool.Open(parent); });
    tools.SetFirmwareTool(kp70::MakeFirmwareOpener(services, links, connectionSummary));
    kp70::ModalMainMenuRunner mainMenu(services, port, connectionSummary, tools);

    kp70::ConnectionScreen screen(services, devices, port.Settings(), networkConnection, mainMenu,
                                  extraPorts);
    if (qEnvironmentVariableIsSet(kp70::StartupProbe::kEnvironmentVariable))
        new kp70::StartupProbe(&screen);
    if (screen.exec() == QDialog::Rejected && port.isOpen()) port.Close();
    return 0;
}
