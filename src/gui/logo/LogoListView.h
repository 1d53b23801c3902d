#pragma once

#include <QTreeWidget>
#include <vector>

namespace kp70 {

class LogoList;
struct LogoOptions;

// The list of logo files as four of the sheet's pages show it: a blank column (the "Auto
// Center Align Check" boxes on Select Bitmap, zero wide elsewhere), "   No." centred,
// "Name" left, "Size" right. A text that does not fit its column is cut and ended with
// "...", and a column 14 pixels wide or narrower shows nothing.
//
// A heading click refills the rows and sorts them by that column's text without regard to
// case ("%3d" numbers and "%15d" sizes sort right as text): a second click on the same
// column flips the direction, a click on another column keeps it, and the direction starts
// descending, so the first click sorts descending. A sort clears the current row. Each
// row's check box belongs to its file: it moves with the row when sorting.
class LogoListView : public QTreeWidget {
    Q_OBJECT

public:
    enum Column { kMarkColumn = 0, kNumberColumn = 1, kNameColumn = 2, kSizeColumn = 3 };

    // withMarks: the check boxes of Select Bitmap (column 0 17 pixels wide, several rows
    // may be selected); otherwise column 0 is zero wide and one row may be selected.
    explicit LogoListView(bool withMarks, QWidget* parent = nullptr);

    // One row per list entry in list order; with marks, each row's box shows its file's
    // mark. Remembered for the refill of a heading click.
    void Fill(const LogoList& list, const LogoOptions& options);
    // Selects the row of image `number` and makes it current; -1 selects none.
    void SelectNumber(int number);
    // A heading click on `column`.
    void ClickColumn(int column);
    // Back to the direction a freshly shown page starts with.
    void ResetSort();

    int RowCount() const { return topLevelItemCount(); }
    int RowNumber(int row) const;
    bool RowMarked(int row) const;
    QString RowText(int row, int column) const;
    // Image numbers of the selected rows, top to bottom.
    std::vector<int> SelectedNumbers() const;
    // The image number of the row selected last, or -1.
    int LastSelectedNumber() const;
    bool SortAscending() const { return m_ascending; }

    // The text drawn for `text` in `width` pixels: whole, cut and ended with "...", or
    // nothing when the column is 14 pixels wide or narrower.
    static QString FittedText(const QString& text, const QFontMetrics& metrics, int width);

signals:
    // The operator ticked or cleared the box of image `number`.
    void markChanged(int number, bool marked);
    // A heading click sorted the rows; the current row is none now.
    void sorted();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SortRows(int column, bool ascending);
    void FitNameColumn();

    const bool m_withMarks;
    const LogoList* m_list = nullptr;
    const LogoOptions* m_options = nullptr;
    bool m_filling = false;
    int m_lastColumn = kMarkColumn;
    bool m_ascending = false;
};

}  // namespace kp70
