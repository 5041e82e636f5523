// The user setup window against the virtual printer on a serial pseudo-terminal: Get Value
// fills the controls, Set Value writes what was changed, and the 2Color / water mark questions.
#include "gui/UserSetupDialog.h"
#include "app/AppContext.h"
#include "base/Clock.h"
#include "base/RecordingPrompter.h"
#include "setup/SettingReplyParser.h"
#include "sim/VirtualPrinter.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace korva;
using Choice = UserSetupScreen::Choice;
using Edit = UserSetupScreen::Edit;

class UserSetupDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    VirtualClock m_clock;
    RecordingPrompter m_prompter;
    std::unique_ptr<VirtualPrinter> m_printer;
    std::unique_ptr<AppContext> m_app;

    std::unique_ptr<UserSetupDialog> openDialog() {
        CPorts& p = m_app->ports;
        p.m_PortName = m_printer->serialPath();
        p.m_BaudRate = 115200;
        p.m_DataBits = 8;
        p.m_Parity = 0;
        p.m_StopBits = 0;
        p.m_FlowControl = 3;
        p.m_ModelKind = 6;
        p.m_ReceiveMode = 2;
        auto d = std::make_unique<UserSetupDialog>(
            UserSetupContext{p, m_app->socket, m_app->ethernet, m_app->log, m_app->catalogue,
                             m_prompter, m_clock, m_app->profile, m_app->langId, "KORVA40 - test"});
        return d;
    }

    // Lets the event loop apply replies until pred holds (real time, bounded).
    static bool spinUntil(const std::function<bool()>& pred, int timeoutMs = 5000) {
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

    int printerValue(std::uint8_t number, int PrinterSettings::*field) {
        auto text = m_printer->report()["settings"][std::to_string(number)];
        if (!text.is_string())
            return -1000;
        PrinterSettings s;
        auto reply = SettingReplyParser::decode(number, text.get<std::string>());
        if (!reply || !s.applyReply(*reply))
            return -1000;
        return s.*field;
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldCwd); }

    void init() {
        SimOptions o;
        o.model = "KORVA40S";
        o.serial = true;
        o.leaveBusyMs = 20;
        m_printer = std::make_unique<VirtualPrinter>(o);
        std::string error;
        QVERIFY2(m_printer->start(error), error.c_str());
        m_prompter.clear();
        m_app = std::make_unique<AppContext>(m_clock, m_prompter, 0x0409, DeviceRoots{},
                                             (m_dir.path() + "/korvaset.INI").toStdString());
    }
    void cleanup() {
        m_app.reset();
        m_printer.reset();
    }

    void getValueFillsTheControls() {
        auto d = openDialog();
        QVERIFY(d->start());
        d->show();
        QCOMPARE(d->windowTitle(), QString("KORVASet : User Setup"));
        QVERIFY(!d->radio(Choice::PaperWidth, 0)->isChecked());
        QVERIFY(!d->radio(Choice::PaperWidth, 1)->isChecked());
        QVERIFY(!d->picture()->isVisible()); // only the KORVA30 family shows it

        QTest::mouseClick(d->getValueButton(), Qt::LeftButton);
        QVERIFY(spinUntil([&] { return d->screen().received(SetSetupCode); }));
        QVERIFY(spinUntil([&] {
            return d->radio(Choice::PaperWidth, 0)->isChecked() ||
                   d->radio(Choice::PaperWidth, 1)->isChecked();
        }));
        const PrinterSettings& s = d->screen().settings();
        QVERIFY(s.nvGraphicMemory.has_value());
        QCOMPARE(d->list(Choice::NvGraphic)->currentIndex(), *s.nvGraphicMemory);
        QCOMPARE(
            d->list(Choice::NvGraphic)->currentText(),
            QString::fromStdString(
                SettingLists::nvGraphicMemory()[static_cast<std::size_t>(*s.nvGraphicMemory)]));
        QCOMPARE(d->edit(Edit::Margin)->text(), QString::number(s.leftMargin));
        QCOMPARE(s.leftMargin, printerValue(SetLeftMargin, &PrinterSettings::leftMargin));
        QVERIFY(m_prompter.messages().empty());
    }

    // On the USB stand-in over a slow link the replies come after the four collection passes:
    // one press of Get Value still fills every field.
    void usbGetValueOnceFillsEveryField() {
        SimOptions o;
        o.model = "KORVA40U-II";
        o.usb = true;
        o.bytesPerSecond = 400;
        VirtualPrinter usb(o);
        std::string error;
        QVERIFY2(usb.start(error), error.c_str());
        AppContext app(m_clock, m_prompter, 0x0409, DeviceRoots{usb.sysRoot(), usb.devRoot()},
                       (m_dir.path() + "/usb.INI").toStdString());
        app.ports.m_PortName = "USB";
        app.ports.m_ModelKind = 6;
        app.ports.m_ReceiveMode = 2;
        UserSetupDialog d(UserSetupContext{app.ports, app.socket, app.ethernet, app.log,
                                           app.catalogue, m_prompter, m_clock, app.profile,
                                           app.langId, "KORVA \r\nUSB-II Interface"});
        QVERIFY(d.start());
        d.show();
        QTest::mouseClick(d.getValueButton(), Qt::LeftButton);
        auto allAnswered = [&] {
            for (std::uint8_t n : d.screen().queryList())
                if (!d.screen().received(n))
                    return false;
            return true;
        };
        QVERIFY(spinUntil(allAnswered, 15000));
        QCOMPARE(d.edit(Edit::Margin)->text(), QString::number(d.screen().settings().leftMargin));
        QVERIFY(m_prompter.messages().empty());
    }

    void setValueWritesTheChange() {
        auto d = openDialog();
        QVERIFY(d->start());
        d->show();
        QTest::mouseClick(d->getValueButton(), Qt::LeftButton);
        QVERIFY(spinUntil([&] { return d->screen().received(SetSetupCode); }));
        QLineEdit* margin = d->edit(Edit::Margin);
        margin->setFocus();
        margin->selectAll();
        QTest::keyClicks(margin, "24");
        QCOMPARE(margin->text(), QString("24"));
        QTest::mouseClick(d->radio(Choice::PaperWidth, 1), Qt::LeftButton);
        QVERIFY(d->list(Choice::Columns)->isEnabled());

        const int writesBefore = m_printer->report()["setup"]["writes"].get<int>();
        QTest::mouseClick(d->setValueButton(), Qt::LeftButton);
        QVERIFY(m_printer->waitFor(
            [&](const nlohmann::json& r) {
                return r["setup"]["writes"].get<int>() > writesBefore &&
                       r["setup"]["leaves"].get<int>() >= 1;
            },
            3000));
        QCOMPARE(printerValue(SetLeftMargin, &PrinterSettings::leftMargin), 24);
        auto width = m_printer->report()["settings"][std::to_string(SetPaperWidth)];
        PrinterSettings fromPrinter;
        auto reply = SettingReplyParser::decode(SetPaperWidth, width.get<std::string>());
        QVERIFY(reply && fromPrinter.applyReply(*reply));
        QVERIFY(fromPrinter.paperWidth.has_value());
        QVERIFY(*fromPrinter.paperWidth != pos::Width80);
        QVERIFY(d->setValueButton()->isEnabled());
    }

    void twoColorAndWaterMarkAsk() {
        auto d = openDialog();
        QVERIFY(d->start());
        d->show();
        QTest::mouseClick(d->radio(Choice::PaperType, 0), Qt::LeftButton);
        QTest::mouseClick(d->radio(Choice::WaterMark, 1), Qt::LeftButton);
        QVERIFY(d->edit(Edit::WaterMarkImage)->isEnabled());
        QVERIFY(m_prompter.messages().empty());

        // 2Color with the water mark on: Yes turns the water mark off.
        m_prompter.queueAnswer(Answer::Yes);
        QTest::mouseClick(d->radio(Choice::PaperType, 1), Qt::LeftButton);
        auto shown = m_prompter.shown();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].text, std::string("Water mark print is impossible in Two-color print "
                                            "mode.\nDisable water mark function?"));
        QCOMPARE(shown[0].caption, std::string("Notice"));
        QVERIFY(d->radio(Choice::PaperType, 1)->isChecked());
        QVERIFY(d->radio(Choice::WaterMark, 0)->isChecked());
        QVERIFY(!d->edit(Edit::WaterMarkImage)->isEnabled());
        QVERIFY(d->list(Choice::ColorDensity)->isEnabled());
        QCOMPARE(d->list(Choice::ColorDensity)->currentText(), QString("MEDIUM"));

        // The water mark with 2Color: No keeps 2Color and leaves the water mark off.
        m_prompter.clear();
        m_prompter.queueAnswer(Answer::No);
        QTest::mouseClick(d->radio(Choice::WaterMark, 1), Qt::LeftButton);
        QCOMPARE(m_prompter.messages(),
                 std::vector<std::string>{"Water mark print is impossible in Two-color print "
                                          "mode.\nSelect One-color mode?"});
        QVERIFY(d->radio(Choice::WaterMark, 0)->isChecked());
        QVERIFY(d->radio(Choice::PaperType, 1)->isChecked());
    }

    void exitClosesTheWindow() {
        auto d = openDialog();
        QVERIFY(d->start());
        d->show();
        QTest::mouseClick(d->exitButton(), Qt::LeftButton);
        QVERIFY(spinUntil([&] { return !d->isVisible(); }, 2000));
        QVERIFY(d->screen().closed());
    }
};

QTEST_MAIN(UserSetupDialogTest)
#include "UserSetupDialogTest.moc"
