#pragma once

#include <QWidget>

#include "gui/logo/LogoSheetContext.h"

class QLineEdit;

namespace kp70 {

class LogoListView;

// One page of the logo sheet. The sheet calls Activate when the page comes to the front
// and Leave before another page does (or OK closes the sheet).
class LogoPage : public QWidget {
    Q_OBJECT

public:
    explicit LogoPage(LogoSheetContext& context, QWidget* parent = nullptr)
        : QWidget(parent), m_context(context) {}

    virtual void Activate() = 0;
    // False keeps the page in front (an entry out of its range).
    virtual bool Leave() { return true; }

    // The counters under the list, where the page has them.
    QLineEdit* countField() const { return m_count; }
    QLineEdit* sizeField() const { return m_size; }

protected:
    // The "Number of Image Files" and "Total Image File Size" fields in a widget.
    QWidget* MakeCounters();
    void ShowCounters();
    // The list view filled with the list, the current row selected.
    void FillList(LogoListView* view);
    // A sort cleared the current row.
    void ConnectSort(LogoListView* view);

    LogoSheetContext& m_context;
    bool m_shown = false;  // first display done

private:
    QLineEdit* m_count = nullptr;
    QLineEdit* m_size = nullptr;
};

}  // namespace kp70
