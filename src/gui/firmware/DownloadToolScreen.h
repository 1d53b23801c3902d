#pragma once

#include <QDialog>
#include <string>

#include "core/firmware/Talvo10Download.h"
#include "gui/app/OperationRunner.h"
#include "gui/app/ScreenServices.h"

namespace kp70 {

class DownloadToolForm;
class FileChooser;
class PrinterLinkFactory;

// The download tool of the TALVO10 printers (model code 2), "KP 70 Tool : irmware Download":
// OK runs core's Talvo10Download on the operation runner (the erase packet, the six erase
// pauses with their dotted captions, the acknowledged data packets), whose captions and
// progress come back to this screen. CANCEL ends the screen at any time: a download under
// way stops between two packets or pauses and the port is closed; once the erase packet has
// gone out the operator is asked first (the area stays erased) and told afterwards. The screen ends
// by itself once the printer took the whole area. The controls live in its DownloadToolForm.
class DownloadToolScreen : public QDialog {
    Q_OBJECT

public:
    DownloadToolScreen(const ScreenServices& services, PrinterLinkFactory& links,
                       const std::string& connectionSummary, FileChooser& chooser,
                       QWidget* parent = nullptr);
    ~DownloadToolScreen() override;

    bool Busy() const { return m_runner.Busy(); }
    bool Closed() const { return m_closed; }
    DownloadToolForm& form() const { return *m_form; }

public slots:
    // CANCEL, the close box and Escape.
    void reject() override;

private:
    void OnOpen();
    void OnOk();
    void OnDownloadEnded(const Outcome& outcome);
    void CloseScreen(int result);

    ScreenServices m_services;
    FileChooser& m_chooser;
    std::string m_path;
    std::string m_name;
    bool m_closing = false;
    bool m_closed = false;

    DownloadToolForm* m_form = nullptr;
    Talvo10Download m_download;
    // Declared last: shut down (and joined) before the download session goes.
    OperationRunner m_runner;
};

}  // namespace kp70
