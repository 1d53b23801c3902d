#pragma once

#include "gui/logo/LogoPage.h"

class QPushButton;

namespace kp70 {

// "Select Bitmap": the list with one "Auto Center Align Check" box per file, Open File...
// (several files at once; adding stops at the first file the list refuses), Remove (the
// selected rows, the last first) and Reset (back to the list the last complete upload
// stored). Building the page resets the options to their defaults.
class LogoSelectPage : public LogoPage {
    Q_OBJECT

public:
    explicit LogoSelectPage(LogoSheetContext& context, QWidget* parent = nullptr);

    void Activate() override;
    bool Leave() override;

    LogoListView* listView() const { return m_view; }
    QPushButton* openFileButton() const { return m_open; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* resetButton() const { return m_reset; }

private:
    void OnOpenFile();
    void OnRemove();
    void OnReset();
    void OnSelectionChanged();
    void OnMarkChanged(int number, bool marked);
    // The notice of printers with 128 KB of NV graphics memory, when the list is larger.
    void NoticeSmallMemory();

    LogoListView* m_view = nullptr;
    QPushButton* m_open = nullptr;
    QPushButton* m_remove = nullptr;
    QPushButton* m_reset = nullptr;
};

}  // namespace kp70
