// The logo sheet on the offscreen platform over fake links: what its pages show and do,
// state-based (texts, rows, enabled controls, the bytes the fake printer got).
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <condition_variable>
#include <mutex>

#include "core/app/MessageCatalogue.h"
#include "core/logo/BitImageConversion.h"
#include "gui/logo/LogoPreviewArea.h"
#include "gui/logo/LogoPreviewPage.h"
#include "gui/logo/LogoPrintPage.h"
#include "gui/logo/LogoSetupPage.h"
#include "gui/logo/LogoSheetRig.h"
#include "gui/logo/LogoUploadPage.h"
#include "gui/logo/UploadProgressWindow.h"
#include "image/StbImageDecoder.h"
#include "support/PngBuilder.h"

namespace kp70::test {
namespace {

using Answer = Prompter::Answer;

FakeBytes Concat(std::initializer_list<FakeBytes> parts) {
    FakeBytes all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Header and data of a black w x h monochrome image.
FakeBytes BlackImage(int w, int h) {
    FakeBytes b = {static_cast<std::uint8_t>(w / 8), 0, static_cast<std::uint8_t>(h / 8), 0};
    b.insert(b.end(), static_cast<std::size_t>(w * h / 8), 0xFF);
    return b;
}

TEST(LogoSheet, OpensOnSetupWithFivePagesAndOnlyOkAndCancel) {
    struct Case {
        int modelCode;
        int area;
        bool grayOffered;
    };
    for (const Case& c : {Case{6, 512, true}, Case{2, 384, false}}) {
        LogoSheetRig rig("/dev/ttyS0", c.modelCode);
        // Options of an earlier opening start afresh.
        rig.data.options.divergingPoint = 200;
        rig.data.options.starEmulation = true;
        LogoSheetScreen& sheet = rig.Build();
        EXPECT_EQ(sheet.windowTitle(), "KP 70 Tool : Image Logo Setup");
        QStringList tabs;
        for (int i = 0; i < sheet.tabs()->count(); ++i) tabs << sheet.tabs()->tabText(i);
        EXPECT_EQ(tabs, (QStringList{"Select Bitmap", "Preview Bitmap", "Upload Bitmap",
                                     "Print Bitmap", "Setup"}));
        EXPECT_EQ(sheet.tabs()->currentIndex(), LogoSheetScreen::kSetupPage);
        EXPECT_EQ(sheet.buttons()->standardButtons(),
                  QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
        const LogoOptions& options = rig.data.options;
        EXPECT_EQ(options.divergingPoint, 128);
        EXPECT_FALSE(options.starEmulation);
        EXPECT_EQ(options.maxPrintableArea, c.area);
        LogoSetupPage* setup = sheet.setupPage();
        EXPECT_EQ(setup->areaField()->text(), QString::number(c.area));
        EXPECT_EQ(setup->divergingField()->text(), "128");
        EXPECT_EQ(setup->divergingSlider()->value(), 128);
        EXPECT_EQ(setup->grayBox()->isEnabled(), c.grayOffered);
        EXPECT_FALSE(setup->starBox()->isChecked());
        EXPECT_EQ(setup->deviceText()->toPlainText(), "KP70 - /dev/ttyS0\nBaud : 115200");
    }
}

TEST(LogoSheet, OpenFileAddsUntilTheFirstRefusedFile) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    test::WriteFile(rig.h.dir.File("bad.bmp"), "BM not a bitmap");
    const QString bad = QString::fromStdString(rig.h.dir.File("bad.bmp"));
    rig.Open({rig.Bmp("a.bmp"), rig.Bmp("b.bmp"), bad, rig.Bmp("d.bmp"), rig.Bmp("e.bmp")});
    LogoListView* view = sheet.selectPage()->listView();
    EXPECT_EQ(LogoSheetRig::Names(view), (QStringList{"a.bmp", "b.bmp"}));
    EXPECT_EQ(LogoSheetRig::Numbers(view), (std::vector<int>{1, 2}));
    ASSERT_EQ(rig.h.prompter.boxes.size(), 1u);
    EXPECT_EQ(rig.h.prompter.boxes[0].text, rig.h.Message(msg::kStoredFileIncorrect));
    EXPECT_EQ(rig.h.prompter.boxes[0].icon, Prompter::Icon::Warning);
    EXPECT_EQ(sheet.selectPage()->countField()->text(), "  2 / 255");
    EXPECT_EQ(sheet.selectPage()->sizeField()->text(), "  1 / 384 KByte");
    ASSERT_EQ(rig.chooser.boxes.size(), 1u);
    EXPECT_EQ(rig.chooser.boxes[0].filter,
              "Bitmap Files(*.bmp);;Images(*.png *.jpg *.jpeg *.gif *.bmp)");
    EXPECT_EQ(rig.chooser.boxes[0].suffix, "bmp");
    // The next box proposes the last file chosen.
    rig.Open({});
    EXPECT_EQ(rig.chooser.boxes[1].initialPath, bad);
}

TEST(LogoSheet, OpenFileTakesAPngAndThePreviewShowsItOverWhite) {
    InstallStandardImageDecoders();
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    // The left half opaque red, the right half transparent.
    const auto png =
        test::BuildPng(20, 10, [](int x, int) { return x < 10 ? 0xFF0000FFu : 0x00FF0000u; });
    const std::string path = rig.h.dir.File("logo.png");
    test::WriteFile(path, std::string(png.begin(), png.end()));
    rig.Open({QString::fromStdString(path)});
    EXPECT_TRUE(rig.h.prompter.boxes.empty());
    EXPECT_EQ(LogoSheetRig::Names(sheet.selectPage()->listView()), (QStringList{"logo.png"}));
    ASSERT_EQ(rig.data.list.Entries().size(), 1u);
    EXPECT_EQ(rig.data.list.Entries()[0].path, path);

    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kPreviewPage));
    LogoPreviewPage* page = sheet.previewPage();
    LogoSheetRig::SelectRows(page->listView(), {0});
    page->choiceButton(LogoPreviewPage::Choice::Normal)->click();
    // Stretched to the area: the left half red, the transparent right half white.
    const QImage& image = page->previewArea()->image();
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(image.width() - 1, image.height() - 1), qRgb(255, 255, 255));
}

TEST(LogoSheet, RemoveTakesTheSelectedRowsWithTheirMarksAndFreesTheirNumbers) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    rig.Open(
        {rig.Bmp("1.bmp"), rig.Bmp("2.bmp"), rig.Bmp("3.bmp"), rig.Bmp("4.bmp"), rig.Bmp("5.bmp")});
    LogoListView* view = sheet.selectPage()->listView();
    view->topLevelItem(2)->setCheckState(LogoListView::kMarkColumn, Qt::Checked);
    EXPECT_TRUE(rig.data.list.Entries()[2].center);

    view->clearSelection();
    sheet.selectPage()->removeButton()->click();
    EXPECT_EQ(rig.h.prompter.boxes.back().text, rig.h.Message(msg::kNoBitmapSelected));

    LogoSheetRig::SelectRows(view, {1, 4});
    rig.h.prompter.answers = {Answer::No};
    sheet.selectPage()->removeButton()->click();
    EXPECT_EQ(view->RowCount(), 5);
    EXPECT_EQ(rig.h.prompter.boxes.back().text, "Remove selected file?");
    EXPECT_EQ(rig.h.prompter.boxes.back().caption, "Image downloader");
    EXPECT_EQ(rig.h.prompter.boxes.back().buttons, Prompter::Buttons::YesNo);

    rig.h.prompter.answers = {Answer::Yes};
    sheet.selectPage()->removeButton()->click();
    EXPECT_EQ(LogoSheetRig::Numbers(view), (std::vector<int>{1, 3, 4}));
    EXPECT_EQ(rig.data.list.FreeNumbers(), (std::vector<int>{2, 5}));
    // The mark stays with file 3, now second in the list.
    EXPECT_TRUE(view->RowMarked(1));
    EXPECT_TRUE(rig.data.list.Entries()[1].center);
    EXPECT_FALSE(rig.data.list.Entries()[2].center);
    EXPECT_EQ(sheet.context().currentNumber, -1);

    rig.Open({rig.Bmp("6.bmp"), rig.Bmp("7.bmp")});
    EXPECT_EQ(LogoSheetRig::Numbers(view), (std::vector<int>{1, 3, 4, 2, 5}));
    EXPECT_FALSE(view->RowMarked(3));
}

TEST(LogoSheet, HeadingClicksSortAndAMarkFollowsItsFile) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    rig.Open({rig.Bmp("b.bmp", 8, 8), rig.Bmp("A.bmp", 800, 80), rig.Bmp("c.bmp", 64, 8)});
    LogoListView* view = sheet.selectPage()->listView();
    view->topLevelItem(2)->setCheckState(LogoListView::kMarkColumn, Qt::Checked);  // c
    LogoSheetRig::SelectRows(view, {1});
    EXPECT_EQ(sheet.context().currentNumber, 2);

    struct Click {
        int column;
        QStringList names;
    };
    const Click clicks[] = {
        {LogoListView::kNameColumn, {"c.bmp", "b.bmp", "A.bmp"}},  // first click: descending
        {LogoListView::kNameColumn, {"A.bmp", "b.bmp", "c.bmp"}},  // second: ascending
        {LogoListView::kSizeColumn, {"b.bmp", "c.bmp", "A.bmp"}},  // other column: kept
        {LogoListView::kNumberColumn, {"b.bmp", "A.bmp", "c.bmp"}},
    };
    for (const Click& click : clicks) {
        view->header()->sectionClicked(click.column);
        EXPECT_EQ(LogoSheetRig::Names(view), click.names) << click.column;
        EXPECT_EQ(sheet.context().currentNumber, -1);
        EXPECT_TRUE(view->selectedItems().isEmpty());
        for (int row = 0; row < view->RowCount(); ++row) {
            EXPECT_EQ(view->RowMarked(row), view->RowText(row, 2) == "c.bmp") << row;
        }
    }
    // Leaving the page writes each file's mark, whatever order the rows are in.
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kUploadPage));
    EXPECT_FALSE(rig.data.list.Entries()[0].center);
    EXPECT_FALSE(rig.data.list.Entries()[1].center);
    EXPECT_TRUE(rig.data.list.Entries()[2].center);
    // Other pages show the list order again.
    EXPECT_EQ(LogoSheetRig::Names(sheet.uploadPage()->listView()),
              (QStringList{"b.bmp", "A.bmp", "c.bmp"}));
}

TEST(LogoSheet, ListViewCutsTextsThatDoNotFit) {
    const QFontMetrics metrics(QApplication::font());
    EXPECT_EQ(LogoListView::FittedText("logo.bmp", metrics, 400), "logo.bmp");
    const QString cut = LogoListView::FittedText("a-very-long-logo-file-name.bmp", metrics, 60);
    EXPECT_TRUE(cut.endsWith("...")) << cut.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(cut), 60);
    EXPECT_EQ(LogoListView::FittedText("123", metrics, 14), "");
}

TEST(LogoSheet, PreviewDrawsTheFileInFourSizesAndThePrintersDots) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    rig.Open({rig.Bmp("wide.bmp", 400, 100), rig.Bmp("tall.bmp", 100, 400),
              rig.Bmp("small.bmp", 64, 16)});
    sheet.selectPage()->listView()->topLevelItem(2)->setCheckState(LogoListView::kMarkColumn,
                                                                   Qt::Checked);
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kPreviewPage));
    LogoPreviewPage* page = sheet.previewPage();
    EXPECT_EQ(sheet.context().marker, PageMarker::Preview);
    page->previewArea()->setFixedSize(300, 200);
    EXPECT_FALSE(page->previewArea()->HasImage());  // no current row

    using Choice = LogoPreviewPage::Choice;
    struct Case {
        int row;
        Choice choice;
        int w, h;
    };
    const Case cases[] = {
        {0, Choice::Normal, 150, 37},       {0, Choice::Quadruple, 300, 74},
        {0, Choice::DoubleHeight, 150, 74}, {0, Choice::DoubleWidth, 300, 37},
        {1, Choice::Normal, 25, 100},
    };
    for (const Case& c : cases) {
        LogoSheetRig::SelectRows(page->listView(), {c.row});
        page->choiceButton(c.choice)->click();
        EXPECT_EQ(page->previewArea()->drawnRect(), QRect(0, 0, c.w, c.h)) << c.row;
        // The file's own colours: black.
        EXPECT_EQ(page->previewArea()->image().pixel(0, 0), qRgb(0, 0, 0));
    }
    // The printer's dots of the marked 64-dot file: centred in 512 dots, shown at the
    // scale that fits the paper's width into the area.
    LogoSheetRig::SelectRows(page->listView(), {2});
    page->choiceButton(Choice::PrinterDots)->click();
    const QImage& dots = page->previewArea()->image();
    const int pad = ((512 - 64) / 2 + 7) / 8 * 8;
    ASSERT_EQ(dots.width(), pad + 64);
    EXPECT_EQ(dots.height(), 16);
    EXPECT_EQ(qGray(dots.pixel(pad - 1, 0)), 255);
    EXPECT_EQ(qGray(dots.pixel(pad, 0)), 0);
    EXPECT_EQ(page->previewArea()->printableEdge(), 300);
    EXPECT_EQ(page->previewArea()->drawnRect().width(), qRound((pad + 64) * 300.0 / 512));
    // Gray printing shows the gray levels of the same file, never centred.
    sheet.ShowPage(LogoSheetScreen::kSetupPage);
    sheet.setupPage()->grayBox()->click();
    sheet.ShowPage(LogoSheetScreen::kPreviewPage);
    EXPECT_EQ(page->previewArea()->image().width(), 64);
    // A file that cannot be read any more leaves the area empty.
    std::remove(rig.data.list.Entries()[2].path.c_str());
    page->Draw();
    EXPECT_FALSE(page->previewArea()->HasImage());
}

TEST(LogoSheet, PrintToFileSwapsThePortNameAndPrintIsOffForAFile) {
    LogoSheetRig rig("/dev/ttyUSB0");
    LogoSheetScreen& sheet = rig.Build();
    LogoSetupPage* setup = sheet.setupPage();

    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kPrintPage));
    EXPECT_TRUE(sheet.printPage()->printButton()->isEnabled());
    EXPECT_EQ(sheet.printPage()->printerNameField()->text(), "KP70");
    EXPECT_EQ(sheet.printPage()->portNameField()->text(), "/dev/ttyUSB0");

    sheet.ShowPage(LogoSheetScreen::kSetupPage);
    setup->printToFileBox()->click();
    EXPECT_EQ(rig.port.Settings().portName, "FILE");
    EXPECT_EQ(setup->deviceText()->toPlainText(), "FILE");
    sheet.ShowPage(LogoSheetScreen::kUploadPage);
    EXPECT_TRUE(sheet.uploadPage()->toFile());
    EXPECT_EQ(sheet.uploadPage()->printerNameField()->text(), "To File");
    EXPECT_EQ(sheet.uploadPage()->portNameField()->text(), "To File");
    sheet.ShowPage(LogoSheetScreen::kPrintPage);
    EXPECT_FALSE(sheet.printPage()->printButton()->isEnabled());

    sheet.ShowPage(LogoSheetScreen::kSetupPage);
    setup->printToFileBox()->click();
    EXPECT_EQ(rig.port.Settings().portName, "/dev/ttyUSB0");
    setup->printToFileBox()->click();
    // Closing the sheet gives the connection its own port back and empties the list.
    rig.Open({rig.Bmp("a.bmp")});
    sheet.reject();
    EXPECT_EQ(rig.port.Settings().portName, "/dev/ttyUSB0");
    EXPECT_EQ(rig.data.list.Count(), 0);
    EXPECT_TRUE(rig.data.options.printToFile);  // the choice holds for the next opening
}

TEST(LogoSheet, SetupEntriesOutOfRangeKeepTheSetupPageInFront) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    LogoSetupPage* setup = sheet.setupPage();
    setup->areaField()->setText("0");
    EXPECT_FALSE(sheet.ShowPage(LogoSheetScreen::kSelectPage));
    EXPECT_EQ(sheet.tabs()->currentIndex(), LogoSheetScreen::kSetupPage);
    EXPECT_EQ(rig.h.prompter.boxes.back().text, "Please enter an integer between 1 and 512.");
    sheet.accept();  // OK refuses too
    EXPECT_TRUE(sheet.isVisible());

    setup->areaField()->setText("300");
    QTest::keyClicks(setup->divergingField(), "9");  // "1289"
    EXPECT_FALSE(sheet.ShowPage(LogoSheetScreen::kSelectPage));
    EXPECT_EQ(rig.h.prompter.boxes.back().text, "Please enter an integer between 0 and 255.");

    setup->divergingField()->clear();
    QTest::keyClicks(setup->divergingField(), "40");
    EXPECT_EQ(setup->divergingSlider()->value(), 40);
    setup->starBox()->click();
    EXPECT_FALSE(rig.data.options.starEmulation);  // applied when the page is left
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kSelectPage));
    EXPECT_EQ(rig.data.options.maxPrintableArea, 300);
    EXPECT_EQ(rig.data.options.divergingPoint, 40);
    EXPECT_TRUE(rig.data.options.starEmulation);
}

TEST(LogoSheet, GrayPrintingRewritesTheListedSizesAtOnce) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    rig.Open({rig.Bmp("a.bmp", 100, 100)});
    sheet.ShowPage(LogoSheetScreen::kSetupPage);
    sheet.setupPage()->grayBox()->click();
    sheet.ShowPage(LogoSheetScreen::kUploadPage);
    EXPECT_EQ(sheet.uploadPage()->listView()->RowText(0, 3).trimmed(), "5408");
    EXPECT_EQ(sheet.uploadPage()->sizeField()->text(), "  5 / 384 KByte");
    sheet.ShowPage(LogoSheetScreen::kSetupPage);
    sheet.setupPage()->grayBox()->click();
    EXPECT_EQ(rig.data.list.TotalBytes(), 1352);
}

TEST(LogoSheet, KoreanLabelsOnEveryPage) {
    LogoSheetRig rig("/dev/ttyS0", 6, true);
    LogoSheetScreen& sheet = rig.Build();
    auto texts = [](QWidget* page) {
        QStringList all;
        for (auto* b : page->findChildren<QAbstractButton*>()) all << b->text();
        for (auto* g : page->findChildren<QGroupBox*>()) all << g->title();
        for (auto* l : page->findChildren<QLabel*>()) all << l->text();
        return all;
    };
    const std::pair<QWidget*, QStringList> pages[] = {
        {sheet.selectPage(),
         {"비트맵 목록", "파일 열기", "삭제", "초기화", "이미지 파일 갯수",
          "전체 이미지 파일 크기"}},
        {sheet.previewPage(),
         {"비트맵 목록", "일반", "가로2배 / 세로2배", "세로 2배", "가로 2배", "이미지 파일 갯수"}},
        {sheet.uploadPage(),
         {"이미지 목록", "전송", "프린터 정보", "프린터 이름", "프린터 포트",
          "전체 이미지 파일 크기"}},
        {sheet.printPage(),
         {"전체", "선택", "크기", "일반", "가로 2배", "세로 2배", "가로2배 / 세로2배", "제목",
          "제목 없음", "제목 인쇄", "인쇄", "프린터 정보", "프린터 이름", "프린터 포트"}},
        {sheet.setupPage(),
         {"파일로 출력", "농도조절인쇄", "STAR 에뮬레이션", "정보", "설정", "인쇄 가능 영역",
          "프린터 정보"}},
    };
    for (const auto& [page, labels] : pages) {
        const QStringList shown = texts(page);
        for (const QString& label : labels)
            EXPECT_TRUE(shown.contains(label)) << label.toStdString();
    }
    EXPECT_TRUE(sheet.setupPage()->aboutText()->text().startsWith("비트맵 이미지 전송"));
}

// ---- jobs ----

TEST(LogoSheet, UploadSendsTheListStoresItAndResetBringsItBack) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    rig.Open({rig.Bmp("a.bmp", 16, 8), rig.Bmp("b.bmp", 8, 8)});
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kUploadPage));
    EXPECT_EQ(sheet.context().marker, PageMarker::Upload);

    rig.h.prompter.answers = {Answer::No};
    sheet.uploadPage()->uploadButton()->click();
    EXPECT_EQ(rig.h.prompter.boxes.back().text, rig.h.Message(msg::kUploadQuestion));
    EXPECT_FALSE(sheet.busy());
    EXPECT_TRUE(rig.port.Writes().empty());

    rig.h.prompter.answers = {Answer::Yes};
    sheet.uploadPage()->uploadButton()->click();
    EXPECT_FALSE(sheet.tabs()->isEnabled());
    rig.WaitIdle();
    EXPECT_TRUE(sheet.tabs()->isEnabled());
    EXPECT_EQ(rig.h.prompter.boxes.back().text, rig.h.Message(msg::kUploadComplete));
    EXPECT_EQ(rig.port.WrittenBytes(), Concat({{0x1D, 0x49, 0x01, 0x1B, 0x40, 0x1C, 0x71, 0x02},
                                               BlackImage(16, 8),
                                               BlackImage(8, 8)}));
    EXPECT_EQ(rig.h.clock.Sleeps().front(), 3500);  // the erase wait, off the screen's thread
    EXPECT_EQ(sheet.uploadWindow(), nullptr);

    // Reset discards what was added since and brings back what the upload stored.
    rig.Open({rig.Bmp("c.bmp")});
    rig.h.prompter.answers = {Answer::Yes};
    sheet.selectPage()->resetButton()->click();
    EXPECT_EQ(rig.h.prompter.boxes.back().text, rig.h.Message(msg::kResetListQuestion));
    EXPECT_EQ(LogoSheetRig::Names(sheet.selectPage()->listView()), (QStringList{"a.bmp", "b.bmp"}));
}

// A port that holds the writing thread at its first write of NV data until let go, so the
// test can look at the sheet while the job waits.
struct HeldPort {
    std::mutex mutex;
    std::condition_variable changed;
    bool held = false;
    bool released = false;

    void Hold() {
        std::unique_lock lock(mutex);
        held = true;
        changed.notify_all();
        changed.wait(lock, [this] { return released; });
    }
    void Release() {
        std::lock_guard lock(mutex);
        released = true;
        changed.notify_all();
    }
    bool Held() {
        std::lock_guard lock(mutex);
        return held;
    }
};

TEST(LogoSheet, CancelFromTheUploadWindowCompletesTheDefinitionWithEmptyImages) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    rig.Open({rig.Bmp("a.bmp"), rig.Bmp("b.bmp"), rig.Bmp("c.bmp")});
    HeldPort hold;
    rig.port.responder = [&hold](const FakeBytes& written) {
        if (written.size() == 3 && written[0] == 0x1C) hold.Hold();  // the define command
        return FakeBytes{};
    };
    sheet.ShowPage(LogoSheetScreen::kUploadPage);
    rig.h.prompter.answers = {Answer::Yes};
    sheet.uploadPage()->uploadButton()->click();
    // The job waits at the printer; the window shows and answers meanwhile.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return hold.Held() && sheet.uploadWindow() && sheet.uploadWindow()->isVisible(); },
        10000));
    EXPECT_EQ(sheet.uploadWindow()->windowTitle(), "Uploading");
    EXPECT_EQ(sheet.uploadWindow()->textLabel()->text(), "Erasing...");
    EXPECT_FALSE(sheet.buttons()->isEnabled());
    sheet.uploadWindow()->cancelButton()->click();
    EXPECT_FALSE(sheet.uploadWindow()->cancelButton()->isEnabled());
    hold.Release();
    rig.WaitIdle();

    // Stopped before the first image: the printer gets 3 - 0 + 1 empty images.
    FakeBytes expected = {0x1D, 0x49, 0x01, 0x1B, 0x40, 0x1C, 0x71, 0x03};
    expected.insert(expected.end(), 16, 0x00);
    EXPECT_EQ(rig.port.WrittenBytes(), expected);
    EXPECT_TRUE(rig.h.prompter.boxes.size() == 1u);  // no completion message
    EXPECT_TRUE(rig.h.profile.SectionEntries("LOGO").empty());
}

TEST(LogoSheet, AnEmptyListDeletesAllLogos) {
    LogoSheetRig rig;
    LogoSheetScreen& sheet = rig.Build();
    sheet.ShowPage(LogoSheetScreen::kUploadPage);
    rig.h.prompter.answers = {Answer::Yes};
    sheet.uploadPage()->uploadButton()->click();
    EXPECT_EQ(rig.h.prompter.boxes.back().text, rig.h.Message(msg::kDeleteAllQuestion));
    EXPECT_EQ(rig.h.prompter.boxes.back().icon, Prompter::Icon::None);
    rig.WaitIdle();
    EXPECT_EQ(rig.port.WrittenBytes(),
              (FakeBytes{0x1D, 0x49, 0x01, 0x1B, 0x40, 0x1C, 0x71, 0x01, 0, 0, 0, 0}));
}

TEST(LogoSheet, PrintSendsTheSelectionAndRefusesABadOne) {
    LogoSheetRig rig("LPT1");
    LogoSheetScreen& sheet = rig.Build();
    ASSERT_TRUE(sheet.ShowPage(LogoSheetScreen::kPrintPage));
    LogoPrintPage* page = sheet.printPage();
    page->selectionButton()->click();
    QTest::keyClicks(page->selectionField(), "3,1");
    page->qualityButton(NvPrintMode::Quadruple)->click();
    page->addHeaderButton()->click();
    page->printButton()->click();
    rig.WaitIdle();
    EXPECT_EQ(rig.port.WrittenBytes(),
              Concat({{0x1D, 0x49, 0x01},
                      FakeBytes(reinterpret_cast<const std::uint8_t*>("--- Logo 3 ---\n"),
                                reinterpret_cast<const std::uint8_t*>("--- Logo 3 ---\n") + 15),
                      {0x1C, 0x70, 3, 3},
                      FakeBytes(reinterpret_cast<const std::uint8_t*>("--- Logo 1 ---\n"),
                                reinterpret_cast<const std::uint8_t*>("--- Logo 1 ---\n") + 15),
                      {0x1C, 0x70, 1, 3}}));
    EXPECT_TRUE(rig.h.prompter.boxes.empty());

    rig.port.ClearEvents();
    page->selectionField()->setText("1--3");
    page->printButton()->click();
    rig.WaitIdle();
    EXPECT_EQ(rig.h.prompter.boxes.back().text, rig.h.Message(msg::kSelectionIncorrect));
    EXPECT_EQ(rig.port.WrittenBytes(), (FakeBytes{0x1D, 0x49, 0x01}));  // the check only
    EXPECT_TRUE(page->printButton()->isEnabled());
}

}  // namespace
}  // namespace kp70::test
