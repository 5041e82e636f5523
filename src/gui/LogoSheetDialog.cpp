#include "gui/LogoSheetDialog.h"

#include "gui/AppIcon.h"
#include "gui/LogoListView.h"
#include "gui/LogoPages.h"
#include "gui/LogoPreview.h"
#include "gui/LogoProgressDialog.h"
#include "gui/QtText.h"
#include "gui/QtTimerHost.h"
#include "logo/LogoHelp.h"
#include "logo/NvUpload.h"
#include "logo/PreviewPicture.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>
#include <numeric>

namespace korva {

namespace {

// Forwards timer firings to a controller and counts the controller calls on the stack. A
// firing that arrives while a call is still running (inside one of its pauses) is left for the
// timer's next period, so no controller is entered twice.
class CountedClient : public TimerClient {
public:
    CountedClient(TimerClient& target, int& depth) : m_target(target), m_depth(depth) {}
    void onTimer(int id) override {
        if (m_depth > 0)
            return;
        ++m_depth;
        m_target.onTimer(id);
        --m_depth;
    }

private:
    TimerClient& m_target;
    int& m_depth;
};

void setChecked(QAbstractButton* button, bool on) {
    QSignalBlocker block(button);
    button->setChecked(on);
}

} // namespace

LogoSheetDialog::LogoSheetDialog(const LogoContext& context, Profile& profile, std::string portName,
                                 std::string summary, std::uint16_t langId, QWidget* parent)
    : QDialog(parent), m_captions(LogoCaptions::make(langId == 0x0412)), m_korean(langId == 0x0412),
      m_clock(context.clock), m_ctx{context.ports, context.socket,    context.ethernet,
                                    context.log,   context.catalogue, context.prompter,
                                    m_clock,       context.modelKind},
      m_sheet(m_ctx, profile, std::move(portName), std::move(summary)),
      m_printTimers(std::make_unique<QtTimerHost>()) {
    helpBook = LogoHelp::defaultPath();
    setObjectName("LogoSheetDialog");
    setWindowIcon(appIcon());
    setWindowTitle(qt(m_captions.title));
    newPrintPage();

    auto* layout = new QVBoxLayout(this);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName("pages");
    m_select = new LogoSelectTab(m_tabs);
    m_preview = new LogoPreviewTab(m_tabs);
    m_upload = new LogoUploadTab(m_tabs);
    m_printPage = new LogoPrintTab(m_tabs);
    m_setup = new LogoSetupTab(m_tabs);
    const QWidget* pages[] = {m_select, m_preview, m_upload, m_printPage, m_setup};
    for (int i = 0; i < 5; ++i)
        m_tabs->addTab(const_cast<QWidget*>(pages[i]), qt(m_captions.pageTitles[i]));
    layout->addWidget(m_tabs, 1);
    auto* buttons = new QHBoxLayout;
    m_ok = new QPushButton(qt(m_captions.ok), this);
    m_ok->setObjectName("ok");
    m_ok->setAutoDefault(false);
    m_cancel = new QPushButton(qt(m_captions.cancel), this);
    m_cancel->setObjectName("cancel");
    m_cancel->setAutoDefault(false);
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    layout->addLayout(buttons);
    connect(m_ok, &QPushButton::clicked, this, &LogoSheetDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &LogoSheetDialog::reject);
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] { showHelp(m_tabs->currentIndex()); });

    // Captions, set once.
    const LogoCaptions& c = m_captions;
    LogoListBlock* blocks[] = {&m_select->block, &m_preview->block, &m_upload->block};
    for (int i = 0; i < 3; ++i) {
        blocks[i]->group->setTitle(qt(c.bitmapList[i]));
        blocks[i]->countLabel->setText(qt(c.imageCount));
        blocks[i]->memoryLabel->setText(qt(c.imageMemory));
    }
    m_select->openFile->setText(qt(c.openFile));
    m_select->remove->setText(qt(c.remove));
    m_select->reset->setText(qt(c.reset));
    m_select->centreGroup->setTitle(qt(c.centreGroup));
    m_select->centreText->setText(qt(c.centreText));
    m_preview->qualityGroup->setTitle(qt(c.previewQualityGroup));
    for (int i = 0; i < 4; ++i) {
        m_preview->quality[i]->setText(qt(c.previewQuality[i]));
        m_printPage->quality[i]->setText(qt(c.printQuality[i]));
    }
    setChecked(m_preview->quality[0], true);
    m_upload->upload->setText(qt(c.upload));
    for (LogoPrinterDetails* d : {&m_upload->details, &m_printPage->details}) {
        d->group->setTitle(qt(c.printerDetails));
        d->nameLabel->setText(qt(c.printerName));
        d->portLabel->setText(qt(c.portName));
    }
    m_printPage->print->setText(qt(c.print));
    m_printPage->rangeGroup->setTitle(qt(c.rangeGroup));
    m_printPage->all->setText(qt(c.all));
    m_printPage->selection->setText(qt(c.selection));
    m_printPage->qualityGroup->setTitle(qt(c.printQualityGroup));
    m_printPage->headerGroup->setTitle(qt(c.headerGroup));
    m_printPage->noHeader->setText(qt(c.noHeader));
    m_printPage->addHeader->setText(qt(c.addHeader));
    m_setup->printToFile->setText(qt(c.printToFile));
    m_setup->grayPrinting->setText(qt(c.grayPrinting));
    m_setup->starEmulation->setText(qt(c.starEmulation));
    m_setup->aboutGroup->setTitle(qt(c.aboutGroup));
    m_setup->aboutName->setText(qt(c.aboutName));
    m_setup->optionGroup->setTitle(qt(c.optionGroup));
    m_setup->maxAreaLabel->setText(qt(c.maxArea));
    m_setup->maxAreaUnit->setText(qt(c.maxAreaUnit));
    m_setup->thresholdLabel->setText(qt(c.threshold));
    m_setup->deviceGroup->setTitle(qt(c.deviceGroup));

    // Pages 1-3: the list.
    for (int page = SelectPage; page <= UploadPage; ++page) {
        LogoListView* list = block(page).list;
        connect(list, &LogoListView::headerClicked, this, [this, page](int column) {
            m_orders[page] = m_sorters[page].click(m_sheet.list(), column);
            m_sheet.list().selectedRow = -1;
            renderList(page);
        });
        connect(list, &LogoListView::rowSelected, this, [this, page](int row) {
            m_sheet.list().selectedRow = row;
            if (page == PreviewPage)
                renderPreview();
        });
    }
    // A box belongs to the file its row shows, also after a header click reordered the rows.
    connect(m_select->block.list, &LogoListView::checkToggled, this, [this](int row, bool on) {
        const std::vector<int>& order = m_orders[SelectPage];
        if (row >= 0 && static_cast<std::size_t>(row) < order.size())
            m_sheet.setCentre(order[static_cast<std::size_t>(row)], on);
    });
    connect(m_select->openFile, &QPushButton::clicked, this, &LogoSheetDialog::openFiles);
    connect(m_select->remove, &QPushButton::clicked, this, &LogoSheetDialog::removeFiles);
    connect(m_select->reset, &QPushButton::clicked, this, &LogoSheetDialog::resetList);
    connect(m_preview->qualityButtons, &QButtonGroup::idClicked, this, [this](int id) {
        m_preview->preview->setQuality(static_cast<PreviewQuality>(id));
        renderPreview();
    });
    connect(m_upload->upload, &QPushButton::clicked, this, &LogoSheetDialog::runUpload);

    // Page 4.
    connect(m_printPage->rangeButtons, &QButtonGroup::idClicked, this, [this](int id) {
        m_print->range = id;
        if (id == NvPrint::Selection)
            m_printPage->selectionText->setFocus(Qt::OtherFocusReason);
        renderPrint();
    });
    connect(m_printPage, &LogoPrintTab::selectionFocused, this, [this] {
        m_print->range = NvPrint::Selection;
        renderPrint();
    });
    connect(m_printPage->selectionText, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_print->selection = text.toStdString(); });
    connect(m_printPage->qualityButtons, &QButtonGroup::idClicked, this,
            [this](int id) { m_print->quality = id; });
    connect(m_printPage->headerButtons, &QButtonGroup::idClicked, this,
            [this](int id) { m_print->header = id == 1; });
    connect(m_printPage->print, &QPushButton::clicked, this, &LogoSheetDialog::runPrint);

    // Page 5.
    connect(m_setup->printToFile, &QCheckBox::toggled, this, [this](bool on) {
        m_sheet.setPrintToFile(on);
        renderSetup();
    });
    connect(m_setup->grayPrinting, &QCheckBox::toggled, this, [this](bool on) {
        m_sheet.setGray(on);
        renderSetup();
    });
    connect(m_setup->starEmulation, &QCheckBox::toggled, this, [this](bool on) {
        m_sheet.setStar(on);
        renderSetup();
    });
    connect(m_setup->maxArea, &QSpinBox::valueChanged, this, [this](int dots) {
        m_sheet.setMaxPrintableWidth(dots);
        renderSetup();
    });
    connect(m_setup->thresholdSlider, &QSlider::valueChanged, this, [this](int value) {
        m_sheet.setThreshold(value);
        renderSetup();
    });
    connect(m_setup->threshold, &QSpinBox::valueChanged, this, [this](int value) {
        m_sheet.setThreshold(value);
        renderSetup();
    });

    // The sheet opens on its fifth page.
    m_tabs->setCurrentIndex(SetupPage);
    connect(m_tabs, &QTabWidget::currentChanged, this, &LogoSheetDialog::pageChanged);
    activate(SetupPage);
}

LogoSheetDialog::~LogoSheetDialog() {
    // The print page's controller stops its timer before the timer host goes.
    m_print.reset();
}

void LogoSheetDialog::showHelp(int page) {
    const std::string topic = LogoHelp::pageTopic(page);
    HelpSection section = LogoHelp::readSection(helpBook, topic);
    if (section.status != HelpSection::Found) {
        m_ctx.prompter.inform(LogoHelp::failureMessage(section, helpBook, topic, m_korean),
                              Icon::Exclamation);
        return;
    }
    // One window, beside the sheet rather than over it, so the page stays usable while it is
    // read; the next F1 shows the next topic in it.
    if (!m_help) {
        m_help = new QDialog(this);
        m_help->setObjectName("help");
        m_help->setWindowIcon(appIcon());
        m_help->setModal(false);
        auto* layout = new QVBoxLayout(m_help);
        m_helpText = new QTextBrowser(m_help);
        m_helpText->setObjectName("helpText");
        m_helpText->setOpenLinks(false);
        layout->addWidget(m_helpText, 1);
        auto* close = new QPushButton(qt(m_captions.ok), m_help);
        close->setObjectName("close");
        connect(close, &QPushButton::clicked, m_help, &QDialog::close);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(close);
        layout->addLayout(row);
        m_help->resize(560, 480);
    }
    m_help->setWindowTitle(qt(topic));
    m_helpText->setMarkdown(qt(section.text));
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}

void LogoSheetDialog::newPrintPage() {
    auto next =
        std::make_unique<NvPrint>(m_ctx, m_sheet.options(), *m_printTimers, m_sheet.portName());
    if (m_print) {
        next->range = m_print->range;
        next->selection = m_print->selection;
        next->quality = m_print->quality;
        next->header = m_print->header;
    }
    m_print = std::move(next);
}

LogoListBlock& LogoSheetDialog::block(int page) {
    if (page == PreviewPage)
        return m_preview->block;
    if (page == UploadPage)
        return m_upload->block;
    return m_select->block;
}

void LogoSheetDialog::identityOrder() {
    for (std::vector<int>& order : m_orders) {
        order.resize(static_cast<std::size_t>(m_sheet.list().entryCount()));
        std::iota(order.begin(), order.end(), 0);
    }
}

std::vector<int> LogoSheetDialog::selectedPositions(int page) const {
    std::vector<int> positions;
    const std::vector<int>& order = m_orders[page];
    for (int row : const_cast<LogoSheetDialog*>(this)->block(page).list->selectedRows())
        if (row >= 0 && static_cast<std::size_t>(row) < order.size())
            positions.push_back(order[static_cast<std::size_t>(row)]);
    return positions;
}

void LogoSheetDialog::pageChanged(int index) {
    leave(m_current);
    activate(index);
}

void LogoSheetDialog::activate(int page) {
    m_current = page;
    if (page >= SelectPage && page <= UploadPage)
        m_orders[page] = ColumnSorter::activation(m_sheet.list());
    if (page == PrintPage)
        newPrintPage(); // the port may have changed on the Setup page
    render();
    if (page == SelectPage && !m_selectOpened) {
        m_selectOpened = true;
        m_sheet.korva30Notice();
    }
}

void LogoSheetDialog::leave(int page) {
    if (page == SetupPage)
        m_sheet.leaveSetup();
}

void LogoSheetDialog::render() {
    for (int page = SelectPage; page <= UploadPage; ++page)
        renderList(page);
    renderPreview();
    m_upload->details.name->setText(qt(m_sheet.printerName()));
    m_upload->details.port->setText(qt(m_sheet.portText()));
    renderPrint();
    renderSetup();
}

void LogoSheetDialog::renderList(int page) {
    const LogoList& list = m_sheet.list();
    std::vector<int>& order = m_orders[page];
    if (order.size() != static_cast<std::size_t>(list.entryCount())) {
        order.resize(static_cast<std::size_t>(list.entryCount()));
        std::iota(order.begin(), order.end(), 0);
    }
    std::vector<LogoListView::Row> rows;
    for (int position : order)
        rows.push_back(
            {list.numberText(position), list.entry(position).name, list.sizeText(position)});
    LogoListBlock& b = block(page);
    b.list->showRows(rows, list.selectedRow);
    if (page == SelectPage) {
        std::vector<bool> checks;
        for (int position : order)
            checks.push_back(m_sheet.options().centre[static_cast<std::size_t>(position)] != 0);
        b.list->showChecks(checks);
    }
    b.count->setText(qt(list.countText()));
    b.memory->setText(qt(list.memoryText()));
}

void LogoSheetDialog::renderPreview() {
    const LogoList& list = m_sheet.list();
    const int row = list.selectedRow;
    const std::vector<int>& order = m_orders[PreviewPage];
    if (row < 0 || static_cast<std::size_t>(row) >= order.size()) {
        m_preview->preview->clearPicture();
        return;
    }
    m_preview->preview->setPicture(previewPicture(list, order[static_cast<std::size_t>(row)]));
}

void LogoSheetDialog::renderPrint() {
    const NvPrint& p = *m_print;
    LogoPrintTab* page = m_printPage;
    setChecked(page->all, p.range == NvPrint::All);
    setChecked(page->selection, p.range == NvPrint::Selection);
    if (page->selectionText->text() != qt(p.selection))
        page->selectionText->setText(qt(p.selection));
    for (int i = 0; i < 4; ++i)
        setChecked(page->quality[i], p.quality == i);
    setChecked(page->noHeader, !p.header);
    setChecked(page->addHeader, p.header);
    page->details.name->setText(qt(p.printerName()));
    page->details.port->setText(qt(p.portName()));
    page->print->setEnabled(p.printEnabled());
}

void LogoSheetDialog::renderSetup() {
    const LogoSetupPage& s = m_sheet.setup();
    setChecked(m_setup->printToFile, s.printToFile);
    setChecked(m_setup->grayPrinting, s.gray);
    m_setup->grayPrinting->setEnabled(s.grayEnabled);
    setChecked(m_setup->starEmulation, s.star);
    {
        QSignalBlocker a(m_setup->maxArea), b(m_setup->threshold), c(m_setup->thresholdSlider);
        m_setup->maxArea->setValue(s.maxPrintableWidth);
        m_setup->threshold->setValue(s.threshold);
        m_setup->thresholdSlider->setValue(s.threshold);
    }
    m_setup->aboutBrand->setText(qt(m_captions.aboutBrand));
    m_setup->device->setText(qtMessage(s.device));
}

void LogoSheetDialog::openFiles() {
    m_sheet.openFiles();
    identityOrder();
    render();
}

void LogoSheetDialog::removeFiles() {
    if (m_sheet.removeRows(selectedPositions(SelectPage)))
        identityOrder();
    render();
}

void LogoSheetDialog::resetList() {
    if (m_sheet.reset())
        identityOrder();
    render();
}

void LogoSheetDialog::accept() {
    leave(m_current);
    m_sheet.ok();
    QDialog::accept();
}

void LogoSheetDialog::runUpload() {
    QtTimerHost timers;
    NvUpload upload(m_ctx, m_sheet.list(), m_sheet.options(), m_sheet.profile(), timers,
                    m_sheet.portName());
    int depth = 0;
    CountedClient client(upload, depth);
    timers.setClient(&client);
    if (!upload.begin()) {
        render();
        return;
    }
    LogoProgressDialog window(qt(m_captions.uploadingTitle), this);
    auto show = [&] {
        const NvUploadView& v = upload.view();
        window.showStatus(qt(v.status), v.position, v.rangeMax);
        window.setCancelEnabled(!upload.cancelled());
    };
    auto settle = [&] {
        show();
        if (depth == 0 && upload.dialogClosed())
            window.done(QDialog::Accepted);
    };
    upload.setProgress(show);
    timers.afterFire = settle;
    connect(&window, &LogoProgressDialog::cancelRequested, &window, [&] {
        upload.cancel();
        settle();
    });
    QTimer::singleShot(0, &window, [&] {
        if (onTransferShown)
            onTransferShown(window);
        ++depth;
        upload.initDialog();
        --depth;
        settle();
    });
    show();
    m_transfer = &window;
    m_clock.setPumping(true);
    window.exec();
    m_clock.setPumping(false);
    m_transfer = nullptr;
    upload.setProgress(nullptr);
    upload.end();
    render();
}

void LogoSheetDialog::runPrint() {
    NvPrint& print = *m_print;
    CountedClient client(print, m_printDepth);
    m_printTimers->setClient(&client);
    if (!print.print()) {
        m_printTimers->setClient(nullptr);
        renderPrint();
        return;
    }
    LogoProgressDialog window(qt(m_captions.printingTitle), this);
    auto show = [&] {
        const NvPrintView& v = print.view();
        window.showStatus(qt(v.text), v.position, v.rangeMax);
        window.setCancelEnabled(!print.cancelled());
    };
    auto settle = [&] {
        show();
        if (m_printDepth == 0 && print.dialogClosed())
            window.done(QDialog::Accepted);
    };
    print.setProgress(show);
    m_printTimers->afterFire = settle;
    connect(&window, &LogoProgressDialog::cancelRequested, &window, [&] {
        print.cancel();
        settle();
    });
    if (onTransferShown)
        QTimer::singleShot(0, &window, [&] { onTransferShown(window); });
    show();
    m_transfer = &window;
    m_clock.setPumping(true);
    window.exec();
    m_clock.setPumping(false);
    m_transfer = nullptr;
    m_printTimers->afterFire = nullptr;
    m_printTimers->setClient(nullptr);
    print.setProgress(nullptr);
    print.end();
    renderPrint();
}

} // namespace korva
