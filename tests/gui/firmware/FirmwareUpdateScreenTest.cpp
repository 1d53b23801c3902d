// The F/W Update screen over fake links: what it offers after opening, after each failure
// and after a transfer, in virtual time.
#include <QLabel>

#include "FirmwareScreenRig.h"
#include "core/firmware/AreaDownload.h"
#include "core/firmware/LastImage.h"
#include "support/FastClock.h"

namespace kp70::test {
namespace {

using Rig = FirmwareScreenRig<FirmwareUpdateScreen>;

bool Enabled(Rig& rig, int area) {
    return rig.screen->form().areaRadio(area)->isEnabled();
}

TEST(FirmwareUpdateScreen, OpensWithThePersistedFileAndTheModelsAreas) {
    Rig rig("COM1", 5);
    rig.WriteImage("last.SHC", 1);
    SaveLastImage(rig.h.profile, "FWDN20", {rig.File("last.SHC"), "last.SHC"});
    rig.Open();
    FirmwareUpdateForm& form = rig.screen->form();
    EXPECT_EQ(rig.Title(), "KP 70 Tool : Firmware Download");
    EXPECT_EQ(form.pathBox()->text().toStdString(), rig.File("last.SHC"));
    EXPECT_TRUE(form.areaRadio(0)->isChecked());
    EXPECT_EQ(form.fileSizeBox()->text(), "0");
    EXPECT_EQ(form.downloadButton()->text(), "DOWNLOAD");
    EXPECT_TRUE(form.downloadButton()->isEnabled());
    EXPECT_TRUE(form.fileOpenButton()->isEnabled());
    // Without Ctrl: no service areas; model code 5 has no LCD font.
    EXPECT_FALSE(rig.screen->serviceMode());
    EXPECT_EQ((std::vector<bool>{Enabled(rig, 0), Enabled(rig, 1), Enabled(rig, 2), Enabled(rig, 3),
                                 Enabled(rig, 4)}),
              (std::vector<bool>{true, true, false, false, false}));
}

TEST(FirmwareUpdateScreen, CtrlAtOpeningOffersTheServiceAreasByTheBootRule) {
    const struct {
        std::uint8_t bootEnable;
        bool bootOffered;
    } cases[] = {{10, true}, {11, false}};
    for (const auto& c : cases) {
        Rig rig;
        rig.h.keyboard.controlHeld = true;
        rig.WriteImage("last.SHC", c.bootEnable);
        SaveLastImage(rig.h.profile, "FWDN20", {rig.File("last.SHC"), "last.SHC"});
        rig.Open();
        rig.h.keyboard.controlHeld = false;  // read once, at opening
        EXPECT_TRUE(rig.screen->serviceMode());
        EXPECT_TRUE(Enabled(rig, 2));
        EXPECT_TRUE(Enabled(rig, 3));
        EXPECT_EQ(Enabled(rig, 4), c.bootOffered) << int(c.bootEnable);
    }
}

TEST(FirmwareUpdateScreen, FileOpenAppliesTheBootRuleToTheNewFile) {
    Rig rig;
    rig.h.keyboard.controlHeld = true;
    rig.WriteImage("boot.SHC", 1);
    rig.WriteImage("noboot.SHC", 0);
    rig.Open();
    FirmwareUpdateForm& form = rig.screen->form();
    EXPECT_FALSE(Enabled(rig, 4));  // nothing chosen yet: undecided

    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("boot.SHC"))}};
    form.fileOpenButton()->click();
    EXPECT_EQ(rig.chooser.boxes.back().filter, "Firmware file(*.SHC)|*.SHC|ALL FILE(*.*)|*.*|");
    EXPECT_EQ(form.pathBox()->text().toStdString(), rig.File("boot.SHC"));
    EXPECT_TRUE(Enabled(rig, 4));
    form.areaRadio(4)->click();

    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("noboot.SHC"))}};
    form.fileOpenButton()->click();
    EXPECT_FALSE(Enabled(rig, 4));
    EXPECT_TRUE(form.areaRadio(0)->isChecked());

    // A file that cannot be read: the box says so, the Boot choice stays as it was.
    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("missing.SHC"))}};
    form.fileOpenButton()->click();
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"ERROR : File Open"});
    EXPECT_TRUE(form.downloadButton()->isEnabled());
    // Cancel changes nothing.
    form.fileOpenButton()->click();
    EXPECT_EQ(form.pathBox()->text().toStdString(), rig.File("missing.SHC"));
}

TEST(FirmwareUpdateScreen, DownloadStatesAfterTheFileChecksAndTheQuestion) {
    Rig rig;
    WriteBytes(rig.File("big.SHC"), std::vector<std::uint8_t>(8388609, 0));
    rig.WriteImage("fw.SHC");
    rig.Open();
    FirmwareUpdateForm& form = rig.screen->form();

    // No file ever chosen.
    form.downloadButton()->click();
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"ERROR : File Open"});
    EXPECT_TRUE(form.downloadButton()->isEnabled());

    rig.h.prompter.Clear();
    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("big.SHC"))}};
    form.fileOpenButton()->click();
    form.downloadButton()->click();
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"FileSize (8388609 bytes) Error!"});
    EXPECT_EQ(rig.h.prompter.Captions(), QStringList{"Error"});
    EXPECT_FALSE(form.downloadButton()->isEnabled());
    EXPECT_TRUE(form.fileOpenButton()->isEnabled());

    // "No" to the Ext. Font question sends nothing and leaves DOWNLOAD off.
    rig.h.prompter.Clear();
    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("fw.SHC"))}};
    form.fileOpenButton()->click();
    form.areaRadio(1)->click();
    form.downloadButton()->click();
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"Are you sure the Ext.Font area download?"});
    EXPECT_EQ(rig.h.prompter.boxes[0].buttons, Prompter::Buttons::YesNo);
    EXPECT_FALSE(form.downloadButton()->isEnabled());
    EXPECT_TRUE(rig.port.Writes().empty());
    EXPECT_EQ(LoadLastImage(rig.h.profile, "FWDN20").name, "fw.SHC");
}

TEST(FirmwareUpdateScreen, SerialTransferEndsWithTheBuzzerMessageAndAnEmptyBar) {
    Rig rig;
    rig.h.keyboard.controlHeld = true;
    rig.WriteImage("fw.SHC");
    rig.Open();
    FirmwareUpdateForm& form = rig.screen->form();
    rig.chooser.answers = {QStringList{QString::fromStdString(rig.File("fw.SHC"))}};
    form.fileOpenButton()->click();
    form.areaRadio(3)->click();
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    QString titleWhileShown;
    int barWhileShown = -1;
    rig.h.prompter.onShow = [&](const ScriptedPrompter::Box&) {
        titleWhileShown = rig.Title();
        barWhileShown = form.progressBar()->value();
    };
    std::atomic<int> flowWhileSending{0};
    rig.port.responder = [&](const FakeBytes&) {
        flowWhileSending = rig.port.Settings().flowControl;
        return FakeBytes{};
    };
    form.downloadButton()->click();
    EXPECT_FALSE(form.downloadButton()->isEnabled());
    EXPECT_FALSE(form.fileOpenButton()->isEnabled());
    EXPECT_TRUE(form.exitButton()->isEnabled());
    rig.WaitIdle();

    EXPECT_EQ(rig.h.prompter.Texts(),
              (QStringList{"Are you sure the Downloader area download?",
                           "Update Complete.\nPlease wait beep the buzzer."}));
    // While the message is up the caption shows where the settling ended; afterwards 0 %.
    EXPECT_EQ(titleWhileShown, "KP 70 Tool : Firmware Download - 98 %");
    EXPECT_EQ(barWhileShown, 98304 + 1 + 1280 * 15);
    EXPECT_EQ(rig.Title(), "KP 70 Tool : Firmware Download - 0 %");
    EXPECT_EQ(form.progressBar()->value(), 0);
    EXPECT_EQ(form.progressBar()->maximum(), 98304 + 20480);
    EXPECT_EQ(form.fileSizeBox()->text(), "98304");
    const std::vector<std::uint8_t> image = MakeImage();
    char checksum[8];
    std::snprintf(checksum, sizeof checksum, "%X", Sum16(image.data() + 0x4D0000, 0x18000 - 10));
    EXPECT_EQ(form.checksumBox()->text(), checksum);
    EXPECT_EQ(rig.port.WrittenBytes().size(), 98304u);
    EXPECT_TRUE(form.downloadButton()->isEnabled());
    EXPECT_TRUE(form.fileOpenButton()->isEnabled());
    EXPECT_FALSE(rig.port.isOpen());
    // The transfer ran with flow control none; the operator's choice is back once it ended.
    EXPECT_EQ(flowWhileSending, 3);
    EXPECT_EQ(rig.port.Settings().flowControl, 2);
}

TEST(FirmwareUpdateScreen, FailedSerialBlockOffersDownloadAgainButNotFileOpen) {
    Rig rig;
    rig.WriteImage("fw.SHC");
    rig.port.failAfterWrites = 3;
    SaveLastImage(rig.h.profile, "FWDN20", {rig.File("fw.SHC"), "fw.SHC"});
    rig.Open();
    FirmwareUpdateForm& form = rig.screen->form();
    form.downloadButton()->click();
    rig.WaitIdle();
    EXPECT_EQ(rig.h.prompter.Texts(), QStringList{"ERROR : PRINTER IS NOT READY!"});
    EXPECT_TRUE(form.downloadButton()->isEnabled());
    EXPECT_FALSE(form.fileOpenButton()->isEnabled());
    EXPECT_TRUE(form.exitButton()->isEnabled());
    EXPECT_FALSE(rig.port.isOpen());
}

TEST(FirmwareUpdateScreen, ExitDuringATransferStopsItAndReportsNothing) {
    FastClock fast;
    Rig rig("ETHERNET_II", 6, false, &fast);
    rig.WriteImage("fw.SHC");
    SaveLastImage(rig.h.profile, "FWDN20", {rig.File("fw.SHC"), "fw.SHC"});
    rig.Open();
    FirmwareUpdateForm& form = rig.screen->form();
    form.downloadButton()->click();
    // The printer settles for 256 x 83 ms after a network transfer: leave meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.progressBar()->value() > 851968; }, 10000));
    form.exitButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return rig.screen->Closed(); }, 3000));
    EXPECT_TRUE(rig.h.prompter.Texts().isEmpty());
    EXPECT_EQ(rig.network.EventNames().back(), "CloseSocket");
    EXPECT_LT(fast.Now(), 256 * 83);
}

}  // namespace
}  // namespace kp70::test
