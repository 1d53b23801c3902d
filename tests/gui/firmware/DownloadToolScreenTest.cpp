// The TALVO10 download tool over fake links: labels, the download driven by the printer's
// acknowledgements, its refusals and CANCEL, and the menu's choice between the two tools.
#include <QApplication>
#include <QGroupBox>
#include <QTimer>

#include "FirmwareScreenRig.h"
#include "core/firmware/LastImage.h"
#include "gui/app/MainMenuScreen.h"
#include "gui/app/NetworkConnectionScreen.h"
#include "gui/firmware/FirmwareTool.h"
#include "support/FastClock.h"

namespace kp70::test {
namespace {

using Rig = FirmwareScreenRig<DownloadToolScreen>;

const FakeBytes kDleAck = {0x10, 0x06};

TEST(DownloadToolScreen, LabelsInBothLanguages) {
    for (bool korean : {false, true}) {
        Rig rig("COM1", 2, korean);
        SaveLastImage(rig.h.profile, "FWDN15", {"/images/t10.bin", "t10.bin"});
        rig.Open();
        DownloadToolForm& form = rig.screen->form();
        EXPECT_EQ(rig.Title(), "KP 70 Tool : irmware Download");
        EXPECT_EQ(form.pathBox()->text(), "/images/t10.bin");
        EXPECT_EQ(form.nameBox()->text(), "t10.bin");
        EXPECT_TRUE(form.areaRadio(0)->isChecked());
        EXPECT_EQ(form.areaRadio(1)->text(), korean ? "&2.확장 폰트" : "&2.Ext Font");
        EXPECT_EQ(form.okButton()->text(), korean ? "확인" : "OK");
        EXPECT_EQ(form.cancelButton()->text(), korean ? "취소" : "CANCEL");
        EXPECT_EQ(rig.screen->findChild<QGroupBox*>("areaGroup")->title(),
                  korean ? "영역 선택" : "SELECT AREA");
    }
}

TEST(DownloadToolScreen, AcknowledgedDownloadCompletesAndEndsTheScreen) {
    Rig rig("COM1", 2);
    WriteBytes(rig.File("t10.bin"), MakeTalvo10Image());
    rig.port.responder = [](const FakeBytes&) { return kDleAck; };
    rig.Open();
    DownloadToolForm& form = rig.screen->form();
    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("t10.bin"))}};
    form.openButton()->click();
    EXPECT_EQ(rig.chooser.boxes.back().filter, "BINARY(*.bin)|*.bin|ALL FILE(*.*)|*.*|");
    EXPECT_EQ(form.nameBox()->text(), "t10.bin");
    form.areaRadio(2)->click();
    QString titleWhileShown;
    rig.h.prompter.onShow = [&](const ScriptedPrompter::Box&) { titleWhileShown = rig.Title(); };
    form.okButton()->click();
    EXPECT_FALSE(form.okButton()->isEnabled());
    EXPECT_TRUE(form.cancelButton()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.screen->Closed(); }, 10000));
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"COMPLETED"});
    EXPECT_EQ(titleWhileShown, "Writing...(200000)");
    EXPECT_EQ(rig.screen->result(), QDialog::Accepted);
    EXPECT_EQ(rig.port.Writes().size(), 1u + 128u);
    EXPECT_FALSE(rig.port.isOpen());
    EXPECT_EQ(rig.port.NotifyWindow(), nullptr);
    EXPECT_EQ(LoadLastImage(rig.h.profile, "FWDN15").name, "t10.bin");
}

TEST(DownloadToolScreen, RefusedFileLeavesTheScreenOpenWithOkOffered) {
    Rig rig("LPT1", 2);
    std::vector<std::uint8_t> image = MakeTalvo10Image();
    std::copy_n("T15S", 4, image.begin() + 0x80000);
    WriteBytes(rig.File("t15s.bin"), image);
    SaveLastImage(rig.h.profile, "FWDN15", {rig.File("t15s.bin"), "t15s.bin"});
    rig.Open();
    DownloadToolForm& form = rig.screen->form();
    form.areaRadio(1)->click();
    form.okButton()->click();
    rig.WaitIdle();
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"Error! Not found extened font data in file."});
    EXPECT_FALSE(rig.screen->Closed());
    EXPECT_TRUE(form.okButton()->isEnabled());
    EXPECT_EQ(rig.Title(), "KP 70 Tool : irmware Download");
    EXPECT_TRUE(rig.port.Writes().empty());
    EXPECT_FALSE(rig.port.isOpen());
}

TEST(DownloadToolScreen, CancelDuringTheErasePausesClosesThePort) {
    FastClock fast;
    Rig rig("COM1", 2, false, &fast);
    WriteBytes(rig.File("t10.bin"), MakeTalvo10Image());
    SaveLastImage(rig.h.profile, "FWDN15", {rig.File("t10.bin"), "t10.bin"});
    rig.port.responder = [](const FakeBytes&) { return kDleAck; };
    rig.Open();
    rig.screen->form().areaRadio(1)->click();  // Ext Font: six pauses of 1.5 s
    rig.screen->form().okButton()->click();
    // After the first of the six pauses ("Erasing....", or more dots on a slow machine).
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rig.Title().startsWith(QStringLiteral("Erasing....")); }, 10000));
    // The area is erased already: the operator is asked first, and told afterwards.
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    rig.screen->form().cancelButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.screen->Closed(); }, 3000));
    EXPECT_EQ(rig.screen->result(), QDialog::Rejected);
    EXPECT_EQ(rig.port.Writes().size(), 1u);  // the erase packet only
    EXPECT_FALSE(rig.port.isOpen());
    const QStringList texts = rig.h.prompter.Texts();
    ASSERT_EQ(texts.size(), 2);
    EXPECT_TRUE(texts[0].startsWith("The area has already been erased.")) << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith("The download was stopped: the area is erased"));
}

TEST(DownloadToolScreen, NoToTheStopQuestionLetsTheDownloadGoOn) {
    FastClock fast;
    Rig rig("COM1", 2, false, &fast);
    WriteBytes(rig.File("t10.bin"), MakeTalvo10Image());
    SaveLastImage(rig.h.profile, "FWDN15", {rig.File("t10.bin"), "t10.bin"});
    rig.port.responder = [](const FakeBytes&) { return kDleAck; };
    rig.Open();
    rig.screen->form().areaRadio(2)->click();  // Boot
    rig.screen->form().okButton()->click();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return rig.Title().startsWith(QStringLiteral("Erasing....")); }, 10000));
    rig.h.prompter.answers = {Prompter::Answer::No};
    rig.screen->form().cancelButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.screen->Closed(); }, 10000));
    EXPECT_EQ(rig.screen->result(), QDialog::Accepted);  // it ran to COMPLETED
    EXPECT_EQ(rig.port.Writes().size(), 1u + 128u);
}

TEST(FirmwareTool, FirmwareDownloadOpensTheModelsTool) {
    const struct {
        int modelCode;
        const char* title;
    } cases[] = {{2, "KP 70 Tool : irmware Download"}, {6, "KP 70 Tool : Firmware Download"}};
    for (const auto& c : cases) {
        GuiHarness h;
        FakePrinterPort port;
        FakeNetworkLink network;
        port.Settings() = {"COM1", 38400, 8, 0, 0, 1, c.modelCode, 0};
        DeviceLinkFactory links(port, network, h.clock, {});
        std::string summary;
        AppToolLauncher tools;
        tools.SetFirmwareTool(MakeFirmwareOpener(h.services, links, summary));
        MainMenuScreen menu(h.services, port, summary, tools);
        QString opened;
        QTimer::singleShot(0, [&] {
            QWidget* tool = QApplication::activeModalWidget();
            if (!tool) return;
            opened = tool->windowTitle();
            static_cast<QDialog*>(tool)->reject();
        });
        menu.findChild<QPushButton*>("firmwareButton")->click();
        EXPECT_EQ(opened, c.title);
        EXPECT_EQ(port.Settings().toolMode, kToolModeFirmware);
    }
}

}  // namespace
}  // namespace kp70::test
