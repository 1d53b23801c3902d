#include "gui/logo/LogoListView.h"

#include <QApplication>
#include <QHeaderView>
#include <QPainter>
#include <QResizeEvent>
#include <QStyledItemDelegate>
#include <algorithm>

#include "core/logo/LogoList.h"
#include "core/logo/LogoOptions.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

namespace {

constexpr int kNumberRole = Qt::UserRole;
constexpr int kMarkWidth = 17;
constexpr int kNumberWidth = 50;
constexpr int kSizeWidth = 86;
// What the name column leaves of the list's width.
constexpr int kNameSpareWithMarks = 158;
constexpr int kNameSpare = 141;
// A column this narrow shows nothing.
constexpr int kNarrowColumn = 14;

// Draws the cells with the list's own text fitting (see FittedText).
class FittingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem item(option);
        initStyleOption(&item, index);
        const QStyle* style = item.widget ? item.widget->style() : QApplication::style();
        if (item.rect.width() <= kNarrowColumn && index.column() != LogoListView::kMarkColumn) {
            item.text.clear();
        } else {
            const int margin =
                style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, item.widget) + 1;
            int room = item.rect.width() - 2 * margin;
            if (item.features & QStyleOptionViewItem::HasCheckIndicator) {
                room -= style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, item.widget);
            }
            item.text = LogoListView::FittedText(item.text, item.fontMetrics, room);
        }
        item.textElideMode = Qt::ElideNone;
        style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);
    }
};

}  // namespace

LogoListView::LogoListView(bool withMarks, QWidget* parent)
    : QTreeWidget(parent), m_withMarks(withMarks) {
    setColumnCount(4);
    setHeaderLabels({QString(), QString::fromUtf8(logosheet::kNumberHeading.english),
                     QString::fromUtf8(logosheet::kNameHeading.english),
                     QString::fromUtf8(logosheet::kSizeHeading.english)});
    headerItem()->setTextAlignment(kMarkColumn, Qt::AlignCenter);
    headerItem()->setTextAlignment(kNumberColumn, Qt::AlignCenter);
    headerItem()->setTextAlignment(kNameColumn, Qt::AlignLeft | Qt::AlignVCenter);
    headerItem()->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSortingEnabled(false);
    setItemDelegate(new FittingDelegate(this));
    setSelectionMode(withMarks ? QAbstractItemView::ExtendedSelection
                               : QAbstractItemView::SingleSelection);
    header()->setStretchLastSection(false);
    header()->setSectionsMovable(false);
    header()->setSectionsClickable(true);
    header()->setMinimumSectionSize(0);
    setColumnWidth(kMarkColumn, withMarks ? kMarkWidth : 0);
    setColumnWidth(kNumberColumn, kNumberWidth);
    setColumnWidth(kSizeColumn, kSizeWidth);
    FitNameColumn();

    connect(header(), &QHeaderView::sectionClicked, this, &LogoListView::ClickColumn);
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (m_filling || column != kMarkColumn || !m_withMarks) return;
        emit markChanged(item->data(kNumberColumn, kNumberRole).toInt(),
                         item->checkState(kMarkColumn) == Qt::Checked);
    });
}

void LogoListView::Fill(const LogoList& list, const LogoOptions& options) {
    m_list = &list;
    m_options = &options;
    m_filling = true;
    clear();
    const std::vector<LogoEntry>& entries = list.Entries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const LogoEntry& entry = entries[i];
        auto* item = new QTreeWidgetItem(this);
        item->setText(kNumberColumn, QString::fromStdString(entry.NumberText()));
        item->setText(kNameColumn, QString::fromStdString(entry.name));
        item->setText(kSizeColumn, QString::fromStdString(entry.SizeText()));
        item->setData(kNumberColumn, kNumberRole, entry.number);
        item->setTextAlignment(kMarkColumn, Qt::AlignCenter);
        item->setTextAlignment(kNumberColumn, Qt::AlignCenter);
        item->setTextAlignment(kNameColumn, Qt::AlignLeft | Qt::AlignVCenter);
        item->setTextAlignment(kSizeColumn, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(kNameColumn, QString::fromStdString(entry.path));
        if (m_withMarks) {
            item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
            item->setCheckState(kMarkColumn, entry.center ? Qt::Checked : Qt::Unchecked);
        }
    }
    m_filling = false;
}

void LogoListView::SelectNumber(int number) {
    clearSelection();
    for (int row = 0; row < RowCount(); ++row) {
        if (RowNumber(row) != number) continue;
        QTreeWidgetItem* item = topLevelItem(row);
        setCurrentItem(item);
        item->setSelected(true);
        scrollToItem(item);
        return;
    }
    setCurrentItem(nullptr);
}

void LogoListView::ClickColumn(int column) {
    if (m_list && m_options) Fill(*m_list, *m_options);
    if (column == m_lastColumn) {
        m_ascending = !m_ascending;
    } else {
        m_lastColumn = column;
    }
    SortRows(column, m_ascending);
    clearSelection();
    setCurrentItem(nullptr);
    emit sorted();
}

void LogoListView::ResetSort() {
    m_lastColumn = kMarkColumn;
    m_ascending = false;
}

void LogoListView::SortRows(int column, bool ascending) {
    std::vector<QTreeWidgetItem*> items;
    while (topLevelItemCount() > 0) items.push_back(takeTopLevelItem(0));
    std::stable_sort(items.begin(), items.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        const int order = QString::compare(a->text(column), b->text(column), Qt::CaseInsensitive);
        return ascending ? order < 0 : order > 0;
    });
    m_filling = true;
    for (QTreeWidgetItem* item : items) addTopLevelItem(item);
    m_filling = false;
}

int LogoListView::RowNumber(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->data(kNumberColumn, kNumberRole).toInt() : -1;
}

bool LogoListView::RowMarked(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && m_withMarks && item->checkState(kMarkColumn) == Qt::Checked;
}

QString LogoListView::RowText(int row, int column) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

std::vector<int> LogoListView::SelectedNumbers() const {
    std::vector<int> numbers;
    for (int row = 0; row < RowCount(); ++row) {
        if (topLevelItem(row)->isSelected()) numbers.push_back(RowNumber(row));
    }
    return numbers;
}

int LogoListView::LastSelectedNumber() const {
    const QTreeWidgetItem* item = currentItem();
    if (item && item->isSelected()) return item->data(kNumberColumn, kNumberRole).toInt();
    const std::vector<int> numbers = SelectedNumbers();
    return numbers.empty() ? -1 : numbers.back();
}

QString LogoListView::FittedText(const QString& text, const QFontMetrics& metrics, int width) {
    if (width <= kNarrowColumn) return QString();
    if (metrics.horizontalAdvance(text) <= width) return text;
    const QString dots = QStringLiteral("...");
    QString cut = text;
    while (!cut.isEmpty() && metrics.horizontalAdvance(cut + dots) > width) cut.chop(1);
    return cut + dots;
}

void LogoListView::resizeEvent(QResizeEvent* event) {
    QTreeWidget::resizeEvent(event);
    FitNameColumn();
}

void LogoListView::FitNameColumn() {
    const int spare = m_withMarks ? kNameSpareWithMarks : kNameSpare;
    setColumnWidth(kNameColumn, std::max(0, width() - spare));
}

}  // namespace kp70
