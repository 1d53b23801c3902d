#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/transport/DeviceLinkFactory.h"
#include "gui/app/FileChooser.h"
#include "gui/app/GuiHarness.h"
#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSelectPage.h"
#include "gui/logo/LogoSheetScreen.h"
#include "support/BmpBuilder.h"
#include "support/FakeNetworkLink.h"
#include "support/FakePrinterPort.h"

namespace kp70::test {

// A FileChooser for tests: records each box and answers with the files of its script
// (none, as a cancelled box, once the script is used up).
class ScriptedFileChooser : public FileChooser {
public:
    struct Box {
        QString filter;
        QString suffix;
        QString initialPath;
    };

    std::deque<QStringList> answers;
    std::vector<Box> boxes;

    QStringList OpenFiles(QWidget*, const QString& filter, const QString& defaultSuffix,
                          const QString& initialPath) override {
        boxes.push_back({filter, defaultSuffix, initialPath});
        if (answers.empty()) return {};
        QStringList files = answers.front();
        answers.pop_front();
        return files;
    }
    // The firmware tools' box; the logo sheet never opens it.
    QString ChooseFile(QWidget*, const QString&, const QString&) override {
        ADD_FAILURE() << "the logo sheet opened a firmware file box";
        return {};
    }
};

// A logo sheet over fake links: the port named portName with the model code, the
// language; the jobs' waits on the harness's virtual clock.
class LogoSheetRig {
public:
    explicit LogoSheetRig(const std::string& portName = "/dev/ttyS0", int modelCode = 6,
                          bool korean = false)
        : h(korean) {
        port.Settings().portName = portName;
        port.Settings().modelCode = modelCode;
        port.Settings().networkAddress = "10.0.0.9";
        port.Settings().networkPort = 9100;
        port.SetClock(&h.clock);
        network.SetClock(&h.clock);
    }

    ~LogoSheetRig() { sheet.reset(); }

    LogoSheetScreen& Build() {
        sheet = std::make_unique<LogoSheetScreen>(h.services, links, data, chooser,
                                                  "KP70 - /dev/ttyS0\r\nBaud : 115200");
        sheet->show();
        return *sheet;
    }

    // A black 24-bit bitmap in the harness's folder.
    QString Bmp(const std::string& name, int width = 16, int height = 8) const {
        return QString::fromStdString(WriteBmp(h.dir, name, Solid24(width, height, 0)));
    }
    // Open File... on Select Bitmap, answered with these files.
    void Open(const QStringList& files) {
        sheet->ShowPage(LogoSheetScreen::kSelectPage);
        chooser.answers.push_back(files);
        sheet->selectPage()->openFileButton()->click();
    }
    // Waits until the job under way has ended.
    void WaitIdle() const {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !sheet->busy(); }, 10000));
    }
    static std::vector<int> Numbers(const LogoListView* view) {
        std::vector<int> numbers;
        for (int row = 0; row < view->RowCount(); ++row) numbers.push_back(view->RowNumber(row));
        return numbers;
    }
    static QStringList Names(const LogoListView* view) {
        QStringList names;
        for (int row = 0; row < view->RowCount(); ++row)
            names << view->RowText(row, LogoListView::kNameColumn);
        return names;
    }
    static void SelectRows(LogoListView* view, const std::vector<int>& rows) {
        view->clearSelection();
        for (int row : rows) {
            view->setCurrentItem(view->topLevelItem(row), 0, QItemSelectionModel::Select);
        }
    }

    GuiHarness h;
    FakePrinterPort port;
    FakeNetworkLink network;
    DeviceLinkFactory links{port, network, h.clock, {}};
    LogoToolData data;
    ScriptedFileChooser chooser;
    std::unique_ptr<LogoSheetScreen> sheet;
};

}  // namespace kp70::test
