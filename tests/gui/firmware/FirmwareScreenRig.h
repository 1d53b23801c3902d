#pragma once

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <deque>
#include <memory>
#include <type_traits>

#include "core/transport/DeviceLinkFactory.h"
#include "gui/app/GuiHarness.h"
#include "gui/firmware/DownloadToolForm.h"
#include "gui/firmware/DownloadToolScreen.h"
#include "gui/firmware/FirmwareUpdateForm.h"
#include "gui/firmware/FirmwareUpdateScreen.h"
#include "support/FakeNetworkLink.h"
#include "support/FakePrinterPort.h"
#include "support/FirmwareImages.h"
#include "support/ScriptedFileChooser.h"

namespace kp70::test {

// A firmware screen (Screen: FirmwareUpdateScreen or DownloadToolScreen) on fake links, its
// sequence waits on `clock` (the harness's virtual clock unless given).
template <typename Screen>
class FirmwareScreenRig {
public:
    explicit FirmwareScreenRig(const std::string& portName = "COM1", int modelCode = 6,
                               bool korean = false, Clock* sequenceClock = nullptr)
        : h(korean),
          clock(sequenceClock ? *sequenceClock : h.clock),
          services{h.prompter, h.catalogue, clock, h.log, h.profile, h.keyboard} {
        port.Settings() = {portName, 115200, 8, 0, 0, 2, modelCode, kToolModeFirmware};
        port.Settings().networkAddress = "10.0.0.7";
        port.Settings().networkPort = 9100;
    }

    ~FirmwareScreenRig() {
        // Closed as the operator would, so the runner's thread ends before the fakes go.
        if (screen && !screen->Closed()) {
            screen->reject();
            EXPECT_TRUE(QTest::qWaitFor([this] { return screen->Closed(); }, 10000));
        }
        screen.reset();
    }

    Screen& Open() {
        if constexpr (std::is_same_v<Screen, FirmwareUpdateScreen>) {
            screen = std::make_unique<Screen>(services, links, 0, "KP70 - COM1", chooser);
        } else {
            screen = std::make_unique<Screen>(services, links, "KP70 - COM1", chooser);
        }
        screen->show();
        return *screen;
    }

    std::string File(const char* name) const { return h.dir.File(name); }
    void WriteImage(const char* name, std::uint8_t bootEnable = 1) {
        WriteBytes(File(name), MakeImage(bootEnable));
    }
    // Waits until the transfer (or closing) under way has ended.
    void WaitIdle() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !screen->Busy(); }, 10000));
    }
    QString Title() const { return screen->windowTitle(); }

    GuiHarness h;
    Clock& clock;
    ScreenServices services;
    FakePrinterPort port;
    FakeNetworkLink network;
    DeviceLinkFactory links{port, network, clock, {}};
    ScriptedFileChooser chooser{ScriptedFileChooser::Kind::OneFile};
    std::unique_ptr<Screen> screen;
};

}  // namespace kp70::test
