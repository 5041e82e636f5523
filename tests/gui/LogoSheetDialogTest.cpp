// The logo tool's window driven as a technician uses it, against the program's own virtual
// printer on a serial pseudo-terminal: add, remove, add again, preview, upload, print a
// selection, gray on and off, Print To File, OK. The printer's pauses run ten times shorter
// and the printer erases for less than that, so a skipped wait still loses bytes.
#include "gui/LogoSheetDialog.h"
#include "app/MainMenu.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/RecordingPrompter.h"
#include "comm/CPorts.h"
#include "gui/DemoLogos.h"
#include "gui/LogoListView.h"
#include "gui/LogoPages.h"
#include "gui/LogoPreview.h"
#include "gui/LogoProgressDialog.h"
#include "logo/CBitmapRaster.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"
#include "sim/VirtualPrinter.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QtTest>
#include <memory>
#include <set>

using namespace korva;

namespace {

// Real time, every pause ten times shorter.
class ShortPauses final : public Clock {
public:
    std::int64_t nowMs() override { return m_real.nowMs(); }
    void sleepMs(int ms) override { m_real.sleepMs(ms / 10); }

private:
    RealClock m_real;
};

// What the logo tool needs, wired to a virtual printer's serial link.
struct Bench {
    explicit Bench(const QString& folder)
        : ports(log, catalogue, prompter, clock), socket(log, catalogue, prompter),
          profile((folder + "/korvaset.INI").toStdString(), &log),
          context{ports, socket, ethernet, log, catalogue, prompter, clock, ModelKindKorva40} {
        SimOptions options;
        options.model = "KORVA40S";
        options.serial = true;
        options.nvEraseMs = 150; // the tool waits 350 ms
        options.outDir = (folder + "/printout").toStdString();
        QDir().mkpath(QString::fromStdString(options.outDir));
        printer = std::make_unique<VirtualPrinter>(options);
        log.Open((folder + "/error.log").toStdString());
        ports.m_BaudRate = 115200;
        ports.m_DataBits = 8;
        ports.m_Parity = 0;
        ports.m_FlowControl = 3;
        ports.m_ModelKind = ModelKindKorva40;
        ports.m_ReceiveMode = MainMenu::kReceiveLogo;
    }
    bool start() {
        std::string error;
        if (!printer->start(error))
            return false;
        ports.m_PortName = printer->serialPath();
        return true;
    }
    std::unique_ptr<LogoSheetDialog> sheet() {
        return std::make_unique<LogoSheetDialog>(context, profile, ports.m_PortName,
                                                 "KORVA40 - " + ports.m_PortName, 0x0409);
    }

    ErrorLog log;
    MessageCatalogue catalogue;
    RecordingPrompter prompter;
    ShortPauses clock;
    CPorts ports;
    PrinterSocket socket;
    EthernetSettings ethernet;
    Profile profile;
    LogoContext context;
    std::unique_ptr<VirtualPrinter> printer;
};

std::vector<int> numbers(LogoSheetDialog& d) {
    std::vector<int> out;
    for (const LogoEntry& e : d.sheet().list().entries())
        out.push_back(e.number);
    return out;
}

void clickRow(LogoListView* list, int row) {
    const QRect r = list->visualItemRect(list->topLevelItem(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

std::vector<std::string> paths(const QStringList& list) {
    std::vector<std::string> out;
    for (const QString& p : list)
        out.push_back(p.toStdString());
    return out;
}

} // namespace

class LogoSheetDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_logos, m_more;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_logos = writeDemoLogos(m_dir.filePath("logos"));
        m_more = writeDemoLogos(m_dir.filePath("more"));
        QCOMPARE(m_logos.size(), 3);
    }

    void technicianTask() {
        QTemporaryDir work;
        Bench bench(work.path());
        QVERIFY(bench.start());
        auto sheet = bench.sheet();
        LogoSheetDialog& d = *sheet;
        d.show();
        QCOMPARE(d.tabs()->currentIndex(), int(LogoSheetDialog::SetupPage));

        // Three files, one removed, another added: it takes the freed number.
        d.tabs()->setCurrentIndex(LogoSheetDialog::SelectPage);
        LogoSelectTab* select = d.selectionPage();
        bench.prompter.queueFiles(paths(m_logos));
        select->openFile->click();
        QCOMPARE(numbers(d), (std::vector<int>{1, 2, 3}));
        QCOMPARE(select->block.count->text(), QString("  3 / 255"));
        clickRow(select->block.list, 1);
        bench.prompter.queueAnswer(Answer::Yes); // "Remove selected file?"
        select->remove->click();
        QCOMPARE(numbers(d), (std::vector<int>{1, 3}));
        bench.prompter.queueFiles({m_more[1].toStdString()});
        select->openFile->click();
        QCOMPARE(numbers(d), (std::vector<int>{1, 3, 2}));
        QCOMPARE(select->block.list->topLevelItemCount(), 3);
        QCOMPARE(select->block.list->topLevelItem(2)->text(1).trimmed(), QString("2"));
        const std::vector<std::int64_t> monoSizes = {d.sheet().list().entry(0).size,
                                                     d.sheet().list().entry(1).size,
                                                     d.sheet().list().entry(2).size};

        // Each quality of the preview: the picture at 1 x 1, 2 x 2, 1 x 2 and 2 x 1.
        d.tabs()->setCurrentIndex(LogoSheetDialog::PreviewPage);
        LogoPreviewTab* preview = d.previewPage();
        clickRow(preview->block.list, 0);
        QVERIFY(preview->preview->hasPicture());
        const QSize base = preview->preview->drawnRect().size();
        QVERIFY(!base.isEmpty());
        const QSize scaled[] = {{1, 1}, {2, 2}, {1, 2}, {2, 1}};
        for (int q = 0; q < 4; ++q) {
            preview->quality[q]->click();
            QCOMPARE(preview->preview->drawnRect().size(),
                     QSize(base.width() * scaled[q].width(), base.height() * scaled[q].height()));
        }
        preview->quality[0]->click();

        // Upload: the progress moves chunk by chunk up to every byte.
        d.tabs()->setCurrentIndex(LogoSheetDialog::UploadPage);
        std::set<int> positions;
        int maximum = 0;
        d.onTransferShown = [&](LogoProgressDialog& window) {
            QObject::connect(window.progressBar(), &QProgressBar::valueChanged, &window,
                             [&](int v) {
                                 positions.insert(v);
                                 maximum = window.progressBar()->maximum();
                             });
        };
        bench.prompter.queueAnswer(Answer::Yes); // "All bit image files are written ..."
        d.uploadPage()->upload->click();
        QVERIFY(!d.transferWindow());
        const std::int64_t total = d.sheet().list().totalBytes();
        QCOMPARE(maximum, int(total / 100));
        QVERIFY(positions.count(int(total / 100)));
        QVERIFY2(positions.size() > 3, "the bar moves with the chunks, not once at the end");
        QCOMPARE(bench.profile.GetString("LOGO", "Logofile2"), m_more[1].toStdString());

        // Print 1 and 3 with their headers.
        d.tabs()->setCurrentIndex(LogoSheetDialog::PrintPage);
        LogoPrintTab* print = d.printPageWidget();
        QVERIFY(print->print->isEnabled());
        print->selection->click();
        QTest::keyClicks(print->selectionText, "1,3");
        print->addHeader->click();
        QString lastText;
        d.onTransferShown = [&](LogoProgressDialog& window) {
            QObject::connect(window.progressBar(), &QProgressBar::valueChanged, &window,
                             [&] { lastText = window.statusLabel()->text(); });
        };
        print->print->click();
        QCOMPARE(lastText, QString("Printing... 2/255"));

        // Gray multiplies the sizes by four and back.
        d.tabs()->setCurrentIndex(LogoSheetDialog::SetupPage);
        LogoSetupTab* setup = d.setupPage();
        QVERIFY(setup->grayPrinting->isEnabled());
        setup->grayPrinting->click();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(d.sheet().list().entry(i).size, monoSizes[static_cast<std::size_t>(i)] * 4);
        setup->grayPrinting->click();
        for (int i = 0; i < 3; ++i)
            QCOMPARE(d.sheet().list().entry(i).size, monoSizes[static_cast<std::size_t>(i)]);

        // Print To File: the port becomes the file, the print page cannot print; OK sends
        // nothing more.
        setup->printToFile->click();
        QCOMPARE(d.sheet().portName(), std::string("FILE"));
        d.tabs()->setCurrentIndex(LogoSheetDialog::UploadPage);
        QCOMPARE(d.uploadPage()->details.port->text(), QString("To File"));
        d.tabs()->setCurrentIndex(LogoSheetDialog::PrintPage);
        QVERIFY(!print->print->isEnabled());
        d.tabs()->setCurrentIndex(LogoSheetDialog::SetupPage);
        const auto before = bench.printer->report()["received"]["serial"].get<long>();
        d.okButton()->click();
        QCOMPARE(d.result(), int(QDialog::Accepted));
        if (bench.ports.m_bConnected)
            bench.ports.Close();

        // The printer holds the three images as converted, in number order, and printed 1, 3.
        nlohmann::json report = bench.printer->report();
        QCOMPARE(report["received"]["serial"].get<long>(), before);
        QVERIFY2(report["ignored"].empty(), report["ignored"].dump().c_str());
        QCOMPARE(report["nvImages"].size(), std::size_t(3));
        const QString sent[] = {m_logos[0], m_more[1], m_logos[2]};
        LogoOptions options;
        CBitmapRaster raster(options);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(raster.Load(sent[i].toStdString()));
            QVERIFY(raster.ConvertMonochrome(0));
            const auto& image = report["nvImages"][static_cast<std::size_t>(i)];
            QCOMPARE(image["widthDots"].get<int>(), raster.W8());
            QCOMPARE(image["heightDots"].get<int>(), raster.H8());
            QCOMPARE(image["size"].get<long>(), long(raster.outputLength()));
        }
        QCOMPARE(report["printed"].size(), std::size_t(2));
        QCOMPARE(report["printed"][0]["image"].get<int>(), 1);
        QCOMPARE(report["printed"][1]["image"].get<int>(), 3);
        QVERIFY(report["printed"][1]["found"].get<bool>());
        QVERIFY(QFile::exists(QString::fromStdString(report["printed"][1]["png"])));
        const auto& lines = report["textLines"];
        QVERIFY(std::find(lines.begin(), lines.end(), "--- Logo 3 ---") != lines.end());
        const std::vector<std::string> shown = bench.prompter.messages();
        for (const char* text :
             {"Remove selected file?",
              "All bit image files are written in the NV Graphics memory of the printer.",
              "Complete the NV bit image definition.\r\nPlease wait some paper feed."})
            QVERIFY2(std::find(shown.begin(), shown.end(), text) != shown.end(), text);
    }

    // F1 on each page opens the help window on that page's topic; without the book the screen
    // says so and opens nothing.
    void helpKey_data() {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("topic");
        QTest::newRow("select") << int(LogoSheetDialog::SelectPage) << "Bitmap Selection";
        QTest::newRow("preview") << int(LogoSheetDialog::PreviewPage) << "Preview";
        QTest::newRow("upload") << int(LogoSheetDialog::UploadPage) << "Logo Upload";
        QTest::newRow("print") << int(LogoSheetDialog::PrintPage) << "Logo Printout";
        QTest::newRow("setup") << int(LogoSheetDialog::SetupPage) << "Setup";
    }
    void helpKey() {
        QFETCH(int, page);
        QFETCH(QString, topic);
        QTemporaryDir work;
        Bench bench(work.path());
        auto sheet = bench.sheet();
        LogoSheetDialog& d = *sheet;
        d.helpBook = KORVA_HELP_BOOK;
        d.show();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        d.tabs()->setCurrentIndex(page);
        QTest::keyClick(&d, Qt::Key_F1);
        QVERIFY(d.helpWindow());
        QVERIFY(d.helpWindow()->isVisible());
        QCOMPARE(d.helpWindow()->windowTitle(), topic);
        QVERIFY(d.helpText()->toPlainText().startsWith(topic));
        QVERIFY(bench.prompter.messages().empty());

        d.helpWindow()->close();
        d.helpBook = work.filePath("none.md").toStdString();
        d.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(&d, Qt::Key_F1);
        QVERIFY(!d.helpWindow()->isVisible());
        QCOMPARE(bench.prompter.messages().size(), std::size_t(1));
        QVERIFY(bench.prompter.messages()[0].starts_with("The help book cannot be read."));
    }

    // Sorting, removing and resetting forget the remembered row (no page reselects a row that
    // now shows another file); the centring boxes follow their rows up when one is deleted.
    void rememberedRowIsForgotten_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("sort") << "sort";
        QTest::newRow("remove") << "remove";
        QTest::newRow("reset") << "reset";
    }
    void rememberedRowIsForgotten() {
        QFETCH(QString, action);
        QTemporaryDir work;
        Bench bench(work.path());
        auto sheet = bench.sheet();
        LogoSheetDialog& d = *sheet;
        d.show();
        d.tabs()->setCurrentIndex(LogoSheetDialog::SelectPage);
        LogoSelectTab* select = d.selectionPage();
        bench.prompter.queueFiles(paths(m_logos));
        select->openFile->click();
        select->block.list->checkBox(2)->click();
        clickRow(select->block.list, 1);
        QCOMPARE(d.sheet().list().selectedRow, 1);
        d.tabs()->setCurrentIndex(LogoSheetDialog::PreviewPage);
        QCOMPARE(d.previewPage()->block.list->selectedRows(), std::vector<int>{1});
        QVERIFY(d.previewPage()->preview->hasPicture());
        d.tabs()->setCurrentIndex(LogoSheetDialog::SelectPage);

        if (action == "sort") {
            QHeaderView* h = select->block.list->header();
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(1) + 10, h->height() / 2));
            QCOMPARE(select->block.list->topLevelItem(0)->text(1).trimmed(), QString("3"));
            // The boxes go with their files: number 3's is on top now, and a box ticked on the
            // row of number 2 centres number 2.
            QVERIFY(select->block.list->checkBox(0)->isChecked());
            QVERIFY(!select->block.list->checkBox(2)->isChecked());
            select->block.list->checkBox(1)->click();
            QCOMPARE(d.sheet().options().centre[1], 1);
            QCOMPARE(d.sheet().options().centre[0], 0);
        } else if (action == "remove") {
            bench.prompter.queueAnswer(Answer::Yes);
            select->remove->click();
            QCOMPARE(numbers(d), (std::vector<int>{1, 3}));
            // The third row's box is now the second's.
            QVERIFY(select->block.list->checkBox(1)->isChecked());
            QVERIFY(!select->block.list->checkBox(0)->isChecked());
            QVERIFY(!select->block.list->checkBox(2));
            QCOMPARE(d.sheet().options().centre[1], 1);
        } else {
            bench.prompter.queueAnswer(Answer::Yes);
            select->reset->click();
            QCOMPARE(d.sheet().list().entryCount(), 0);
        }
        QCOMPARE(d.sheet().list().selectedRow, -1);
        QVERIFY(select->block.list->selectedRows().empty());
        for (int page : {LogoSheetDialog::PreviewPage, LogoSheetDialog::UploadPage}) {
            d.tabs()->setCurrentIndex(page);
            QVERIFY(page == LogoSheetDialog::PreviewPage
                        ? d.previewPage()->block.list->selectedRows().empty()
                        : d.uploadPage()->block.list->selectedRows().empty());
        }
        QVERIFY(!d.previewPage()->preview->hasPicture());
    }
};

QTEST_MAIN(LogoSheetDialogTest)
#include "LogoSheetDialogTest.moc"
