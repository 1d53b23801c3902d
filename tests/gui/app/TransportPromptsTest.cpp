#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <thread>

#include "GuiHarness.h"
#include "core/transport/UsbDiscovery.h"
#include "gui/app/ExtraPortsEnumerator.h"
#include "gui/app/GuiNotifier.h"
#include "gui/app/PrintToFileDialog.h"
#include "support/FakeDeviceEnumerator.h"

namespace kp70::test {
namespace {

TEST(GuiNotifierTest, MessagesFromAnyThreadAreShownOnTheGuiThread) {
    GuiHarness h;
    GuiNotifier notifier(h.services);
    std::thread receiveThread([&] { notifier.ShowMessage(40, "/dev/ttyS0"); });
    receiveThread.join();
    // Posted, not shown while the receive thread waits.
    EXPECT_TRUE(h.prompter.boxes.empty());
    notifier.ShowMessage(41);
    notifier.ShowText("/dev/usb/lp0");
    QApplication::processEvents();
    EXPECT_EQ(h.prompter.Texts(), QStringList({"ERROR : while creating ThreadWatchComm./dev/ttyS0",
                                               "m_QueueRead FULL!", "/dev/usb/lp0"}));
    EXPECT_EQ(h.prompter.Captions(), QStringList({"KP70 Tool", "KP70 Tool", "KP70 Tool"}));
}

TEST(PrintToFileDialogTest, EmptyNameIsRefusedAskingForAName) {
    GuiHarness h;
    PrintToFileDialog dialog(h.services);
    EXPECT_EQ(dialog.windowTitle(), "Print to File");
    dialog.accept();
    EXPECT_EQ(h.prompter.Texts(), QStringList({"Input the output file name!"}));
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    dialog.findChild<QLineEdit*>("fileNameEdit")->setText("receipt.prn");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.fileName(), "receipt.prn");
}

TEST(PrintToFileDialogTest, AskerAnswersTheNameOrNothingWhenClosed) {
    GuiHarness h;
    PrintToFileAsker asker(h.services);
    // Types a name and presses OK in the Print to File dialog as soon as one is open.
    auto answerWith = [](const QString& name) {
        auto* timer = new QTimer;
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, [timer, name] {
            auto* dialog = qobject_cast<PrintToFileDialog*>(QApplication::activeModalWidget());
            if (!dialog) return;
            timer->stop();
            timer->deleteLater();
            if (name.isEmpty()) {
                dialog->reject();
                return;
            }
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(name);
            dialog->accept();
        });
        timer->start();
    };
    answerWith("out.prn");
    EXPECT_EQ(asker.AskOutputFile(), std::optional<std::string>("out.prn"));
    answerWith("");
    EXPECT_EQ(asker.AskOutputFile(), std::nullopt);

    // Asked from a worker: the dialog still runs on the GUI thread.
    std::optional<std::string> fromWorker;
    bool done = false;
    answerWith("worker.prn");
    std::thread worker([&] {
        fromWorker = asker.AskOutputFile();
        QMetaObject::invokeMethod(
            qApp, [&] { done = true; }, Qt::QueuedConnection);
    });
    while (!done) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    EXPECT_EQ(fromWorker, std::optional<std::string>("worker.prn"));
}

TEST(ExtraPortsEnumeratorTest, ListsExtraSerialPortsThatExist) {
    TempDir dir;
    WriteFile(dir.File("ttyKP70"), "");
    EXPECT_EQ(ExtraPortsEnumerator::SplitPaths("::/a:/b::"),
              (std::vector<std::string>{"/a", "/b"}));
    EXPECT_TRUE(ExtraPortsEnumerator::SplitPaths(nullptr).empty());

    FakeDeviceEnumerator system;
    system.serial = {{"/dev/ttyS0"}};
    ExtraPortsEnumerator devices(
        system,
        ExtraPortsEnumerator::SplitPaths((dir.File("ttyKP70") + ":" + dir.File("gone")).c_str()));
    EXPECT_EQ(ListPorts(devices, PortListKind::Serial),
              (std::vector<std::string>{"/dev/ttyS0", dir.File("ttyKP70")}));
}

TEST(ExtraPortsEnumeratorTest, ParallelLinksJoinTheParallelPortsOnly) {
    TempDir dir;
    WriteFile(dir.File("ttyKP70"), "");
    WriteFile(dir.File("lpKP70"), "");
    FakeDeviceEnumerator system;
    system.parallel = {"/dev/lp0"};
    ExtraPortsEnumerator devices(
        system,
        ExtraPortsEnumerator::SplitPaths(
            (dir.File("ttyKP70") + ":" + dir.File("lpKP70") + ":" + dir.File("lpGone")).c_str()));
    EXPECT_EQ(ListPorts(devices, PortListKind::Parallel),
              (std::vector<std::string>{"/dev/lp0", dir.File("lpKP70")}));
    EXPECT_EQ(ListPorts(devices, PortListKind::Serial),
              (std::vector<std::string>{dir.File("ttyKP70")}));
}

}  // namespace
}  // namespace kp70::test
