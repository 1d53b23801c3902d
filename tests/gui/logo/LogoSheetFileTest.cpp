// The sheet with the program's real port writing a print file, against kp70ctl writing one
// for the same files and options; and the tool's loading of the stored list.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "core/app/MessageCatalogue.h"
#include "core/transport/DeviceLinkFactory.h"
#include "core/transport/Notifier.h"
#include "core/transport/OutputFileAsker.h"
#include "gui/app/GuiHarness.h"
#include "gui/app/NetworkConnectionScreen.h"
#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSelectPage.h"
#include "gui/logo/LogoSetupPage.h"
#include "gui/logo/LogoSheetRig.h"
#include "gui/logo/LogoSheetScreen.h"
#include "gui/logo/LogoTool.h"
#include "gui/logo/LogoUploadPage.h"
#include "platform/CPorts.h"
#include "support/CliRunner.h"
#include "support/FakeDeviceEnumerator.h"

namespace kp70::test {
namespace {

class SilentNotifier : public Notifier {
public:
    void ShowMessage(int, const std::string&) override {}
};

// A 24-bit gradient, so the diverging point and the dithering matter.
QString Gradient(const TempDir& dir, const std::string& name, int width, int height) {
    BmpSpec layout;
    layout.width = width;
    layout.height = height;
    layout.pixel = [width, height](int x, int y) -> std::uint32_t {
        const std::uint32_t v = (x * 255 / width + y * 255 / height) / 2;
        return (v << 16) | ((255 - v) << 8) | ((v * 3) % 256);
    };
    return QString::fromStdString(WriteBmp(dir, name, layout));
}

TEST(LogoSheetFile, UploadToAFileWritesWhatKp70ctlWrites) {
    GuiHarness h;
    SilentNotifier notifier;
    FakeDeviceEnumerator devices;
    const std::string sheetFile = h.dir.File("sheet.prn");
    FixedOutputFileAsker asker(sheetFile);
    CPorts port(h.log, h.clock, notifier, devices, asker);
    port.Settings() = {"/dev/ttyS0", 115200, 8, 0, 0, 1, 6, kToolModeLogo};
    FakeNetworkLink network;
    LogoToolData data;
    ScriptedFileChooser chooser(ScriptedFileChooser::Kind::SeveralFiles);
    const QStringList files = {Gradient(h.dir, "a.bmp", 61, 30), Gradient(h.dir, "b.bmp", 100, 17),
                               Gradient(h.dir, "c.bmp", 40, 16)};
    chooser.answers.push_back(files);

    DeviceLinkFactory links(port, network, h.clock, {});
    LogoSheetScreen sheet(h.services, links, data, chooser, "KP70");
    sheet.show();
    LogoSetupPage* setup = sheet.setupPage();
    setup->printToFileBox()->click();
    setup->areaField()->setText("300");
    setup->divergingField()->setText("100");
    setup->starBox()->click();
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kSelectPage));
    sheet.selectPage()->openFileButton()->click();
    LogoListView* view = sheet.selectPage()->listView();
    ASSERT_EQ(view->RowCount(), 3);
    view->topLevelItem(1)->setCheckState(LogoListView::kMarkColumn, Qt::Checked);
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kUploadPage));
    h.prompter.answers = {Prompter::Answer::Yes};
    sheet.uploadPage()->uploadButton()->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !sheet.busy(); }, 10000));
    EXPECT_EQ(h.prompter.boxes.back().text, h.Message(msg::kUploadComplete));
    // The next upload asks for a file again.
    EXPECT_EQ(port.Settings().portName, "FILE");

    const std::string cliFile = h.dir.File("cli.prn");
    std::vector<std::string> args = {"logo",        "upload", "--center", "2",      "--area", "300",
                                     "--diverging", "100",    "--star",   "--file", cliFile};
    for (const QString& file : files) args.push_back(file.toStdString());
    const CliRun run =
        RunKp70ctl(args, h.dir.File("cli.INI"), h.dir.File("cli.log"), &h.clock, &devices);
    ASSERT_EQ(run.status, 0) << run.err;

    const std::string written = ReadFile(sheetFile);
    ASSERT_GT(written.size(), 4u);
    EXPECT_EQ(written.substr(0, 4), std::string("\x1B\x1C\x71\x03", 4));
    EXPECT_EQ(written, ReadFile(cliFile));
}

TEST(LogoSheetFile, TheToolLoadsTheStoredListUpToTheFirstEmptyKey) {
    LogoSheetRig rig;
    LogoTool tool(rig.h.services, rig.links, "KP70", rig.chooser);
    const std::string a = rig.Bmp("a.bmp").toStdString();
    const std::string b = rig.Bmp("b.bmp").toStdString();
    rig.h.profile.WriteString("LOGO", "Logofile1", a);
    rig.h.profile.WriteString("LOGO", "Logofile2", b);
    tool.LoadStoredList();
    EXPECT_EQ(tool.data().list.Count(), 2);
    // Loading again starts from an empty list; an empty first key loads nothing.
    rig.h.profile.WriteString("LOGO", "Logofile1", "");
    tool.LoadStoredList();
    EXPECT_EQ(tool.data().list.Count(), 0);
}

// The main menu's way to the sheet: the stored list loaded by the tool, then a new sheet
// over the tool's list and options (the one of an earlier opening closed first).
struct ToolRig {
    explicit ToolRig(LogoSheetRig& r) : rig(r) {}

    LogoSheetScreen& Open() {
        rig.sheet.reset();
        tool.LoadStoredList();
        rig.sheet = std::make_unique<LogoSheetScreen>(rig.h.services, rig.links, tool.data(),
                                                      rig.chooser, "KP70");
        rig.sheet->show();
        return *rig.sheet;
    }
    void Store(const std::vector<QString>& files) {
        for (std::size_t i = 0; i < files.size(); ++i)
            rig.h.profile.WriteString("LOGO", "Logofile" + std::to_string(i + 1),
                                      files[i].toStdString());
    }
    bool LastBoxSays(int message) const {
        return !rig.h.prompter.boxes.empty() &&
               rig.h.prompter.boxes.back().text.startsWith(rig.h.Message(message));
    }

    LogoSheetRig& rig;
    LogoTool tool{rig.h.services, rig.links, "KP70", rig.chooser};
};

// Three logos of 48,640 bytes each, 194,560 in gray: they fit the 384 KB in monochrome
// only. Gray printing left on when the sheet closed, or on at a Reset, loads them all the
// same; turning gray on over them is refused, and an upload larger than the memory sends
// nothing.
TEST(LogoSheetFile, GrayPrintingNeverDropsStoredFilesAndTheMemoryIsCheckedBeforeTheUpload) {
    LogoSheetRig rig;
    ToolRig tool(rig);
    LogoSheetScreen* sheet = &tool.Open();
    sheet->setupPage()->grayBox()->click();
    sheet->reject();
    tool.Store(
        {rig.Bmp("a.bmp", 512, 760), rig.Bmp("b.bmp", 512, 760), rig.Bmp("c.bmp", 512, 760)});
    sheet = &tool.Open();
    const LogoList& list = tool.tool.data().list;
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.FailedCount(), 0);
    EXPECT_EQ(list.TotalBytes(), 3 * 48640);
    EXPECT_TRUE(rig.h.prompter.boxes.empty());

    sheet->setupPage()->grayBox()->click();
    EXPECT_TRUE(tool.LastBoxSays(msg::kAreaTooSmall));
    EXPECT_FALSE(sheet->setupPage()->grayBox()->isChecked());
    EXPECT_FALSE(tool.tool.data().options.grayPrinting);
    EXPECT_EQ(list.TotalBytes(), 3 * 48640);

    // One file left, gray on, then Reset: the stored three come back whole, in gray.
    ASSERT_TRUE(sheet->ShowPage(LogoSheetScreen::kSelectPage));
    LogoSheetRig::SelectRows(sheet->selectPage()->listView(), {1, 2});
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    sheet->selectPage()->removeButton()->click();
    ASSERT_TRUE(sheet->ShowPage(LogoSheetScreen::kSetupPage));
    rig.h.prompter.boxes.clear();
    sheet->setupPage()->grayBox()->click();
    EXPECT_TRUE(rig.h.prompter.boxes.empty());
    ASSERT_TRUE(sheet->ShowPage(LogoSheetScreen::kSelectPage));
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    sheet->selectPage()->resetButton()->click();
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.FailedCount(), 0);
    EXPECT_EQ(list.TotalBytes(), 3 * 194560);
    EXPECT_EQ(rig.h.prompter.boxes.size(), 1u);  // the Reset question only

    ASSERT_TRUE(sheet->ShowPage(LogoSheetScreen::kUploadPage));
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    sheet->uploadPage()->uploadButton()->click();
    rig.WaitIdle();
    EXPECT_TRUE(tool.LastBoxSays(msg::kAreaTooSmall));
    EXPECT_TRUE(rig.port.Writes().empty());
}

// Eight 256 x 1536 logos fill the 384 KB exactly; centring one adds 128 blank columns to
// what the printer gets, so the upload is refused before anything is sent.
TEST(LogoSheetFile, TheColumnsCentringAddsCountAgainstTheMemory) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    QStringList files;
    for (int i = 0; i < 8; ++i) files << rig.Bmp("f" + std::to_string(i) + ".bmp", 256, 1536);
    rig.Open(files);
    ASSERT_EQ(rig.data.list.TotalBytes(), LogoList::kCapacityBytes);
    sheet.selectPage()->listView()->topLevelItem(0)->setCheckState(LogoListView::kMarkColumn,
                                                                   Qt::Checked);
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kUploadPage));
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    sheet.uploadPage()->uploadButton()->click();
    rig.WaitIdle();
    ASSERT_FALSE(rig.h.prompter.boxes.empty());
    EXPECT_TRUE(rig.h.prompter.boxes.back().text.startsWith(rig.h.Message(msg::kAreaTooSmall)));
    EXPECT_TRUE(rig.port.Writes().empty());
}

// The printer took the whole upload but the profile cannot be written: the sheet says the
// list stayed the one stored before, after the completion message.
TEST(LogoSheetFile, AnUploadWhoseListCannotBeStoredSaysSo) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    const std::string old = rig.Bmp("old.bmp").toStdString();
    rig.h.profile.WriteString("LOGO", "Logofile1", old);
    const std::string ini = rig.h.profile.Path();
    ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
    rig.Open({rig.Bmp("new.bmp")});
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kUploadPage));
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    sheet.uploadPage()->uploadButton()->click();
    rig.WaitIdle();
    const auto& boxes = rig.h.prompter.boxes;
    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[boxes.size() - 2].text, rig.h.Message(msg::kUploadComplete));
    EXPECT_TRUE(boxes.back().text.contains("could not be stored in " + QString::fromStdString(ini)))
        << boxes.back().text.toStdString();
    EXPECT_TRUE(boxes.back().text.contains("read-only")) << boxes.back().text.toStdString();
    EXPECT_EQ(rig.h.profile.GetString("LOGO", "Logofile1"), old);
}

// The "Auto Center Align Check" mark is its file's: Reset and a new opening do not hand
// it to the file that takes the same row, and an upload stores it with its file.
TEST(LogoSheetFile, AMarkBelongsToItsFileAcrossResetOpeningsAndRuns) {
    LogoSheetRig rig;
    ToolRig tool(rig);
    auto marks = [&] {
        LogoListView* view = rig.sheet->selectPage()->listView();
        std::vector<bool> marked;
        for (int row = 0; row < view->RowCount(); ++row) marked.push_back(view->RowMarked(row));
        return marked;
    };
    auto mark = [&](int row) {
        rig.sheet->selectPage()->listView()->topLevelItem(row)->setCheckState(
            LogoListView::kMarkColumn, Qt::Checked);
    };
    tool.Store({rig.Bmp("p.bmp"), rig.Bmp("q.bmp")});
    tool.Open();
    rig.Open({rig.Bmp("r.bmp")});
    mark(2);
    // Reset: back to p and q, unmarked; a file added then is not marked either.
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    rig.sheet->selectPage()->resetButton()->click();
    rig.Open({rig.Bmp("s.bmp")});
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false}));

    // Closed with r marked and never uploaded: the next opening's third file is unmarked.
    mark(2);
    rig.sheet->reject();
    tool.Open();
    rig.Open({rig.Bmp("t.bmp")});
    EXPECT_EQ(marks(), (std::vector<bool>{false, false, false}));

    // q marked and uploaded: the mark is stored with q, for the next run of the program.
    mark(1);
    ASSERT_TRUE(rig.sheet->ShowPage(LogoSheetScreen::kUploadPage));
    rig.h.prompter.answers = {Prompter::Answer::Yes};
    rig.sheet->uploadPage()->uploadButton()->click();
    rig.WaitIdle();
    ASSERT_TRUE(rig.h.prompter.boxes.back().text == rig.h.Message(msg::kUploadComplete));
    rig.sheet->reject();
    ToolRig nextRun(rig);
    nextRun.Open().ShowPage(LogoSheetScreen::kSelectPage);
    EXPECT_EQ(LogoSheetRig::Names(rig.sheet->selectPage()->listView()),
              (QStringList{"p.bmp", "q.bmp", "t.bmp"}));
    EXPECT_EQ(marks(), (std::vector<bool>{false, true, false}));
}

}  // namespace
}  // namespace kp70::test
