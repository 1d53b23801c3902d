#pragma once

#include "core/logo/UploadJob.h"
#include "gui/logo/LogoProgressWindow.h"

namespace kp70 {

// The upload window, "Uploading": "Erasing..." while the printer erases its NV memory,
// then "Updating(sent/total)...name", the bar at the bytes sent / 100.
class UploadProgressWindow : public LogoProgressWindow {
    Q_OBJECT

public:
    explicit UploadProgressWindow(bool korean, QWidget* parent = nullptr)
        : LogoProgressWindow(Kind::Upload, korean, parent) {}

    void ShowProgress(const UploadProgress& progress) {
        Show(progress.text, progress.range, progress.position);
    }
};

}  // namespace kp70
