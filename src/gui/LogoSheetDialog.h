#pragma once
// The logo tool's window, "KORVASet : Tavel Image Logo Setup": a sheet of five pages (Select,
// Preview, Upload, Print, Setup) with OK and Cancel, opening on Setup. It renders the
// controllers (LogoSheet for the list and the Setup page, NvUpload behind "Uploading", NvPrint
// behind the Print page and "Printing") and forwards the user's actions to them.
//
// The transfer windows run modally over the sheet. While one is up, the controllers' pauses
// keep the event loop going (EventLoopClock), so the window repaints between chunks and takes
// Cancel; the window closes only once no controller call is left running.
//
// F1 opens the help book's section on the page showing, in a window beside the sheet.
//
// GUI thread only. Everything in the context outlives the window.
#include "gui/EventLoopClock.h"
#include "logo/LogoCaptions.h"
#include "logo/LogoSheet.h"
#include "logo/NvPrint.h"

#include <QDialog>
#include <functional>
#include <memory>
#include <vector>

class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace korva {

class LogoPrintTab;
class LogoPreviewTab;
class LogoProgressDialog;
class LogoSelectTab;
class LogoSetupTab;
class LogoUploadTab;
class QtTimerHost;
struct LogoListBlock;

class LogoSheetDialog : public QDialog {
    Q_OBJECT
public:
    enum Page { SelectPage = 0, PreviewPage, UploadPage, PrintPage, SetupPage };

    // portName: the port in force (ConnectionSettings); summary: the connection summary.
    LogoSheetDialog(const LogoContext& context, Profile& profile, std::string portName,
                    std::string summary, std::uint16_t langId, QWidget* parent = nullptr);
    ~LogoSheetDialog() override;

    LogoSheet& sheet() { return m_sheet; }
    NvPrint& printPage() { return *m_print; }
    QTabWidget* tabs() const { return m_tabs; }
    LogoSelectTab* selectionPage() const { return m_select; }
    LogoPreviewTab* previewPage() const { return m_preview; }
    LogoUploadTab* uploadPage() const { return m_upload; }
    LogoPrintTab* printPageWidget() const { return m_printPage; }
    LogoSetupTab* setupPage() const { return m_setup; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }

    // The transfer window while one is up ("Uploading" or "Printing"), else null.
    LogoProgressDialog* transferWindow() const { return m_transfer; }
    // Called as a transfer window comes up, before the transfer's first step (tests, tour).
    std::function<void(LogoProgressDialog&)> onTransferShown;

    // The help book F1 reads (LogoHelp::defaultPath() unless changed).
    std::string helpBook;
    // The help window once F1 has opened it, else null.
    QDialog* helpWindow() const { return m_help; }
    QTextBrowser* helpText() const { return m_helpText; }
    void showHelp(int page);

    void render();

public slots:
    void accept() override; // the sheet's OK

private:
    void pageChanged(int index);
    void activate(int page);
    void leave(int page);
    void renderList(int page);
    void renderPreview();
    void renderPrint();
    void renderSetup();
    LogoListBlock& block(int page);
    void identityOrder();
    std::vector<int> selectedPositions(int page) const;

    void openFiles();
    void removeFiles();
    void resetList();
    void runUpload();
    void runPrint();
    void newPrintPage();

    LogoCaptions m_captions;
    bool m_korean;
    EventLoopClock m_clock;
    LogoContext m_ctx;
    LogoSheet m_sheet;
    std::unique_ptr<QtTimerHost> m_printTimers;
    std::unique_ptr<NvPrint> m_print; // the Print page's state, for the port in force
    int m_printDepth = 0;             // NvPrint calls running (nested in a pause)
    ColumnSorter m_sorters[3];
    std::vector<int> m_orders[3]; // list positions in the order pages 1-3 show them
    int m_current = -1;
    bool m_selectOpened = false;

    QTabWidget* m_tabs = nullptr;
    LogoSelectTab* m_select = nullptr;
    LogoPreviewTab* m_preview = nullptr;
    LogoUploadTab* m_upload = nullptr;
    LogoPrintTab* m_printPage = nullptr;
    LogoSetupTab* m_setup = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    LogoProgressDialog* m_transfer = nullptr;
    QDialog* m_help = nullptr;
    QTextBrowser* m_helpText = nullptr;
};

} // namespace korva
