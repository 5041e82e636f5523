// The main menu window: its summary, its buttons and what they do.
#include "gui/MainMenuDialog.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace korva;

namespace {

struct Tools : MainMenuHost {
    std::vector<std::string> events;
    bool logo = false;
    bool available(Tool t) const override { return t != Tool::Logo || logo; }
    void runLogoTool() override { events.push_back("logo"); }
    void clearLogoLists() override {}
    void runUserSetup() override { events.push_back("user setup"); }
    void runFirmwareDownload(bool eraseWrite) override {
        events.push_back(eraseWrite ? "firmware 5.2" : "firmware 5.1");
    }
    void setReceiveMode(std::uint8_t m) override { events.push_back("mode " + std::to_string(m)); }
    bool connected() const override { return false; }
    void closeConnection() override {}
};

} // namespace

class MainMenuDialogTest : public QObject {
    Q_OBJECT
private slots:
    void korva10DisablesUserSetup() {
        ConnectionSettings s;
        s.m_PortName = "/dev/ttyS0";
        s.m_ModelKind = 2;
        s.m_BaudRate = 38400;
        s.m_DataBits = 8;
        s.m_Parity = 0;
        s.m_FlowControl = 3;
        Tools tools;
        MainMenuDialog d(s, tools, 0x0409);
        d.show();
        QCOMPARE(d.windowTitle(), QString("KORVASet"));
        QVERIFY(!d.userSetupButton()->isEnabled());
        QVERIFY(!d.logoButton()->isEnabled());
        QCOMPARE(d.summaryLabel()->text(),
                 QString("KORVA10 - /dev/ttyS0\nBaud : 38400\nData : 8 bit\nNone Parity\n"
                         "None Flow control\nOne Stop Bit"));
        QTest::mouseClick(d.userSetupButton(), Qt::LeftButton);
        QTest::mouseClick(d.firmwareButton(), Qt::LeftButton);
        QCOMPARE(tools.events, (std::vector<std::string>{"mode 3", "firmware 5.2"}));
        QVERIFY(d.isVisible());
    }

    void summariesAndCaptions() {
        ConnectionSettings s;
        s.m_PortName = "USB";
        s.m_ModelKind = 6;
        Tools tools;
        tools.logo = true;
        MainMenuDialog d(s, tools, 0x0409);
        d.show();
        QCOMPARE(d.summaryLabel()->text(), QString("KORVA \nUSB-II Interface"));
        QCOMPARE(d.backButton()->text(), QString("<< &Back  "));
        QCOMPARE(d.logoButton()->text(), QString("&Logo Download"));
        QVERIFY(d.userSetupButton()->isEnabled());
        QTest::mouseClick(d.userSetupButton(), Qt::LeftButton);
        QTest::mouseClick(d.logoButton(), Qt::LeftButton);
        QCOMPARE(tools.events,
                 (std::vector<std::string>{"mode 2", "user setup", "logo", "mode 1"}));
        QTest::mouseClick(d.backButton(), Qt::LeftButton);
        QCOMPARE(d.result(), int(QDialog::Rejected));

        s.m_PortName = "LPT1";
        MainMenuDialog korean(s, tools, 0x0412);
        QCOMPARE(korean.summaryLabel()->text(), QString("KORVA40 - LPT1"));
        QCOMPARE(korean.userSetupButton()->text(), QString("사용자 설정"));
        QCOMPARE(korean.backButton()->text(), QString("<< 뒤로"));
    }
};

QTEST_MAIN(MainMenuDialogTest)
#include "MainMenuDialogTest.moc"
