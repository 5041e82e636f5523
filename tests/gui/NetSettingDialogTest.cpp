// The "Ethernet-II Network Setting" window against a virtual printer in this process, over UDP
// on loopback (inside a loopback-only network namespace where one can be made).
#include "gui/NetSettingDialog.h"

#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "sim/VirtualPrinter.h"
#include "support/LoopbackNet.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

using namespace korva;

namespace {

constexpr int kPort = 29341; // a record port of this suite's own

NetLinkOptions loopback() {
    NetLinkOptions o;
    o.broadcast = "127.255.255.255";
    o.port = kPort;
    return o;
}

} // namespace

class NetSettingDialogTest : public QObject {
    Q_OBJECT

    ErrorLog m_log;
    MessageCatalogue m_catalogue;
    RecordingPrompter m_prompter;
    RealClock m_clock;
    std::unique_ptr<VirtualPrinter> m_printer;

    void type(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }

    void search(NetSettingDialog& d) {
        QTest::mouseClick(d.searchButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.screen().busy(), 10000);
    }

    QPoint rowPoint(NetSettingDialog& d, int row) {
        return d.list()->visualRect(d.list()->model()->index(row, 1)).center();
    }

private slots:
    void initTestCase() {
        korva::test::enterLoopbackNamespace();
        QVERIFY(korva::test::isLoopbackAddress(loopback().broadcast));
        SimOptions o;
        o.udpAddress = "127.0.0.2";
        o.udpPort = kPort;
        o.ip = "192.168.0.200";
        o.dhcp = true;
        o.netPort = 9100;
        m_printer = std::make_unique<VirtualPrinter>(o);
        std::string error;
        QVERIFY2(m_printer->start(error), error.c_str());
    }
    void cleanupTestCase() { m_printer.reset(); }
    void init() { m_prompter.clear(); }

    void searchClickAndChange() {
        NetSettingDialog d(m_catalogue, m_prompter, m_clock, m_log, loopback(), 0x0409);
        d.show();
        QCOMPARE(d.windowTitle(), QString("Ethernet-II Network Setting"));
        QVERIFY(d.list()->showGrid());
        QCOMPARE(d.list()->columnCount(), 5);
        QCOMPARE(d.list()->horizontalHeaderItem(4)->text(), QString("Mac Address"));
        QCOMPARE(d.list()->columnWidth(0), 130);
        QCOMPARE(d.list()->columnWidth(1), 60);
        QVERIFY(!d.changeButton()->isEnabled());
        QVERIFY(d.exitButton()->isDefault());
        QCOMPARE(d.portEdit()->text(), QString("0"));

        // While the window waits for datagrams its event loop keeps running and it says so.
        bool ranWhileBusy = false;
        QString status;
        QTimer::singleShot(0, &d, [&] {
            ranWhileBusy = d.screen().busy();
            status = d.statusLabel()->text();
        });
        search(d);
        QVERIFY(ranWhileBusy);
        QCOMPARE(status, QString("Searching for printers..."));
        QCOMPARE(d.statusLabel()->text(), QString());
        QCOMPARE(m_prompter.messages(),
                 std::vector<std::string>{"The printer has finished searching."});
        QCOMPARE(d.list()->rowCount(), 1);
        QCOMPARE(d.list()->item(0, 0)->text(), QString("192.168.0.200 (DHCP)"));
        QCOMPARE(d.list()->item(0, 1)->text(), QString("9100"));
        QCOMPARE(d.list()->item(0, 4)->text(), QString("00:1A:2B:3C:4D:5E"));
        QVERIFY(!d.changeButton()->isEnabled());

        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, rowPoint(d, 0));
        QVERIFY(d.changeButton()->isEnabled());
        QVERIFY(d.dhcpBox()->isChecked());
        QCOMPARE(d.ipEdit()->text(), QString("192.168.0.200"));
        QCOMPARE(d.portEdit()->text(), QString("9100"));
        QCOMPARE(d.subnetEdit()->text(), QString("255.255.255.0"));
        // Beside the rows: Change Setting goes off; on the row again: on.
        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {},
                          QPoint(5, d.list()->viewport()->height() - 3));
        QVERIFY(!d.changeButton()->isEnabled());
        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, rowPoint(d, 0));
        QVERIFY(d.changeButton()->isEnabled());

        type(d.ipEdit(), "10.0.0.5");
        type(d.gatewayEdit(), "10.0.0.1");
        d.dhcpBox()->setChecked(false);
        m_prompter.clear();
        m_prompter.queueAnswer(Answer::Yes);
        QTest::mouseClick(d.changeButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!d.screen().busy(), 10000);
        QVERIFY(!d.changeButton()->isEnabled());
        QCOMPARE(m_prompter.messages().back(),
                 std::string(MessageCatalogue::english(MsgUpdateCompleteNetwork)));
        QVERIFY(m_printer->waitFor(
            [](const nlohmann::json& r) { return r["network"]["restarts"] == 1; }, 10000));
        nlohmann::json record = m_printer->report()["network"]["record"];
        QCOMPARE(record["ip"].get<std::string>(), std::string("10.0.0.5"));
        QCOMPARE(record["gateway"].get<std::string>(), std::string("10.0.0.1"));
        QCOMPARE(record["port"].get<int>(), 9100);
        QVERIFY(!record["dhcp"].get<bool>());
    }

    void portRefusedBeforeAnythingIsSent() {
        NetSettingDialog d(m_catalogue, m_prompter, m_clock, m_log, loopback(), 0x0409);
        d.show();
        search(d);
        QVERIFY(d.list()->rowCount() >= 1);
        QTest::mouseClick(d.list()->viewport(), Qt::LeftButton, {}, rowPoint(d, 0));
        std::size_t changes = m_printer->report()["network"]["changes"].size();
        for (const char* port : {"1023", "65535", "70000"}) {
            type(d.portEdit(), port);
            m_prompter.clear();
            m_prompter.queueAnswer(Answer::Yes);
            QTest::mouseClick(d.changeButton(), Qt::LeftButton);
            QVERIFY(!d.screen().busy());
            QCOMPARE(m_prompter.messages(),
                     std::vector<std::string>{MessageCatalogue::english(MsgPortRange)});
            QVERIFY2(d.changeButton()->isEnabled(), port);
        }
        QCOMPARE(m_printer->report()["network"]["changes"].size(), changes);
    }

    void koreanCaptions() {
        MessageCatalogue korean;
        korean.selectLanguage(0x0412);
        NetSettingDialog d(korean, m_prompter, m_clock, m_log, loopback(), 0x0412);
        QCOMPARE(d.searchButton()->text(), QString("프린터 검색"));
        QCOMPARE(d.changeButton()->text(), QString("설정 변경"));
        QCOMPARE(d.exitButton()->text(), QString("닫기"));
        QCOMPARE(d.windowTitle(), QString("Ethernet-II Network Setting"));
    }
};

QTEST_MAIN(NetSettingDialogTest)
#include "NetSettingDialogTest.moc"
