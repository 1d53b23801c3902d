#pragma once

#include <QWidget>
#include <array>
#include <vector>

#include "core/network/DiscoveryFrame.h"
#include "core/network/SetFrameChecks.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kp70 {

// The controls of the network setting screen: the list of printers found (grid lines, the
// five columns), the address, subnet, gateway and port fields, the DHCP box, the buttons,
// and the service controls (the three MAC boxes and "Manually change"), which are shown
// only when asked for. It shows rows and fields and reads what was typed; what the buttons
// do belongs to the screen's controller.
class NetworkSettingForm : public QWidget {
    Q_OBJECT

public:
    NetworkSettingForm(bool korean, bool serviceControls, QWidget* parent = nullptr);

    // Empties the list.
    void ClearRows();
    // Appends a row at the end and scrolls the list so that it is in view.
    void AppendRow(const DiscoveredPrinter& printer);
    // Fills the fields as a click on a row does.
    void ShowFields(const RowFields& fields);
    // The fields as typed; the MAC text is filled in by the controller.
    SettingInput Input() const;

    QTableWidget* list() const { return m_list; }
    QPushButton* searchButton() const { return m_search; }
    QPushButton* changeButton() const { return m_change; }
    QPushButton* manualButton() const { return m_manual; }
    QPushButton* exitButton() const { return m_exit; }
    QLineEdit* addressField() const { return m_address; }
    QLineEdit* subnetField() const { return m_subnet; }
    QLineEdit* gatewayField() const { return m_gateway; }
    QLineEdit* portField() const { return m_port; }
    QCheckBox* dhcpBox() const { return m_dhcp; }
    const std::array<QLineEdit*, 3>& macBoxes() const { return m_macBoxes; }
    // The list and every field, which are usable only while nothing runs.
    std::vector<QWidget*> fieldWidgets() const;
    // The MAC boxes with their labels and "Manually change".
    const std::vector<QWidget*>& serviceWidgets() const { return m_serviceWidgets; }

signals:
    // A click on the list: the row's index, or -1 for empty space.
    void rowClicked(int row);

protected:
    // Clicks on the list, and its width for the last column.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitLastColumn();

    QTableWidget* m_list = nullptr;
    QPushButton* m_search = nullptr;
    QPushButton* m_change = nullptr;
    QPushButton* m_manual = nullptr;
    QPushButton* m_exit = nullptr;
    QLineEdit* m_address = nullptr;
    QLineEdit* m_subnet = nullptr;
    QLineEdit* m_gateway = nullptr;
    QLineEdit* m_port = nullptr;
    QCheckBox* m_dhcp = nullptr;
    std::array<QLineEdit*, 3> m_macBoxes{};
    std::vector<QWidget*> m_serviceWidgets;
};

}  // namespace kp70
