// The network connection screen with the real socket and clock against the virtual printer.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "GuiHarness.h"
#include "gui/app/GuiNotifier.h"
#include "gui/app/NetworkConnectionScreen.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemClock.h"
#include "support/SimProcess.h"

namespace kp70::test {
namespace {

class NetworkConnectionSimTest : public ::testing::Test {
protected:
    // Presses OK with the given port and returns whether the connection check succeeded.
    bool CheckConnection(int port) {
        NetworkConnectionScreen screen(services, settings, socket);
        screen.findChild<QLineEdit*>("addressEdit")->setText("127.0.0.1");
        screen.findChild<QLineEdit*>("portEdit")->setText(QString::number(port));
        QSignalSpy checked(&screen, &NetworkConnectionScreen::connectionChecked);
        screen.findChild<QPushButton*>("okButton")->click();
        EXPECT_TRUE(checked.wait(10000));
        EXPECT_EQ(screen.printerPort(), static_cast<std::uint32_t>(port));
        return !checked.isEmpty() && checked.front().front().toBool() &&
               screen.result() == QDialog::Accepted;
    }

    GuiHarness h;
    SystemClock clock;
    ScreenServices services{h.prompter, h.catalogue, clock, h.log, h.profile, h.keyboard};
    GuiNotifier notifier{services};
    NetworkSocket socket{clock, notifier};
    ConnectionSettings settings{"ETHERNET_II"};
    SimProcess sim;
};

TEST_F(NetworkConnectionSimTest, ListeningPrinterIsAccepted) {
    ASSERT_TRUE(sim.Start()) << sim.Log();
    EXPECT_TRUE(CheckConnection(sim.TcpPort()));
    EXPECT_TRUE(h.prompter.boxes.empty());
    EXPECT_FALSE(socket.connected()) << "the check closes its connection";
}

TEST_F(NetworkConnectionSimTest, RefusingPrinterFailsThePrinterCheck) {
    ASSERT_TRUE(sim.Start({"--fault", "refuse"})) << sim.Log();
    EXPECT_FALSE(CheckConnection(sim.TcpPort()));
    EXPECT_EQ(h.prompter.Texts(), QStringList({"ERROR : Printer check."}));
}

}  // namespace
}  // namespace kp70::test
