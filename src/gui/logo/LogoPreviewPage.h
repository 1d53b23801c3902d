#pragma once

#include <QImage>

#include "core/logo/LogoPreview.h"
#include "gui/logo/LogoPage.h"

class QButtonGroup;
class QRadioButton;

namespace kp70 {

class LogoPreviewArea;

// "Preview Bitmap": the current file as the file looks, in four sizes (the integer
// arithmetic of PreviewImageSize), or, with "Printer dots", as the printer will print it
// with the current options (diverging point, gray, the file's centring mark in the
// printable area), scaled so the printable area fills the preview's width.
class LogoPreviewPage : public LogoPage {
    Q_OBJECT

public:
    // The choices in the page's radio order; the first four are the qualities.
    enum class Choice { Normal = 0, Quadruple = 1, DoubleHeight = 2, DoubleWidth = 3, PrinterDots };

    explicit LogoPreviewPage(LogoSheetContext& context, QWidget* parent = nullptr);

    void Activate() override;
    // Draws the current file again (also on a selection change and a choice).
    void Draw();

    LogoListView* listView() const { return m_view; }
    LogoPreviewArea* previewArea() const { return m_area; }
    QRadioButton* choiceButton(Choice choice) const;
    Choice choice() const;

private:
    void DrawFile(const LogoEntry& entry, int position);
    void DrawDots(const LogoEntry& entry);

    LogoListView* m_view = nullptr;
    LogoPreviewArea* m_area = nullptr;
    QButtonGroup* m_choices = nullptr;
};

}  // namespace kp70
