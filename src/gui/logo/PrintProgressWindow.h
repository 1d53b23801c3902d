#pragma once

#include "core/logo/PrintJob.h"
#include "gui/logo/LogoProgressWindow.h"

namespace kp70 {

// The print window, "Printing": "Printing... n/255" and the bar at the images printed.
class PrintProgressWindow : public LogoProgressWindow {
    Q_OBJECT

public:
    explicit PrintProgressWindow(bool korean, QWidget* parent = nullptr)
        : LogoProgressWindow(Kind::Print, korean, parent) {}

    void ShowProgress(const PrintProgress& progress) {
        Show(progress.text, progress.range, progress.printed);
    }
};

}  // namespace kp70
