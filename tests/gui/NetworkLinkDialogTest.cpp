// The network interface window against a real socket on loopback.
#include "gui/NetworkLinkDialog.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/RecordingPrompter.h"
#include "network/EthernetSettings.h"
#include "network/PrinterSocket.h"
#include "network/WifiModule.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace korva;

namespace {

// A listening loopback socket standing in for the printer; port 0 lets the system choose.
struct Listener {
    int fd = -1;
    quint16 port = 0;
    explicit Listener(quint16 wanted = 0) {
        fd = ::socket(AF_INET, SOCK_STREAM, 0);
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(wanted);
        if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(fd, 4) != 0) {
            close();
            return;
        }
        socklen_t len = sizeof a;
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
        port = ntohs(a.sin_port);
    }
    ~Listener() { close(); }
    bool listening() const { return fd >= 0; }
    void close() {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

} // namespace

class NetworkLinkDialogTest : public QObject {
    Q_OBJECT

    ErrorLog m_log;
    MessageCatalogue m_catalogue;
    RecordingPrompter m_prompter;
    VirtualClock m_clock;
    EthernetSettings m_settings;
    WifiModule m_wifi{m_log, "/nonexistent/libkorva-wifi.so"};

    void typeInto(QLineEdit* edit, const QString& text) {
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), text);
    }

private slots:
    void init() { m_prompter.clear(); }

    void opensWithTheDefaults() {
        PrinterSocket socket(m_log, m_catalogue, m_prompter);
        NetworkLinkDialog d(m_settings, socket, m_clock, m_catalogue, m_prompter, m_wifi,
                            "ETHERNET_II", 0x0409);
        QCOMPARE(d.windowTitle(), QString("Ethernet-II Network"));
        QCOMPARE(d.ipEdit()->text(), QString("192.168.0.254"));
        QCOMPARE(d.portEdit()->text(), QString("6001"));
        QCOMPARE(d.secondButton()->text(), QString("Reserved"));
        QVERIFY(!d.secondButton()->isEnabled());
        QVERIFY(!d.firstButton()->isEnabled()); // no settings screen given
    }

    void portRangeAndProbe_data() {
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("inRange");
        QTest::newRow("515") << "515" << true;
        QTest::newRow("1023") << "1023" << false;
        QTest::newRow("65535") << "65535" << false;
    }

    void portRangeAndProbe() {
        QFETCH(QString, port);
        QFETCH(bool, inRange);
        // A "printer" on loopback on the port typed, when the system lets us have it; a port
        // this test cannot listen on (515 needs privileges) is answered by a random one and
        // checked through the range rule only.
        Listener printer(port.toUShort());
        bool listening = printer.listening();
        PrinterSocket socket(m_log, m_catalogue, m_prompter);
        NetworkLinkDialog d(m_settings, socket, m_clock, m_catalogue, m_prompter, m_wifi,
                            "ETHERNET_II", 0x0409);
        d.show();
        typeInto(d.ipEdit(), "127.0.0.1");
        typeInto(d.portEdit(), port);
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        if (!inRange) {
            QCOMPARE(m_prompter.messages(),
                     std::vector<std::string>{"Please enter PORT number between 1024 ~ 65534."});
            QVERIFY(d.isVisible());
            return;
        }
        QVERIFY(m_prompter.messages() !=
                std::vector<std::string>{"Please enter PORT number between 1024 ~ 65534."});
        QCOMPARE(m_settings.acceptedPort, 515);
        if (listening) {
            QCOMPARE(d.result(), int(QDialog::Accepted));
            QVERIFY(m_prompter.messages().empty());
        }
    }

    void reachablePrinterClosesWithOk() {
        Listener printer;
        QVERIFY(printer.listening());
        PrinterSocket socket(m_log, m_catalogue, m_prompter);
        NetworkLinkDialog d(m_settings, socket, m_clock, m_catalogue, m_prompter, m_wifi,
                            "ETHERNET_II", 0x0409);
        d.show();
        typeInto(d.ipEdit(), "127.0.0.1");
        typeInto(d.portEdit(), QString::number(printer.port));
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QVERIFY(m_prompter.messages().empty());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        QCOMPARE(m_settings.acceptedPort, int(printer.port));
    }

    void unreachablePrinterKeepsTheScreenOpen() {
        quint16 closedPort;
        {
            Listener gone;
            QVERIFY(gone.listening());
            closedPort = gone.port;
        }
        PrinterSocket socket(m_log, m_catalogue, m_prompter);
        NetworkLinkDialog d(m_settings, socket, m_clock, m_catalogue, m_prompter, m_wifi,
                            "ETHERNET_II", 0x0409);
        d.show();
        typeInto(d.ipEdit(), "127.0.0.1");
        typeInto(d.portEdit(), QString::number(closedPort));
        m_clock.clearSleeps();
        QTest::mouseClick(d.okButton(), Qt::LeftButton);
        QCOMPARE(m_prompter.messages(), std::vector<std::string>{"ERROR : Printer check."});
        QVERIFY(d.isVisible());
        // The settling wait after the first connect, then the ten attempts.
        std::vector<int> waits(11, 50);
        waits[0] = 10;
        QCOMPARE(m_clock.sleeps(), waits);
    }

    void wlanModeWithoutTheModule() {
        PrinterSocket socket(m_log, m_catalogue, m_prompter);
        NetworkLinkDialog d(m_settings, socket, m_clock, m_catalogue, m_prompter, m_wifi, "WIFI",
                            0x0412);
        d.show();
        QCOMPARE(d.windowTitle(), QString("WLAN(WiFi) Network"));
        QVERIFY(d.secondButton()->isEnabled());
        QTest::mouseClick(d.secondButton(), Qt::LeftButton);
        auto shown = m_prompter.shown();
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[0].caption, std::string("알림"));
        QVERIFY(shown[1].text.find("사용할 수 없습니다") != std::string::npos);
    }
};

QTEST_MAIN(NetworkLinkDialogTest)
#include "NetworkLinkDialogTest.moc"
