// The connection screen and kp70ctl's connection options take the same choices the same
// way: each case runs through the screen (entries and list items chosen, OK pressed) and
// through the command line (the options typed and resolved), and both must refuse it with
// the same catalogue message or store the same settings.
#include <gtest/gtest.h>

#include <CLI/CLI.hpp>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <optional>

#include "GuiHarness.h"
#include "cli/Connection.h"
#include "gui/app/ConnectionScreen.h"
#include "gui/app/MainMenuRunner.h"
#include "gui/app/NetworkConnectionRunner.h"
#include "support/FakeDeviceEnumerator.h"

namespace kp70::test {
namespace {

struct AcceptingNetworkConnection : NetworkConnectionRunner {
    bool RunNetworkConnectionScreen(QWidget*) override { return true; }
};

// One choice, as the command line types it.
struct Case {
    const char* entry;
    const char* connection;  // --port NAME, --usb or --net HOST
    const char* connectionValue;
    std::vector<std::pair<const char*, const char*>> lineSettings;  // option, value, in order
    int message;                               // the refusal's catalogue message; -1: none
    std::optional<ConnectionSettings> stored;  // what OK stores when accepted
};

// What one path decided.
struct Decision {
    bool accepted = false;
    QString refusal;  // the message shown or printed; empty when none
    ConnectionSettings settings;
};

// The list item an option value stands for on the screen.
std::pair<const char*, QString> ScreenItem(const std::string& option, const std::string& value) {
    if (option == "--baud") return {"baudCombo", QString::fromStdString(value)};
    if (option == "--data") return {"dataLengthCombo", QString::fromStdString(value) + " Bits"};
    if (option == "--parity") return {"parityCombo", QString::fromStdString(value).toUpper()};
    if (option == "--stop") return {"stopBitCombo", QString::fromStdString(value)};
    const QString flow = QString::fromStdString(value).toUpper();
    return {"flowCombo", flow == "HW" ? "H/W" : flow == "SW" ? "S/W" : flow};
}

class ConnectionRulesTest : public ::testing::Test {
protected:
    ConnectionRulesTest() {
        WriteFile(h.profile.Path(),
                  "[DEVICELIST]\r\n=TALVO10 S\r\na=T40 S\r\nb=Printer X\r\nc=TALVO10 U-II\r\n");
        devices.serial = {{"/dev/ttyS0"}, {"/dev/ttyACM0", true, 0x5A3D, 0x3011}};
        devices.parallel = {"/dev/lp0"};
        devices.usb = {{"/dev/usb/lp0", "USB\\VID_5A3D&PID_3012"}};
    }

    Decision ThroughScreen(const Case& c) {
        Decision d;
        ConnectionSettings settings;
        RecordingMenu menu(settings);
        AcceptingNetworkConnection network;
        h.prompter.Clear();
        ConnectionScreen screen(h.services, devices, settings, network, menu);
        auto list = [&](const char* name) { return screen.findChild<QComboBox*>(name); };

        QSignalSpy searched(&screen, &ConnectionScreen::usbSearchFinished);
        QComboBox* device = list("deviceCombo");
        device->setCurrentIndex(device->findText(c.entry));
        EXPECT_GE(device->currentIndex(), 0) << c.entry;
        if (screen.isSearching()) {
            EXPECT_TRUE(searched.wait(5000));
        }
        if (std::string(c.connection) == "--port") {
            QComboBox* port = list("portCombo");
            port->setCurrentIndex(port->findText(c.connectionValue));
        }
        // An item the list does not offer cannot be chosen: the list has no selection.
        for (const auto& [option, value] : c.lineSettings) {
            const auto [name, item] = ScreenItem(option, value);
            list(name)->setCurrentIndex(list(name)->findText(item));
        }
        screen.findChild<QPushButton*>("okButton")->click();
        if (!h.prompter.boxes.empty()) d.refusal = h.prompter.boxes.back().text;
        d.accepted = !menu.shown.empty();
        if (d.accepted) d.settings = menu.shown.front();
        return d;
    }

    Decision ThroughCommandLine(const Case& c) {
        std::vector<std::string> args{"test", "--device", c.entry, c.connection};
        if (c.connectionValue) args.push_back(c.connectionValue);
        for (const auto& [option, value] : c.lineSettings) {
            args.push_back(option);
            args.push_back(value);
        }
        ConnectionOptions options;
        CLI::App verb{"test"};
        AddConnectionOptions(verb, options);
        std::vector<const char*> argv;
        for (const auto& a : args) argv.push_back(a.c_str());
        Decision d;
        try {
            verb.parse(static_cast<int>(argv.size()), argv.data());
        } catch (const CLI::ParseError& e) {
            d.refusal = QString::fromStdString(e.what());
            return d;
        }
        PrinterChoice target;
        std::string why;
        d.accepted = ResolveConnection(options, target, h.catalogue, why);
        d.refusal = QString::fromStdString(why);
        d.settings = target.settings;
        return d;
    }

    GuiHarness h;
    FakeDeviceEnumerator devices;
};

ConnectionSettings Serial(std::string port, int baud, int data, int parity, int stop, int flow,
                          int model) {
    return {std::move(port), baud, data, parity, stop, flow, model, 0};
}
ConnectionSettings Portless(std::string port, int model) {
    return {std::move(port), -1, -1, -1, 0, -1, model, 0};
}

TEST_F(ConnectionRulesTest, ScreenAndCommandLineRefuseAndStoreTheSame) {
    const Case cases[] = {
        // Accepted: the lists' first items where nothing was said.
        {"KP70 S", "--port", "/dev/ttyS0", {}, -1, Serial("/dev/ttyS0", 115200, 8, 0, 0, 1, 6)},
        {"KP70 S",
         "--port",
         "/dev/ttyS0",
         {{"--baud", "9600"},
          {"--data", "7"},
          {"--parity", "even"},
          {"--stop", "2"},
          {"--flow", "sw"}},
         -1,
         Serial("/dev/ttyS0", 9600, 7, 2, 2, 2, 6)},
        {"KP70 S",
         "--port",
         "/dev/ttyS0",
         {{"--data", "5"}},
         -1,
         Serial("/dev/ttyS0", 115200, 5, 0, 0, 1, 6)},
        {"TALVO10 S", "--port", "/dev/ttyS0", {}, -1, Serial("/dev/ttyS0", 38400, 8, 0, 0, 1, 2)},
        // "T40" is model 4 while chosen, 1 once stored.
        {"T40 S",
         "--port",
         "/dev/ttyS0",
         {{"--flow", "none"}},
         -1,
         Serial("/dev/ttyS0", 115200, 8, 0, 0, 3, 1)},
        {"KP70 U-I",
         "--port",
         "/dev/ttyACM0",
         {{"--baud", "19200"}},
         -1,
         Serial("/dev/ttyACM0", 19200, 8, 0, 0, 1, 6)},
        {"KP70 P", "--port", "/dev/lp0", {}, -1, Portless("/dev/lp0", 6)},
        {"KP70 U-II", "--usb", nullptr, {}, -1, Portless("USB", 6)},
        {"KP70 E-II", "--net", "10.0.0.7", {}, -1, Portless("ETHERNET_II", 6)},
        {"KP70 W", "--net", "10.0.0.7", {}, -1, Portless("ETHERNET_II", 6)},
        // Refused, in the order OK checks.
        {"KP70 S", "--port", "/dev/ttyS0", {{"--baud", "230400"}}, 5, {}},
        {"TALVO10 S", "--port", "/dev/ttyS0", {{"--baud", "115200"}}, 5, {}},
        {"KP70 S", "--port", "/dev/ttyS0", {{"--baud", "1200"}, {"--data", "9"}}, 5, {}},
        {"KP70 S", "--port", "/dev/ttyS0", {{"--data", "9"}, {"--parity", "mark"}}, 6, {}},
        {"KP70 S", "--port", "/dev/ttyS0", {{"--parity", "mark"}, {"--stop", "3"}}, 7, {}},
        {"KP70 S", "--port", "/dev/ttyS0", {{"--data", "5"}, {"--stop", "2"}}, 53, {}},
        {"KP70 S", "--port", "/dev/ttyS0", {{"--stop", "3"}}, 53, {}},
        {"KP70 S", "--port", "/dev/ttyS0", {{"--flow", "rts"}}, 8, {}},
        {"Printer X", "--port", "/dev/ttyS0", {}, 9, {}},
        // No connection offered: the screen keeps OK disabled without a message.
        {"TALVO10 U-II", "--usb", nullptr, {}, -1, {}},
    };
    for (const Case& c : cases) {
        std::string label = std::string(c.entry) + " " + c.connection;
        for (const auto& [option, value] : c.lineSettings)
            label += std::string(" ") + option + " " + value;
        SCOPED_TRACE(label);
        const Decision screen = ThroughScreen(c);
        const Decision cli = ThroughCommandLine(c);
        EXPECT_EQ(screen.accepted, c.stored.has_value());
        EXPECT_EQ(cli.accepted, c.stored.has_value()) << cli.refusal.toStdString();
        if (c.message >= 0) {
            const QString message = h.Message(c.message);
            EXPECT_EQ(screen.refusal, message);
            EXPECT_TRUE(cli.refusal.contains(message)) << cli.refusal.toStdString();
        } else {
            EXPECT_TRUE(screen.refusal.isEmpty()) << screen.refusal.toStdString();
        }
        if (!c.stored) continue;
        for (const ConnectionSettings& s : {screen.settings, cli.settings}) {
            EXPECT_EQ(s.portName, c.stored->portName);
            EXPECT_EQ(s.baudRate, c.stored->baudRate);
            EXPECT_EQ(s.dataBits, c.stored->dataBits);
            EXPECT_EQ(s.parity, c.stored->parity);
            EXPECT_EQ(s.stopBits, c.stored->stopBits);
            EXPECT_EQ(s.flowControl, c.stored->flowControl);
            EXPECT_EQ(s.modelCode, c.stored->modelCode);
        }
    }
}

}  // namespace
}  // namespace kp70::test
