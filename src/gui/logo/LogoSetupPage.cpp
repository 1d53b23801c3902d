#include "gui/logo/LogoSetupPage.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "core/app/MessageCatalogue.h"
#include "core/logo/LogoList.h"
#include "gui/logo/LogoSheetTexts.h"

namespace kp70 {

namespace {

// Selects the whole text of a field when it gets the focus.
class SelectAllOnFocus : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn) {
            if (auto* edit = qobject_cast<QLineEdit*>(watched))
                QTimer::singleShot(0, edit, &QLineEdit::selectAll);
        }
        return false;
    }
};

}  // namespace

LogoSetupPage::LogoSetupPage(LogoSheetContext& context, QWidget* parent)
    : LogoPage(context, parent) {
    auto* layout = new QVBoxLayout(this);

    auto* options = new QGroupBox(m_context.Text(logosheet::kOptions), this);
    options->setObjectName("optionsGroup");
    auto* grid = new QGridLayout(options);
    m_toFile = new QCheckBox(m_context.Text(logosheet::kPrintToFile), options);
    m_toFile->setObjectName("printToFile");
    m_gray = new QCheckBox(m_context.Text(logosheet::kGrayPrinting), options);
    m_gray->setObjectName("grayPrinting");
    m_star = new QCheckBox(m_context.Text(logosheet::kStarEmulation), options);
    m_star->setObjectName("starEmulation");
    grid->addWidget(m_toFile, 0, 0, 1, 3);
    grid->addWidget(m_gray, 1, 0, 1, 3);
    grid->addWidget(m_star, 2, 0, 1, 3);
    auto* areaLabel = new QLabel(m_context.Text(logosheet::kPrintableArea), options);
    areaLabel->setObjectName("areaLabel");
    m_area = new QLineEdit(options);
    m_area->setObjectName("printableArea");
    m_area->setMaximumWidth(80);
    m_area->installEventFilter(new SelectAllOnFocus(m_area));
    grid->addWidget(areaLabel, 3, 0);
    grid->addWidget(m_area, 3, 1);
    grid->addWidget(new QLabel(m_context.Text(logosheet::kDotsRange), options), 3, 2);
    grid->addWidget(new QLabel(m_context.Text(logosheet::kDivergingPoint), options), 4, 0, 1, 3);
    m_slider = new QSlider(Qt::Horizontal, options);
    m_slider->setObjectName("divergingSlider");
    m_slider->setRange(kDivergingPointRange.min, kDivergingPointRange.max);
    m_diverging = new QLineEdit(options);
    m_diverging->setObjectName("divergingPoint");
    m_diverging->setMaximumWidth(80);
    grid->addWidget(m_slider, 5, 0, 1, 2);
    grid->addWidget(m_diverging, 5, 2);
    layout->addWidget(options);

    auto* device = new QGroupBox(m_context.Text(logosheet::kDevice), this);
    auto* deviceLayout = new QVBoxLayout(device);
    m_device = new QPlainTextEdit(device);
    m_device->setObjectName("deviceText");
    m_device->setReadOnly(true);
    m_device->setMaximumHeight(110);
    deviceLayout->addWidget(m_device);
    layout->addWidget(device);

    auto* about = new QGroupBox(m_context.Text(logosheet::kAbout), this);
    auto* aboutLayout = new QVBoxLayout(about);
    m_about = new QLabel(about);
    m_about->setObjectName("aboutText");
    aboutLayout->addWidget(m_about);
    layout->addWidget(about);
    layout->addStretch(1);

    connect(m_toFile, &QCheckBox::toggled, this, &LogoSetupPage::OnPrintToFile);
    connect(m_gray, &QCheckBox::toggled, this, &LogoSetupPage::OnGray);
    // The slider and its field follow each other.
    connect(m_slider, &QSlider::valueChanged, this, [this](int value) {
        const QSignalBlocker block(m_diverging);
        m_diverging->setText(QString::number(value));
    });
    connect(m_diverging, &QLineEdit::textEdited, this, [this](const QString& text) {
        bool ok = false;
        const int value = text.trimmed().toInt(&ok);
        if (!ok) return;
        const QSignalBlocker block(m_slider);
        m_slider->setValue(value);
    });
}

void LogoSetupPage::FirstDisplay() {
    const int modelCode = m_context.settings.modelCode;
    LogoOptions& options = m_context.options();
    options.ResetAreaAndDivergingPoint(modelCode);
    m_area->setText(QString::number(options.maxPrintableArea));
    m_slider->setValue(options.divergingPoint);
    m_diverging->setText(QString::number(options.divergingPoint));
    m_gray->setEnabled(LogoOptions::GrayOffered(modelCode));
    {
        const QSignalBlocker blockGray(m_gray);
        m_gray->setChecked(options.grayPrinting);
    }
    m_star->setChecked(options.starEmulation);
    // The choice of an earlier opening holds again; the real name is kept to go back to.
    m_realPortName = m_context.settings.portName;
    m_toFile->setChecked(options.printToFile);
    if (options.printToFile) m_context.settings.portName = logosheet::kFilePortName;
    ShowDevice();
}

void LogoSetupPage::Activate() {
    if (!m_shown) {
        m_shown = true;
        FirstDisplay();
    }
    m_about->setText(m_context.Text(logosheet::kAboutTitle) + "\n" +
                     QString::fromUtf8(logosheet::kAboutVersion) + "\n" +
                     QString::fromUtf8(logosheet::kAboutMaker));
}

bool LogoSetupPage::Leave() {
    const SetupEntriesCheck check =
        ApplySetupEntries(m_context.options(), m_area->text().toStdString(),
                          m_diverging->text().toStdString(), m_star->isChecked());
    if (check.ok()) return true;
    m_context.services.Show(this, IntegerRangeNotice(check.range.min, check.range.max));
    QLineEdit* field =
        check.refused == SetupEntriesCheck::Field::PrintableArea ? m_area : m_diverging;
    field->setFocus();
    field->selectAll();
    return false;
}

void LogoSetupPage::OnPrintToFile(bool checked) {
    m_context.options().printToFile = checked;
    m_context.settings.portName = checked ? std::string(logosheet::kFilePortName) : m_realPortName;
    ShowDevice();
}

void LogoSetupPage::OnGray(bool checked) {
    // Gray images take four times the memory: a list they would not fit stays monochrome.
    if (const std::optional<Notice> refused = m_context.list().SetGrayPrinting(checked)) {
        {
            const QSignalBlocker block(m_gray);
            m_gray->setChecked(false);
        }
        m_context.services.Show(this, *refused);
        return;
    }
    m_context.options().grayPrinting = checked;
}

void LogoSetupPage::ShowDevice() {
    QString text = m_toFile->isChecked() ? QString::fromUtf8(logosheet::kFilePortName)
                                         : QString::fromStdString(m_context.connectionSummary);
    text.replace("\r\n", "\n");
    m_device->setPlainText(text);
}

}  // namespace kp70
