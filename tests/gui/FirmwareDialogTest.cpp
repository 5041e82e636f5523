// The firmware download window against the virtual printer on a serial pseudo-terminal: the
// captions and area buttons by model and mode, a whole Program Area that the printer reports
// received with a correct checksum while the window keeps taking events, EXIT during a transfer,
// and the main menu's button by model.
#include "gui/FirmwareDialog.h"

#include "app/AppContext.h"
#include "app/ModelRules.h"
#include "base/Clock.h"
#include "base/RecordingPrompter.h"
#include "gui/DesktopApp.h"
#include "sim/VirtualPrinter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace korva;

class FirmwareDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    VirtualClock m_clock;
    std::unique_ptr<RecordingPrompter> m_prompter;
    std::unique_ptr<VirtualPrinter> m_printer;
    std::unique_ptr<AppContext> m_app;
    std::string m_image;

    void startPrinter(int bytesPerSecond) {
        m_app.reset();
        m_printer.reset();
        SimOptions o;
        o.model = "KORVA40S";
        o.serial = true;
        o.bytesPerSecond = bytesPerSecond;
        m_printer = std::make_unique<VirtualPrinter>(o);
        std::string error;
        QVERIFY2(m_printer->start(error), error.c_str());
    }

    std::unique_ptr<FirmwareDialog> openDialog(std::uint16_t langId, bool expert, int kind = 6) {
        m_prompter = std::make_unique<RecordingPrompter>();
        m_app = std::make_unique<AppContext>(m_clock, *m_prompter, langId, DeviceRoots{},
                                             (m_dir.path() + "/korvaset.INI").toStdString());
        CPorts& p = m_app->ports;
        p.m_PortName = m_printer->serialPath();
        p.m_BaudRate = 115200;
        p.m_DataBits = 8;
        p.m_Parity = 0;
        p.m_StopBits = 0;
        p.m_FlowControl = 3;
        p.m_ModelKind = kind;
        p.m_ReceiveMode = 3;
        return std::make_unique<FirmwareDialog>(
            FirmwareContext{p, m_app->socket, m_app->ethernet, m_app->log, m_app->catalogue,
                            *m_prompter, m_clock, m_app->profile, langId, "KORVA40 - test"},
            expert);
    }

    // Lets the event loop run until pred holds (real time, bounded).
    static bool spinUntil(const std::function<bool()>& pred, int timeoutMs = 60000) {
        QElapsedTimer t;
        t.start();
        while (!pred()) {
            if (t.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QTest::qWait(2);
        }
        return true;
    }

    std::string imagePath() const { return (m_dir.path() + "/fw.SHC").toStdString(); }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        m_image.assign(0x800000, '\0');
        for (std::size_t i = 0; i < m_image.size(); ++i)
            m_image[i] = static_cast<char>((i * 7) ^ (i >> 9));
        m_image[0x7FFFFB] = 3;
        m_image.replace(0x7FFFFC, 4, "QOLT");
        QFile f(QString::fromStdString(imagePath()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(m_image.data(), static_cast<qint64>(m_image.size())),
                 static_cast<qint64>(m_image.size()));
    }
    void cleanupTestCase() {
        m_app.reset();
        m_printer.reset();
        QDir::setCurrent(m_oldCwd);
    }

    void captionsAndAreasByModelAndMode_data() {
        QTest::addColumn<int>("langId");
        QTest::addColumn<bool>("expert");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("download");
        QTest::addColumn<QString>("enabled"); // one letter per area: y enabled, n disabled
        QTest::newRow("english") << 0x0409 << false << 6 << "DEVICE"
                                 << "DOWNLOAD"
                                 << "yyynn";
        QTest::newRow("korean expert") << 0x0412 << true << 6 << "프린터 종류"
                                       << "다운로드"
                                       << "yyyyy";
    }
    void captionsAndAreasByModelAndMode() {
        QFETCH(int, langId);
        QFETCH(bool, expert);
        QFETCH(int, kind);
        QFETCH(QString, device);
        QFETCH(QString, download);
        QFETCH(QString, enabled);
        startPrinter(0);
        auto d = openDialog(static_cast<std::uint16_t>(langId), expert, kind);
        d->screen().setFile(imagePath());
        d->render();
        d->show();
        QCOMPARE(d->windowTitle(), QString("KORVASet : Firmware Download"));
        QCOMPARE(d->findChild<QGroupBox*>("deviceGroup")->title(), device);
        QCOMPARE(d->downloadButton()->text(), download);
        QCOMPARE(d->exitButton()->text(), QString("EXIT"));
        QCOMPARE(d->summaryLabel()->text(), QString("KORVA40 - test"));
        QCOMPARE(d->pathEdit()->text(), QString::fromStdString(imagePath()));
        QVERIFY(d->areaButton(AreaProgram)->isChecked());
        QCOMPARE(d->areaButton(AreaBoot)->isVisible(), expert);
        for (int i = 0; i < kFirmwareAreaCount; ++i)
            QCOMPARE(d->areaButton(i)->isEnabled(), enabled[i] == 'y');
        QVERIFY(d->downloadButton()->isDefault());
    }

    void programAreaReachesThePrinterWhileTheWindowRuns() {
        startPrinter(0);
        auto d = openDialog(0x0409, false);
        d->show();
        m_prompter->queueFiles({imagePath()});
        QTest::mouseClick(d->fileOpenButton(), Qt::LeftButton);
        QCOMPARE(d->pathEdit()->text(), QString::fromStdString(imagePath()));
        QTest::mouseClick(d->downloadButton(), Qt::LeftButton);
        QVERIFY(!d->downloadButton()->isEnabled());
        QVERIFY(!d->fileOpenButton()->isEnabled());
        QVERIFY(d->exitButton()->isEnabled());
        QCOMPARE(d->progressBar()->maximum(), 0xD0000 + 20480);
        QVERIFY(spinUntil([&] { return !d->screen().running(); }));
        const std::uint32_t length = 0xD0000;
        // The window took the worker's progress through its event loop as it came.
        QVERIFY(m_prompter->messages().size() == 1);
        QCOMPARE(QString::fromStdString(m_prompter->messages().back()),
                 QString("Update Complete.\nPlease wait beep the buzzer."));
        QCOMPARE(d->windowTitle(), QString("KORVASet : Firmware Download - 0 %"));
        QCOMPARE(d->fileSizeEdit()->text(), QString::number(length));
        QVERIFY(!d->checksumEdit()->text().isEmpty());
        QVERIFY(d->downloadButton()->isEnabled());
        QVERIFY(d->fileOpenButton()->isEnabled());
        QVERIFY(m_printer->waitFor(
            [](const nlohmann::json& r) { return r["firmwareFrames"].size() == 1; }, 10000));
        const auto frame = m_printer->report()["firmwareFrames"][0];
        QCOMPARE(QString::fromStdString(frame["verdict"].get<std::string>()), QString("ok"));
        QCOMPARE(frame["received"].get<std::uint32_t>(), length);
        unsigned sum = 0;
        for (std::size_t i = 0x400000; i < 0x400000 + length - 10; ++i)
            sum += static_cast<unsigned char>(m_image[i]);
        QCOMPARE(d->checksumEdit()->text(), QString::number(sum & 0xFFFF, 16).toUpper());
    }

    void exitDuringTheTransferStopsItAndCloses() {
        startPrinter(20000); // about 40 s for the whole area: EXIT comes long before the end
        auto d = openDialog(0x0409, false);
        d->screen().setFile(imagePath());
        d->render();
        d->open();
        QTest::mouseClick(d->downloadButton(), Qt::LeftButton);
        QVERIFY(spinUntil([&] { return d->progressBar()->value() > 0; }));
        QVERIFY(d->windowTitle().startsWith("KORVASet : Firmware Download - "));
        m_prompter->queueAnswer(Answer::Yes);
        QTest::mouseClick(d->exitButton(), Qt::LeftButton);
        QVERIFY(spinUntil([&] { return !d->isVisible(); }));
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(!d->screen().running());
        QCOMPARE(d->screen().lastOutcome(), FirmwareScreen::Outcome::Stopped);
        QCOMPARE(m_app->ports.m_hPort, -1);
        d.reset();
        m_printer->stop();
        const auto frame = m_printer->report()["firmwareFrames"][0];
        QCOMPARE(QString::fromStdString(frame["verdict"].get<std::string>()), QString("truncated"));
    }

    // The KORVA10 class has its own erase/write window (its own test); every model has a button.
    void menuButtonForEveryModel() {
        for (int kind = 1; kind <= 6; ++kind) {
            RealClock clock;
            RecordingPrompter prompter;
            DesktopApp app(clock, prompter, 0x0409, DeviceRoots{}, nullptr);
            app.context().ports.m_ModelKind = kind;
            QVERIFY(app.available(MainMenuHost::Tool::Firmware));
        }
    }
};

QTEST_MAIN(FirmwareDialogTest)
#include "FirmwareDialogTest.moc"
