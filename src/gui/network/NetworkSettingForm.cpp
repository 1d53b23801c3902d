#include "gui/network/NetworkSettingForm.h"
#include "gui/app/Widgets.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QVBoxLayout>

#include "gui/network/NetworkSettingTexts.h"

namespace kp70 {

namespace {

using namespace networkscreen;

// An IPv4 address field: dotted numbers while typing; the whole address is checked when
// the settings are sent.
QLineEdit* AddressField(QWidget* parent, const char* name) {
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("(\\d{1,3}\\.){0,3}\\d{0,3}")), field));
    field->setMinimumWidth(130);
    return field;
}

}  // namespace

NetworkSettingForm::NetworkSettingForm(bool korean, bool serviceControls, QWidget* parent)
    : QWidget(parent) {
    m_list = new QTableWidget(0, static_cast<int>(kPrinterColumns.size()), this);
    m_list->setObjectName("printerList");
    QStringList titles;
    for (const char* title : kPrinterColumns) titles << QString::fromUtf8(title);
    m_list->setHorizontalHeaderLabels(titles);
    for (int column = 0; column < m_list->columnCount(); ++column)
        m_list->horizontalHeaderItem(column)->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_list->setShowGrid(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->verticalHeader()->hide();
    m_list->horizontalHeader()->setHighlightSections(false);
    for (int column = 0; column < 4; ++column)
        m_list->setColumnWidth(column, kColumnWidths[column]);
    m_list->setMinimumSize(600, 200);
    m_list->viewport()->installEventFilter(this);

    m_search = new QPushButton(In(kSearch, korean), this);
    m_search->setObjectName("searchButton");
    m_change = new QPushButton(In(kChange, korean), this);
    m_change->setObjectName("changeButton");
    m_exit = new QPushButton(In(kExit, korean), this);
    m_exit->setObjectName("exitButton");
    m_manual = new QPushButton(In(kManual, korean), this);
    m_manual->setObjectName("manualButton");
    for (QPushButton* button : {m_search, m_change, m_exit, m_manual})
        button->setAutoDefault(false);

    m_address = AddressField(this, "addressField");
    m_subnet = AddressField(this, "subnetField");
    m_gateway = AddressField(this, "gatewayField");
    m_port = new QLineEdit(this);
    m_port->setObjectName("portField");
    m_port->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,10}")), m_port));
    m_dhcp = new QCheckBox(In(kDhcp, korean), this);
    m_dhcp->setObjectName("dhcpBox");

    auto* fields = new QGridLayout;
    const std::pair<const BilingualText*, QWidget*> rows[] = {
        {&kAddress, m_address}, {&kSubnet, m_subnet}, {&kGateway, m_gateway}, {&kPort, m_port}};
    int row = 0;
    for (const auto& [label, field] : rows) {
        fields->addWidget(new QLabel(In(*label, korean), this), row, 0);
        fields->addWidget(field, row, 1);
        ++row;
    }
    fields->addWidget(m_dhcp, row, 1);

    auto* mac = new QHBoxLayout;
    auto* macLabel = new QLabel(In(kMacLow, korean), this);
    m_serviceWidgets.push_back(macLabel);
    mac->addWidget(macLabel);
    for (std::size_t i = 0; i < m_macBoxes.size(); ++i) {
        if (i > 0) {
            auto* separator = new QLabel(In(kMacSeparator, korean), this);
            m_serviceWidgets.push_back(separator);
            mac->addWidget(separator);
        }
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("macBox%1").arg(i + 1));
        box->setMaxLength(2);
        box->setFixedWidth(36);
        m_macBoxes[i] = box;
        m_serviceWidgets.push_back(box);
        mac->addWidget(box);
    }
    m_serviceWidgets.push_back(m_manual);
    mac->addWidget(m_manual);
    mac->addStretch();
    fields->addLayout(mac, row + 1, 0, 1, 3);
    fields->setColumnStretch(2, 1);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_search);
    buttons->addWidget(m_change);
    buttons->addStretch();
    buttons->addWidget(m_exit);

    auto* lower = new QHBoxLayout;
    lower->addLayout(fields, 1);
    lower->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(lower);

    for (QWidget* widget : m_serviceWidgets) widget->setVisible(serviceControls);
}

std::vector<QWidget*> NetworkSettingForm::fieldWidgets() const {
    std::vector<QWidget*> widgets = {m_list, m_address, m_subnet, m_gateway, m_port, m_dhcp};
    widgets.insert(widgets.end(), m_macBoxes.begin(), m_macBoxes.end());
    return widgets;
}

void NetworkSettingForm::ClearRows() {
    m_list->clearContents();
    m_list->setRowCount(0);
}

void NetworkSettingForm::AppendRow(const DiscoveredPrinter& printer) {
    const int row = m_list->rowCount();
    m_list->insertRow(row);
    const std::string* texts[] = {&printer.ip, &printer.port, &printer.subnet, &printer.gateway,
                                  &printer.mac};
    for (int column = 0; column < m_list->columnCount(); ++column) {
        auto* item = new QTableWidgetItem(QString::fromStdString(*texts[column]));
        item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_list->setItem(row, column, item);
    }
    // The newest row goes to the top of the view, as far as the list can scroll. The list
    // lays its rows out later on its own; rows that come quickly one after the other would
    // otherwise be scrolled to against the old extent and left below the view.
    m_list->doItemsLayout();
    m_list->scrollToItem(m_list->item(row, 0), QAbstractItemView::PositionAtTop);
}

void NetworkSettingForm::ShowFields(const RowFields& fields) {
    m_dhcp->setChecked(fields.dhcp);
    m_address->setText(QString::fromStdString(fields.address));
    m_port->setText(QString::fromStdString(fields.port));
    m_subnet->setText(QString::fromStdString(fields.subnet));
    m_gateway->setText(QString::fromStdString(fields.gateway));
}

SettingInput NetworkSettingForm::Input() const {
    SettingInput input;
    input.address = m_address->text().toStdString();
    input.subnet = m_subnet->text().toStdString();
    input.gateway = m_gateway->text().toStdString();
    input.port = m_port->text().toStdString();
    input.dhcp = m_dhcp->isChecked();
    for (std::size_t i = 0; i < m_macBoxes.size(); ++i)
        input.macLow[i] = m_macBoxes[i]->text().toStdString();
    return input;
}

bool NetworkSettingForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_list->viewport() && event->type() == QEvent::Resize) FitLastColumn();
    if (watched == m_list->viewport() && event->type() == QEvent::MouseButtonRelease &&
        m_list->isEnabled()) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        const QModelIndex index = m_list->indexAt(mouse->position().toPoint());
        emit rowClicked(index.isValid() ? index.row() : -1);
    }
    return QWidget::eventFilter(watched, event);
}

void NetworkSettingForm::FitLastColumn() {
    // "Mac Address" takes what the four other columns leave of the list's width.
    int used = 0;
    for (int width : kColumnWidths) used += width;
    m_list->setColumnWidth(4, std::max(m_list->viewport()->width() - used, 60));
}

}  // namespace kp70
