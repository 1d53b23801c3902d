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

class CPage1Selection;
class CPage2Preview;
class CPage3Upload;
class CPage4Print;
class CPage5Setup;
class CPrintProgress;
class CProgress;
class LogoPage;
class PrinterLinkFactory;

// The logo tool's sheet, "KP 70 Tool : Image Logo Setup": the five pages Select Bitmap,
// Preview Bitmap, Upload Bitmap, Print Bitmap and Setup, OK and Cancel, opening on Setup.
// It is the controller of the operations that reach the printer: Upload (the whole list,
// or delete all for an empty list) and Print run as core jobs on the operation runner,
// their progress windows fed through the jobs' callbacks, so the sheet keeps painting
// during the erase wait and the pauses and Cancel is answered between images. Closing the
// sheet empties the list (the stored list in the profile stays) and gives the port its
// real name back when Print To File was on.
class CMyProperty : public QDialog {
    Q_OBJECT

public:
    enum Page { kSelectPage = 0, kPreviewPage, kUploadPage, kPrintPage, kSetupPage };

    CMyProperty(const ScreenServices& services, PrinterLinkFactory& links, LogoToolData& toolData,
                FileChooser& chooser, std::string connectionSummary, QWidget* parent = nullptr);
    ~CMyProperty() override;

    // True while an upload, delete or print runs.
    bool busy() const { return m_runner.Busy(); }
    int currentPage() const;
    // Brings a page to the front as a tab click does (false when the page in front
    // refused to be left).
    bool ShowPage(int page);

    LogoSheetContext& context() { return m_context; }
    CPage1Selection* selectPage() const { return m_select; }
    CPage2Preview* previewPage() const { return m_preview; }
    CPage3Upload* uploadPage() const { return m_upload; }
    CPage4Print* printPage() const { return m_print; }
    CPage5Setup* setupPage() const { return m_setup; }
    QTabWidget* tabs() const { return m_tabs; }
    QDialogButtonBox* buttons() const { return m_buttons; }
    // The progress window of the job under way, if it has shown itself.
    CProgress* uploadWindow() const { return m_uploadWindow; }
    CPrintProgress* printWindow() const { return m_printWindow; }

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
    CPage1Selection* m_select = nullptr;
    CPage2Preview* m_preview = nullptr;
    CPage3Upload* m_upload = nullptr;
    CPage4Print* m_print = nullptr;
    CPage5Setup* m_setup = nullptr;
    std::array<LogoPage*, 5> m_pages{};
    int m_current = kSetupPage;
    bool m_switching = false;
    bool m_closing = false;

    CProgress* m_uploadWindow = nullptr;
    CPrintProgress* m_printWindow = nullptr;
    // Set by a progress window's Cancel; read by the job between images.
    // The progress window's Cancel (and the sheet's closing) for the job under way.
    std::shared_ptr<CancelToken> m_cancel = std::make_shared<CancelToken>();
    // Declared last: shut down (joined) first, before anything its step uses goes.
    OperationRunner m_runner;
};

}  // namespace kp70
