#pragma once

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <memory>
#include <string>

#include "core/transport/DeviceLinkFactory.h"
#include "gui/app/GuiHarness.h"
#include "gui/setup/AdvancedUserSetupScreen.h"
#include "support/FakeNetworkLink.h"
#include "support/FakeParallelController.h"
#include "support/FakePrinterPort.h"
#include "support/FastClock.h"

namespace kp70::test {

// A user setup screen on fake links: the port named portName, the model code, the
// language. Sequence waits run on the rig's clock (virtual by default), the receive
// thread's polls on a fast clock.
class SetupScreenRig {
public:
    explicit SetupScreenRig(const std::string& portName = "COM1", int modelCode = 6,
                            bool korean = false, Clock* sequenceClock = nullptr)
        : h(korean),
          clock(sequenceClock ? *sequenceClock : h.clock),
          services{h.prompter, h.catalogue, clock, h.log, h.profile, h.keyboard} {
        port.Settings().portName = portName;
        port.Settings().modelCode = modelCode;
        port.Settings().networkAddress = "10.0.0.9";
        port.Settings().networkPort = 9100;
        port.SetClock(&clock);
        network.SetClock(&clock);
        auto fake = std::make_unique<FakeParallelController>();
        fake->SetClock(&clock);
        parallel = fake.get();
        m_parallel = std::move(fake);
    }

    ~SetupScreenRig() {
        // Close as the operator would, so the threads end before the fakes go away.
        if (screen && screen->phase() != AdvancedUserSetupScreen::Phase::Closed) {
            screen->reject();
            EXPECT_TRUE(QTest::qWaitFor([this] { return Closed(); }, 10000));
        }
        screen.reset();
    }

    // Builds the screen without showing it (nothing is opened yet).
    AdvancedUserSetupScreen& Build() {
        screen = std::make_unique<AdvancedUserSetupScreen>(services, m_links, fast, 0,
                                                           "KP70 - COM1\r\nBaud : 115200");
        return *screen;
    }

    // Builds and shows the screen and waits until the connection is open (or the screen
    // closed itself).
    AdvancedUserSetupScreen& Open() {
        Build();
        screen->show();
        EXPECT_TRUE(QTest::qWaitFor([this] { return Idle() || Closed(); }, 10000));
        return *screen;
    }

    bool Idle() const { return screen->phase() == AdvancedUserSetupScreen::Phase::Idle; }
    bool Closed() const { return screen->phase() == AdvancedUserSetupScreen::Phase::Closed; }
    // Waits until the operation under way has ended.
    void WaitIdle() {
        ASSERT_TRUE(QTest::qWaitFor([this] { return Idle() || Closed(); }, 10000));
    }

    template <typename T>
    T* Find(const char* name) const {
        auto* widget = screen->findChild<T*>(QString::fromUtf8(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }
    QRadioButton* Radio(const std::string& pair, bool second) const {
        return Find<QRadioButton>((pair + (second ? "Second" : "First")).c_str());
    }
    QComboBox* List(const char* name) const { return Find<QComboBox>(name); }
    QLineEdit* Field(const char* name) const { return Find<QLineEdit>(name); }
    QPushButton* Button(const char* name) const { return Find<QPushButton>(name); }
    QLabel* Label(const char* name) const { return Find<QLabel>(name); }

    // The operator's actions.
    void Click(const std::string& pair, bool second) const { Radio(pair, second)->click(); }
    void Choose(const char* list, int index) const {
        QComboBox* combo = List(list);
        combo->setCurrentIndex(index);
        emit combo->activated(index);
    }
    void Type(const char* field, const QString& text) const {
        QLineEdit* edit = Field(field);
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void Press(const char* button) const { Button(button)->click(); }

    bool Visible(QWidget* widget) const { return widget->isVisibleTo(screen.get()); }

    GuiHarness h;
    Clock& clock;
    ScreenServices services;
    FastClock fast;
    FakePrinterPort port;
    FakeNetworkLink network;
    FakeParallelController* parallel = nullptr;
    std::unique_ptr<AdvancedUserSetupScreen> screen;

private:
    std::unique_ptr<ParallelController> m_parallel;
    DeviceLinkFactory m_links{
        port, network, clock,
        [this]() -> std::unique_ptr<ParallelController> { return std::move(m_parallel); }};
};

}  // namespace kp70::test
