#pragma once

#include <QString>
#include <vector>

#include "core/app/ConnectionSettings.h"
#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "gui/app/KeyboardState.h"
#include "gui/app/MainMenuRunner.h"
#include "gui/app/ScreenServices.h"
#include "support/FakeNetworkLink.h"
#include "support/FakePrinterPort.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"

namespace kp70::test {

// Records each time the main menu would open, with the settings it would see.
struct RecordingMenu : MainMenuRunner {
    explicit RecordingMenu(ConnectionSettings& s) : settings(s) {}
    void RunMainMenu(QWidget*) override { shown.push_back(settings); }
    ConnectionSettings& settings;
    std::vector<ConnectionSettings> shown;
};

// The Ctrl key as a test sets it: held or not while a screen opens.
struct FixedKeyboardState : KeyboardState {
    bool controlHeld = false;
    bool ControlHeld() const override { return controlHeld; }
};

// The services a screen is built with, all of them doubles: scripted message boxes, a
// virtual clock, a closed error log and a profile in a fresh directory.
struct GuiHarness {
    explicit GuiHarness(bool korean = false) { catalogue.SelectLanguage(korean); }

    QString Message(int n) const { return QString::fromStdString(catalogue.Message(n)); }

    TempDir dir;
    VirtualClock clock;
    ErrorLog log{clock};
    MessageCatalogue catalogue;
    ScriptedPrompter prompter;
    Profile profile{dir.File("kp70tool.INI")};
    FixedKeyboardState keyboard;
    ScreenServices services{prompter, catalogue, clock, log, profile, keyboard};
};

}  // namespace kp70::test
