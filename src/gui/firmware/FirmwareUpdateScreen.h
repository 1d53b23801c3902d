#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <string>

#include "core/firmware/AreaDownload.h"
#include "core/firmware/FirmwareImage.h"
#include "gui/app/OperationRunner.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class FileChooser;
class FirmwareUpdateForm;
class PrinterLinkFactory;

// The F/W Update screen's controller ("KP 70 Tool : Firmware Download"): sends one area of
// a firmware image with core's AreaDownload. The file checks and the area's question run on
// the screen's thread (no printer is involved); the port's re-opening, the transfer and the
// settling wait run on the operation runner, which reports progress back to the caption,
// the bar and the boxes. Ctrl held while the screen opens (read once) shows the service
// areas. Closing the screen during a transfer stops it between two blocks (or settling
// steps), closes the port and puts the operator's flow control back. The controls live in
// its FirmwareUpdateForm.
class FirmwareUpdateScreen : public QDialog {
    Q_OBJECT

public:
    // statusBoundMs: how long each status answer is waited for when the screen asks the
    // printer how it is (when it opens and after each transfer); 0: it never asks.
    FirmwareUpdateScreen(const ScreenServices& services, PrinterLinkFactory& links,
                         int statusBoundMs, const std::string& connectionSummary,
                         FileChooser& chooser, QWidget* parent = nullptr);
    ~FirmwareUpdateScreen() override;

    bool serviceMode() const { return m_serviceMode; }
    // True while a transfer (or the closing) is under way.
    bool Busy() const { return m_runner.Busy(); }
    bool Closed() const { return m_closed; }
    FirmwareUpdateForm& form() const { return *m_form; }

    // How many status queries have ended (their line shown or hidden).
    int statusQueries() const { return m_statusQueries; }

public slots:
    // The close box and Escape, like EXIT.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void OnFileOpen();
    void OnDownload();
    void OnTransferEnded(const Outcome& outcome);
    // The Boot area's radio button by what the image's trailer says (service mode only).
    void ApplyBootRule(BootPermission permission);
    void ShowProgress(std::uint32_t position);
    void CloseScreen();
    // Asks the printer for its status on a connection of its own while no transfer runs,
    // and shows the answer in the DEVICE group (nothing when it did not answer).
    void QueryStatus();

    ScreenServices m_services;
    PrinterLinkFactory& m_links;
    int m_statusBoundMs = 0;
    FileChooser& m_chooser;
    bool m_korean = false;
    int m_modelCode = 0;
    bool m_serviceMode = false;
    std::string m_path;
    std::string m_name;
    std::uint32_t m_packetLength = 0;
    bool m_closing = false;
    bool m_closed = false;
    bool m_shown = false;
    int m_statusQueries = 0;

    FirmwareUpdateForm* m_form = nullptr;
    AreaDownload m_download;
    // Declared last: shut down (and joined) before the download session goes.
    OperationRunner m_runner;
};

}  // namespace kp70
