#include "gui/logo/LogoPreviewPage.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "core/app/MessageCatalogue.h"
#include "core/logo/BitImageConversion.h"
#include "core/logo/LogoBitmap.h"
#include "gui/logo/LogoListView.h"
#include "gui/logo/LogoPreviewArea.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

namespace {

constexpr int kAreaWidth = 360;
constexpr int kAreaHeight = 260;

}  // namespace

LogoPreviewPage::LogoPreviewPage(LogoSheetContext& context, QWidget* parent)
    : LogoPage(context, parent) {
    auto* layout = new QVBoxLayout(this);
    auto* group = new QGroupBox(m_context.Text(logosheet::kBitmapList), this);
    group->setObjectName("listGroup");
    auto* groupLayout = new QVBoxLayout(group);
    m_view = new LogoListView(false, group);
    m_view->setObjectName("previewList");
    m_view->setMaximumHeight(160);
    groupLayout->addWidget(m_view);
    layout->addWidget(group);

    auto* row = new QHBoxLayout;
    m_area = new LogoPreviewArea(this);
    m_area->setObjectName("previewArea");
    m_area->setFixedSize(kAreaWidth, kAreaHeight);
    row->addWidget(m_area);

    auto* qualities = new QGroupBox(m_context.Text(logosheet::kQuality), this);
    auto* qualityLayout = new QVBoxLayout(qualities);
    m_choices = new QButtonGroup(this);
    const std::pair<Choice, BilingualText> choices[] = {
        {Choice::Normal, logosheet::kPreviewNormal},
        {Choice::Quadruple, logosheet::kPreviewQuadruple},
        {Choice::DoubleHeight, logosheet::kPreviewDoubleHeight},
        {Choice::DoubleWidth, logosheet::kPreviewDoubleWidth},
        {Choice::PrinterDots, logosheet::kPrinterDots},
    };
    for (const auto& [choice, label] : choices) {
        auto* radio = new QRadioButton(m_context.Text(label), qualities);
        radio->setObjectName(QStringLiteral("choice%1").arg(static_cast<int>(choice)));
        m_choices->addButton(radio, static_cast<int>(choice));
        qualityLayout->addWidget(radio);
    }
    qualityLayout->addStretch(1);
    m_choices->button(static_cast<int>(Choice::Normal))->setChecked(true);
    row->addWidget(qualities);
    layout->addLayout(row);
    layout->addWidget(MakeCounters());

    connect(m_choices, &QButtonGroup::idClicked, this, [this] { Draw(); });
    connect(m_view, &QTreeWidget::itemSelectionChanged, this, [this] {
        m_context.currentNumber = m_view->LastSelectedNumber();
        Draw();
    });
    connect(m_view, &LogoListView::sorted, this, [this] {
        m_context.currentNumber = -1;
        Draw();
    });
}

QRadioButton* LogoPreviewPage::choiceButton(Choice choice) const {
    return static_cast<QRadioButton*>(m_choices->button(static_cast<int>(choice)));
}

LogoPreviewPage::Choice LogoPreviewPage::choice() const {
    return static_cast<Choice>(m_choices->checkedId());
}

void LogoPreviewPage::Activate() {
    if (!m_shown) {
        m_shown = true;
        m_view->ResetSort();
    }
    FillList(m_view);
    ShowCounters();
    Draw();
    m_context.marker = PageMarker::Preview;
}

void LogoPreviewPage::Draw() {
    m_area->Clear();
    if (m_context.currentNumber < 0) return;
    const int position = m_context.PositionOf(m_context.currentNumber);
    if (position < 0) return;
    const LogoEntry& entry = m_context.list().Entries()[static_cast<std::size_t>(position)];
    try {
        if (choice() == Choice::PrinterDots) {
            DrawDots(entry);
        } else {
            DrawFile(entry, position);
        }
    } catch (const std::bad_alloc&) {
        m_area->Clear();
        m_context.services.Show(this, Notice::Message(msg::kOutOfMemory, MessageIcon::Stop));
    }
}

// The file's own colours: each drawn pixel takes the colour of the bitmap pixel it covers
// (a plain stretch), so only the drawn size is ever held.
void LogoPreviewPage::DrawFile(const LogoEntry& entry, int) {
    auto bitmap = std::make_unique<LogoBitmap>();
    if (!bitmap->LoadBitmap(entry.path)) return;  // the area stays empty
    const int bw = bitmap->Width();
    const int bh = bitmap->Height();
    const PreviewSize size = PreviewImageSize(m_area->width(), m_area->height(), bw, bh,
                                              static_cast<PreviewQuality>(choice()));
    if (size.width <= 0 || size.height <= 0) return;
    QImage image(size.width, size.height, QImage::Format_RGB32);
    if (image.isNull()) throw std::bad_alloc();
    for (int y = 0; y < size.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const int sy = static_cast<int>(static_cast<std::int64_t>(y) * bh / size.height);
        for (int x = 0; x < size.width; ++x) {
            const int sx = static_cast<int>(static_cast<std::int64_t>(x) * bw / size.width);
            const BitmapColour c = bitmap->Colour(sx, sy);
            line[x] = qRgb(c.red, c.green, c.blue);
        }
    }
    m_area->ShowImage(std::move(image), QRect(0, 0, size.width, size.height));
}

// The printer's dots of the file with the options as they are now, the way an upload
// converts it: gray or monochrome, centred when its mark is set.
void LogoPreviewPage::DrawDots(const LogoEntry& entry) {
    const LogoOptions& options = m_context.options();
    auto bitmap = std::make_unique<LogoBitmap>();
    if (!bitmap->LoadBitmap(entry.path)) return;
    if (options.grayPrinting) {
        ConvertGray(*bitmap, options);
    } else {
        ConvertMono(*bitmap, options, entry.center);
    }
    const std::vector<std::uint8_t> dots = DotsAsGray(*bitmap, options.grayPrinting);
    if (dots.empty()) return;
    const int width = bitmap->PaddedWidth();
    const int height = bitmap->PaddedHeight();
    QImage image(width, height, QImage::Format_Grayscale8);
    if (image.isNull()) throw std::bad_alloc();
    for (int y = 0; y < height; ++y) {
        std::copy_n(dots.data() + static_cast<std::size_t>(y) * width, width, image.scanLine(y));
    }
    const int paper = std::max(options.maxPrintableArea, width);
    const double scale = PrinterDotsScale(m_area->width(), m_area->height(), paper, height);
    const QRect target(0, 0, std::max(1, static_cast<int>(std::lround(width * scale))),
                       std::max(1, static_cast<int>(std::lround(height * scale))));
    const int edge = static_cast<int>(std::lround(options.maxPrintableArea * scale));
    m_area->ShowImage(std::move(image), target, edge);
}

}  // namespace kp70
