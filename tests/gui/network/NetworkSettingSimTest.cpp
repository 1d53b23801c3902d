// The network setting screen with the real discovery sockets against kp70sim's virtual
// printers on the loopback network, at the end-to-end pace.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "../app/GuiHarness.h"
#include "gui/network/NetworkSettingForm.h"
#include "gui/network/NetworkSettingScreen.h"
#include "platform/DatagramSocket.h"
#include "support/ScaledClock.h"
#include "support/SimProcess.h"

namespace kp70::test {
namespace {

class NetworkSettingSimTest : public ::testing::Test {
protected:
    bool Search(NetworkSettingScreen& screen) {
        QSignalSpy finished(&screen, &NetworkSettingScreen::operationFinished);
        screen.form().searchButton()->click();
        return finished.wait(10000);
    }
    QStringList Column(NetworkSettingScreen& screen, int column) {
        QStringList texts;
        QTableWidget* list = screen.form().list();
        for (int row = 0; row < list->rowCount(); ++row) texts << list->item(row, column)->text();
        return texts;
    }

    GuiHarness h;
    ScaledClock clock;
    ScreenServices services{h.prompter, h.catalogue, clock, h.log, h.profile, h.keyboard};
    DatagramSocket sockets{clock};
    SimProcess sim;
};

TEST_F(NetworkSettingSimTest, SearchChangeAndSearchAgainWhileTheScreenKeepsPainting) {
    std::vector<std::string> args = {"--udp", "127.0.0.1", "--printers", "20"};
    const auto pace = clock.SimArgs();
    args.insert(args.end(), pace.begin(), pace.end());
    ASSERT_TRUE(sim.Start(args)) << sim.Log();

    NetworkSettingScreen screen(services, sockets, "127.255.255.255");
    screen.show();
    // The screen's thread stays free through the receive windows: a timer keeps firing.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ticks += screen.busy() ? 1 : 0; });
    ticker.start(5);
    ASSERT_TRUE(Search(screen));
    EXPECT_GT(ticks, 3);
    EXPECT_EQ(screen.form().list()->rowCount(), 20);
    EXPECT_FALSE(Column(screen, 0).contains("127.0.0.1"));
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(57)}));

    // Change the printer with MAC ...:07 to port 9100 with DHCP.
    const int row = static_cast<int>(Column(screen, 4).indexOf("02:5A:3D:00:00:07"));
    ASSERT_GE(row, 0);
    QTableWidget* list = screen.form().list();
    list->scrollToItem(list->item(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row, 0)).center());
    ASSERT_TRUE(screen.form().changeButton()->isEnabled());
    screen.form().portField()->setText("9100");
    screen.form().addressField()->setText("127.0.0.99");
    h.prompter.Clear();
    h.prompter.answers = {Prompter::Answer::Yes};
    QSignalSpy finished(&screen, &NetworkSettingScreen::operationFinished);
    screen.form().changeButton()->click();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_EQ(h.prompter.Texts(), QStringList({h.Message(58), h.Message(59)}));
    ASSERT_TRUE(WaitUntil([&] { return sim.Log().find("now 127.0.0.99") != std::string::npos; }))
        << sim.Log();

    h.prompter.Clear();
    ASSERT_TRUE(Search(screen));
    const int changed = static_cast<int>(Column(screen, 4).indexOf("02:5A:3D:00:00:07"));
    ASSERT_GE(changed, 0);
    EXPECT_EQ(Column(screen, 0)[changed], "127.0.0.99");
    EXPECT_EQ(Column(screen, 1)[changed], "9100");
}

}  // namespace
}  // namespace kp70::test
