// The KORVA10 firmware download window: its controls and captions (English in a Korean
// session too), a download over a pseudo-terminal answered by the test as the printer, CANCEL
// mid-way, and the main menu opening it for a KORVA10 model.
#include "gui/Korva10FirmwareDialog.h"

#include "PtyPair.h"
#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/RecordingPrompter.h"
#include "gui/DesktopApp.h"
#include "gui/MainMenuDialog.h"
#include "support/Bytes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <fstream>

using namespace korva;
using korva::test::PtyPair;
using Screen = Korva10FirmwareScreen;
using Bytes = std::vector<std::uint8_t>;

class Korva10FirmwareDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;

    std::string file(const char* name) const { return m_dir.filePath(name).toStdString(); }

    void useSerial(CPorts& ports, const std::string& path) {
        ports.m_ModelKind = 2;
        ports.m_PortName = path;
        ports.m_BaudRate = 38400;
        ports.m_DataBits = 8;
        ports.m_Parity = 0;
        ports.m_StopBits = 0;
        ports.m_FlowControl = 3;
    }

private slots:
    void initTestCase() {
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        std::string image(0x200000, '\0');
        for (std::size_t i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>(i ^ (i >> 8));
        std::ofstream(file("fw.bin"), std::ios::binary) << image;
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldCwd); }

    void captionsDownloadAndCancel() {
        RealClock clock;
        RecordingPrompter prompter;
        AppContext app(clock, prompter, 0x0412, DeviceRoots{}, file("korvaset.INI"));
        PtyPair pty;
        QVERIFY(pty.ok());
        useSerial(app.ports, pty.slavePath());
        app.profile.WriteString("FWDN15", "FOLDER", "/old/a.bin");
        app.profile.WriteString("FWDN15", "FILE", "a.bin");

        Korva10FirmwareDialog d(Korva10FirmwareContext{app.ports, app.log, app.catalogue, prompter,
                                                       clock, app.profile, app.langId,
                                                       "KORVA10 - test"});
        d.show();
        // The design gives this window English captions only, in a Korean session too.
        QCOMPARE(d.windowTitle(), QString("KORVASet : KORVA10 Firmware Download"));
        QCOMPARE(d.openButton()->text(), QString("&Open"));
        QCOMPARE(d.findChild<QGroupBox*>("areaGroup")->title(), QString("SELECT AREA"));
        QCOMPARE(d.findChild<QGroupBox*>("deviceGroup")->title(), QString("DEVICE"));
        QCOMPARE(d.okButton()->text(), QString("OK"));
        QCOMPARE(d.cancelButton()->text(), QString("CANCEL"));
        const char* captions[] = {"&1.Program", "&2.Ext Font", "&3.Boot", "&4.Font"};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(d.areaButton(i)->text(), QString(captions[i]));
            QCOMPARE(d.areaButton(i)->isEnabled(), i != korva10::kExtFontArea);
        }
        QVERIFY(d.areaButton(0)->isChecked());
        QCOMPARE(d.summaryLabel()->text(), QString("KORVA10 - test"));
        QCOMPARE(d.pathEdit()->text(), QString("/old/a.bin"));
        QCOMPARE(d.nameEdit()->text(), QString("a.bin"));
        QVERIFY(d.pathEdit()->isReadOnly() && d.nameEdit()->isReadOnly());

        d.areaButton(korva10::kBootArea)->click();
        QCOMPARE(d.screen().view().area, korva10::kBootArea);
        prompter.queueFiles({file("fw.bin")});
        d.openButton()->click();
        QCOMPARE(d.pathEdit()->text(), QString::fromStdString(file("fw.bin")));
        QCOMPARE(d.nameEdit()->text(), QString("fw.bin"));

        d.okButton()->click();
        QCOMPARE(test::hex(pty.receive(10)), std::string("40 F2 22 23 00 00 00 00 00 00"));
        QCOMPARE(d.windowTitle(), QString("Erasing..."));
        QVERIFY(!d.okButton()->isEnabled());
        QVERIFY(!d.openButton()->isEnabled());
        QVERIFY(!d.areaButton(0)->isEnabled());
        QCOMPARE(d.progressBar()->maximum(), 0x10000);
        // The six erase waits, without waiting 2.4 s for them.
        for (int i = 0; i < Screen::kEraseSteps; ++i)
            d.screen().onTimer(Screen::kEraseTimer);
        d.render();
        QCOMPARE(d.windowTitle(), QString("Erasing........."));

        // The printer answers through the receive thread; the window applies it.
        QVERIFY(pty.send({0x10, 0x06}));
        QTRY_COMPARE(d.windowTitle(), QString("Writing...(1F0200)"));
        const Bytes first = pty.receive(522);
        QCOMPARE(first.size(), std::size_t{522});
        QCOMPARE(test::hex(Bytes(first.begin(), first.begin() + 8)),
                 std::string("40 F0 02 00 00 1F 00 00"));
        QCOMPARE(d.progressBar()->value(), 0x200);
        QVERIFY(pty.send({0x10, 0x15}));
        QTRY_COMPARE(d.screen().packetsSent(), 3);
        QCOMPARE(pty.receive(522), first); // NAK: the same bytes again

        d.cancelButton()->click();
        QVERIFY(!d.isVisible());
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QVERIFY(!app.ports.m_bConnected);
        QVERIFY(pty.send({0x10, 0x06}));
        QTest::qWait(30);
        QVERIFY(pty.drain(30).empty());
        QVERIFY(prompter.messages().empty());
    }

    void mainMenuOpensItForKorva10() {
        RealClock clock;
        RecordingPrompter prompter;
        DesktopApp app(clock, prompter, 0x0409, DeviceRoots{}, nullptr);
        PtyPair pty;
        useSerial(app.context().ports, pty.slavePath());
        QString title;
        bool userSetupEnabled = true;
        bool firmwareEnabled = false;
        QTimer poll;
        int step = 0;
        QPointer<QWidget> menu;
        connect(&poll, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (step == 0 && qobject_cast<MainMenuDialog*>(modal)) {
                auto* m = qobject_cast<MainMenuDialog*>(modal);
                menu = m;
                userSetupEnabled = m->userSetupButton()->isEnabled();
                firmwareEnabled = m->firmwareButton()->isEnabled();
                ++step;
                QTimer::singleShot(0, m->firmwareButton(), &QPushButton::click);
            } else if (step == 1 && qobject_cast<Korva10FirmwareDialog*>(modal)) {
                title = modal->windowTitle();
                ++step;
                QTimer::singleShot(0, qobject_cast<Korva10FirmwareDialog*>(modal)->cancelButton(),
                                   &QPushButton::click);
            } else if (step == 2 && modal && modal == menu) {
                ++step;
                QTimer::singleShot(0, qobject_cast<MainMenuDialog*>(modal)->backButton(),
                                   &QPushButton::click);
            }
        });
        poll.start(5);
        app.runMainMenu(nullptr);
        QCOMPARE(step, 3);
        QVERIFY(!userSetupEnabled);
        QVERIFY(firmwareEnabled);
        QCOMPARE(title, QString("KORVASet : KORVA10 Firmware Download"));
        QCOMPARE(int(app.context().ports.m_ReceiveMode), 3);
        QVERIFY(!app.context().ports.m_bConnected);
    }
};

QTEST_MAIN(Korva10FirmwareDialogTest)
#include "Korva10FirmwareDialogTest.moc"
