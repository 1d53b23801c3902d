#pragma once

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTest>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/transport/DeviceLinkFactory.h"
#include "gui/app/GuiHarness.h"
#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoSelectPage.h"
#include "gui/logo/LogoSheetScreen.h"
#include "support/BmpBuilder.h"
#include "support/FakeNetworkLink.h"
#include "support/FakePrinterPort.h"
#include "support/ScriptedFileChooser.h"

namespace kp70::test {

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
    ScriptedFileChooser chooser{ScriptedFileChooser::Kind::SeveralFiles};
    std::unique_ptr<LogoSheetScreen> sheet;
};

}  // namespace kp70::test
