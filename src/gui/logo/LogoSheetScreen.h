#pragma once

#include <QDialog>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include "core/app/CancelToken.h"

#include "core/transport/NetworkLink.h"
#include "gui/app/OperationRunner.h"
#include "gui/logo/LogoSheetContext.h"

class QDialogButtonBox;
class QTabWidget;

namespace kp70 {

class LogoPage;
class LogoPreviewPage;
class LogoPrintPage;
class LogoSelectPage;
class LogoSetupPage;
class LogoUploadPage;
class PrintProgressWindow;
class PrinterLinkFactory;
class UploadProgressWindow;

// The logo tool's sheet, "KP 70 Tool : Image Logo Setup": the five pages Select Bitmap,
// Preview Bitmap, Upload Bitmap, Print Bitmap and Setup, OK and Cancel, opening on Setup.
// It is the controller of the operations that reach the printer: Upload (the whole list,
// or delete all for an empty list) and Print run as core jobs on the operation runner,
// their progress windows fed through the jobs' callbacks, so the sheet keeps painting
// during the erase wait and the pauses and Cancel is answered between images. Closing the
// sheet empties the list (the stored list in the profile stays) and gives the port its
// real name back when Print To File was on.
class LogoSheetScreen : public QDialog {
    Q_OBJECT

public:
    enum Page { kSelectPage = 0, kPreviewPage, kUploadPage, kPrintPage, kSetupPage };

    LogoSheetScreen(const ScreenServices& services, PrinterLinkFactory& links,
                    LogoToolData& toolData, FileChooser& chooser, std::string connectionSummary,
                    QWidget* parent = nullptr);
    ~LogoSheetScreen() override;

    // True while an upload, delete or print runs.
    bool busy() const { return m_runner.Busy(); }
    int currentPage() const;
    // Brings a page to the front as a tab click does (false when the page in front
    // refused to be left).
    bool ShowPage(int page);

    LogoSheetContext& context() { return m_context; }
    LogoSelectPage* selectPage() const { return m_select; }
    LogoPreviewPage* previewPage() const { return m_preview; }
    LogoUploadPage* uploadPage() const { return m_upload; }
    LogoPrintPage* printPage() const { return m_print; }
    LogoSetupPage* setupPage() const { return m_setup; }
    QTabWidget* tabs() const { return m_tabs; }
    QDialogButtonBox* buttons() const { return m_buttons; }
    // The progress window of the job under way, if it has shown itself.
    UploadProgressWindow* uploadWindow() const { return m_uploadWindow; }
    PrintProgressWindow* printWindow() const { return m_printWindow; }

public slots:
    void accept() override;
    void done(int result) override;

private:
    void OnTabChanged(int index);
    void OnUpload();
    void OnPrint();
    // Runs a job; after it the sheet is usable again and the notices are shown.
    std::shared_ptr<CancelToken> NewCancel();
    void RunJob(std::function<Outcome(StepContext&)> step);
    void JobEnded(const Outcome& outcome);
    void CloseWindows();
    void FinishClosing(int result);

    LogoSheetContext m_context;
    PrinterLinkFactory& m_links;
    QTabWidget* m_tabs = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
    LogoSelectPage* m_select = nullptr;
    LogoPreviewPage* m_preview = nullptr;
    LogoUploadPage* m_upload = nullptr;
    LogoPrintPage* m_print = nullptr;
    LogoSetupPage* m_setup = nullptr;
    std::array<LogoPage*, 5> m_pages{};
    int m_current = kSetupPage;
    bool m_switching = false;
    bool m_closing = false;

    UploadProgressWindow* m_uploadWindow = nullptr;
    PrintProgressWindow* m_printWindow = nullptr;
    // The progress window's Cancel (and the sheet's closing) for the job under way; the job
    // reads it between images.
    std::shared_ptr<CancelToken> m_cancel = std::make_shared<CancelToken>();
    // Declared last: shut down (joined) first, before anything its step uses goes.
    OperationRunner m_runner;
};

}  // namespace kp70
