#pragma once

#include <QString>

#include "core/app/ConnectionSettings.h"
#include "core/app/ErrorLog.h"
#include "core/app/MessageCatalogue.h"
#include "core/app/Profile.h"
#include "core/app/VirtualClock.h"
#include "gui/app/ScreenServices.h"
#include "support/FakeNetworkLink.h"
#include "support/FakePrinterPort.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"

namespace kp70::test {

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
    ScreenServices services{prompter, catalogue, clock, log, profile};
};

}  // namespace kp70::test
