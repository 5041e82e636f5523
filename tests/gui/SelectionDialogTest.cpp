// Clicks through the printer and port selection window on the offscreen platform.
#include "gui/SelectionDialog.h"
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "base/Profile.h"
#include "base/RecordingPrompter.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace korva;
using Combo = SelectionScreen::Combo;

namespace {

struct Pc {
    QStringList com, lpt;
    int printers = -1;
    int countCalls = 0;
};

} // namespace

class SelectionDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    std::unique_ptr<Profile> m_profile;
    ConnectionSettings m_settings;
    ErrorLog m_log;
    MessageCatalogue m_catalogue;
    RecordingPrompter m_prompter;
    VirtualClock m_clock;
    Pc m_pc;
    std::vector<std::string> m_menus;

    std::unique_ptr<SelectionDialog> open(std::uint16_t lang = 0x0409) {
        m_prompter.clear();
        m_clock.clearSleeps();
        m_menus.clear();
        auto factory = [this](SelectionHost& host) {
            SelectionDiscovery d;
            d.enumeratePorts = [this](int kind, std::vector<std::string>& names) {
                for (const QString& s : kind == 0 ? m_pc.com : m_pc.lpt)
                    names.push_back(s.toStdString());
                return static_cast<int>((kind == 0 ? m_pc.com : m_pc.lpt).size());
            };
            d.countUsbPrinters = [this](const std::string&) {
                ++m_pc.countCalls;
                return m_pc.printers;
            };
            return std::make_unique<SelectionScreen>(m_settings, m_log, m_catalogue, m_prompter,
                                                     m_clock, *m_profile, d, host);
        };
        auto dialog = std::make_unique<SelectionDialog>(factory);
        dialog->runMenu = [this] { m_menus.push_back(m_settings.m_PortName); };
        dialog->runNetwork = [] { return true; };
        dialog->show();
        dialog->initialise(lang, FileVersion{1, 0, 0, 3});
        return dialog;
    }

    static QStringList items(QComboBox* box) {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out << box->itemText(i);
        return out;
    }

    // Chooses an item as the list's popup does: the index changes, then activated() is sent.
    static void choose(QComboBox* box, const QString& text) {
        int target = box->findText(text);
        QVERIFY2(target >= 0, qPrintable(text));
        QVERIFY(box->isEnabled());
        box->setCurrentIndex(target);
        emit box->activated(target);
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        m_profile = std::make_unique<Profile>((m_dir.path() + "/korvaset.INI").toStdString());
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldCwd); }
    void init() { m_pc = Pc{}; }

    void sixModelsWithoutComOrLpt() {
        auto d = open();
        QCOMPARE(d->windowTitle(), QString("KORVASet 1.03E"));
        QCOMPARE(items(d->combo(Combo::Device)),
                 QStringList({"KORVA30U-I", "KORVA30U-II", "KORVA40U-I", "KORVA40U-II",
                              "KORVA40E-II", "KORVA40W"}));
        QVERIFY(!d->okButton()->isEnabled());
        QVERIFY(!d->combo(Combo::Port)->isEnabled());
        QVERIFY(!d->combo(Combo::Baud)->isEnabled());
        QCOMPARE(d->combo(Combo::Baud)->currentText(), QString("115200"));
        QVERIFY(!d->windowIcon().isNull());
    }

    void portListIsSorted() {
        m_pc.com = {"/dev/ttyS2", "/dev/ttyS10", "/dev/ttyS1"};
        auto d = open();
        choose(d->combo(Combo::Device), "KORVA40S");
        QCOMPARE(items(d->combo(Combo::Port)),
                 QStringList({"/dev/ttyS1", "/dev/ttyS10", "/dev/ttyS2"}));
        QVERIFY(d->combo(Combo::Port)->isEnabled());
        QVERIFY(d->combo(Combo::Baud)->isEnabled());
        QVERIFY(d->okButton()->isEnabled());
    }

    void fiveBitsOfferOneStopBit() {
        m_pc.com = {"/dev/ttyS0"};
        auto d = open();
        choose(d->combo(Combo::Device), "KORVA30S");
        QCOMPARE(d->combo(Combo::Device)->currentText(), QString("KORVA30S"));
        choose(d->combo(Combo::StopBit), "2");
        choose(d->combo(Combo::DataLength), "5 Bits");
        QCOMPARE(items(d->combo(Combo::StopBit)), QStringList({"1"}));
        QCOMPARE(d->combo(Combo::StopBit)->currentText(), QString("1"));
        choose(d->combo(Combo::DataLength), "8 Bits");
        QCOMPARE(items(d->combo(Combo::StopBit)), QStringList({"1", "2"}));

        choose(d->combo(Combo::Baud), "9600");
        choose(d->combo(Combo::Parity), "EVEN");
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        QCOMPARE(m_menus, std::vector<std::string>{"/dev/ttyS0"});
        QCOMPARE(m_settings.m_BaudRate, 9600);
        QCOMPARE(m_settings.m_Parity, 2);
        QCOMPARE(m_settings.m_StopBits, 0);
        // Back from the menu: the choices are as they were.
        QCOMPARE(d->combo(Combo::Baud)->currentText(), QString("9600"));
        QVERIFY(d->isVisible());
    }

    void failedUsbSearchInVirtualTime() {
        auto d = open();
        QSignalSpy titles(d.get(), &QWidget::windowTitleChanged);
        m_pc.countCalls = 0;
        choose(d->combo(Combo::Device), "KORVA40U-II");
        QCOMPARE(m_pc.countCalls, 16);
        QCOMPARE(m_clock.sleeps(), std::vector<int>(16, 250));
        QVERIFY(titles.count() >= 17);
        QCOMPARE(titles.at(15).at(0).toString(),
                 QString("Searching for the printer") + QString(16, '.'));
        QCOMPARE(d->windowTitle(), QString("KORVASet 1.03E"));
        QCOMPARE(m_prompter.messages(),
                 std::vector<std::string>{"Turn on your USB printer\r\nand Try again."});
        QVERIFY(!d->okButton()->isEnabled());
        QCOMPARE(d->combo(Combo::Device)->currentIndex(), -1);
    }

    void attachedPrinterIsPreselected() {
        m_pc.printers = 1;
        auto d = open();
        QCOMPARE(d->combo(Combo::Device)->currentText(), QString("KORVA40U-II"));
        QVERIFY(d->okButton()->isEnabled());
        QTest::mouseClick(d->okButton(), Qt::LeftButton);
        QCOMPARE(m_menus, std::vector<std::string>{"USB"});
    }

    void koreanCaptions() {
        auto d = open(0x0412);
        QCOMPARE(d->cancelButton()->text(), QString("취소"));
        QLabel* label = nullptr;
        for (QLabel* l : d->findChildren<QLabel*>())
            if (l->buddy() == d->combo(Combo::Device))
                label = l;
        QVERIFY(label);
        QCOMPARE(label->text(), QString("프린터종류"));
    }

    void cancelEndsTheScreen() {
        auto d = open();
        QTest::mouseClick(d->cancelButton(), Qt::LeftButton);
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(!d->isVisible());
    }
};

QTEST_MAIN(SelectionDialogTest)
#include "SelectionDialogTest.moc"
