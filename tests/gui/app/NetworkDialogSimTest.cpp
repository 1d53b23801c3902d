// The network connection dialog with the real socket and clock against the virtual printer.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include "GuiHarness.h"
#include "gui/app/GuiNotifier.h"
#include "gui/app/NetworkConnectionDialog.h"
#include "platform/NetworkSocket.h"
#include "platform/SystemClock.h"
#include "support/SimProcess.h"

namespace kp70::test {
namespace {

class NetworkDialogSimTest : public ::testing::Test {
protected:
    // Presses OK with the given port and returns whether the connection check succeeded.
    bool CheckConnection(int port) {
        NetworkConnectionDialog dialog(services, settings, socket);
        dialog.findChild<QLineEdit*>("addressEdit")->setText("127.0.0.1");
        dialog.findChild<QLineEdit*>("portEdit")->setText(QString::number(port));
        QSignalSpy checked(&dialog, &NetworkConnectionDialog::connectionChecked);
        dialog.findChild<QPushButton*>("okButton")->click();
        EXPECT_TRUE(checked.wait(10000));
        EXPECT_EQ(dialog.printerPort(), static_cast<std::uint32_t>(port));
        return !checked.isEmpty() && checked.front().front().toBool() &&
               dialog.result() == QDialog::Accepted;
    }

    GuiHarness h;
    SystemClock clock;
    ScreenServices services{h.prompter, h.catalogue, clock, h.log, h.profile, h.keyboard};
    GuiNotifier notifier{services};
    NetworkSocket socket{clock, notifier};
    ConnectionSettings settings{"ETHERNET_II"};
    SimProcess sim;
};

TEST_F(NetworkDialogSimTest, ListeningPrinterIsAccepted) {
    ASSERT_TRUE(sim.Start()) << sim.Log();
    EXPECT_TRUE(CheckConnection(sim.TcpPort()));
    EXPECT_TRUE(h.prompter.boxes.empty());
    EXPECT_FALSE(socket.connected()) << "the check closes its connection";
}

TEST_F(NetworkDialogSimTest, RefusingPrinterGivesMessage20) {
    ASSERT_TRUE(sim.Start({"--fault", "refuse"})) << sim.Log();
    EXPECT_FALSE(CheckConnection(sim.TcpPort()));
    EXPECT_EQ(h.prompter.Texts(), QStringList({"ERROR : Printer check."}));
}

}  // namespace
}  // namespace kp70::test
