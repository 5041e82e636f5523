// The desktop program wired as it runs in demo mode: discovery over the demo printer's tree,
// then OK -> network screen -> main menu -> Back, each modal window answered as it opens.
#include "gui/DesktopApp.h"
#include "base/Clock.h"
#include "base/RecordingPrompter.h"
#include "gui/DemoPrinter.h"
#include "gui/LogoSheetDialog.h"
#include "gui/MainMenuDialog.h"
#include "gui/NetSettingDialog.h"
#include "gui/NetworkLinkDialog.h"
#include "gui/SelectionDialog.h"
#include "gui/UserSetupDialog.h"
#include "support/LoopbackNet.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>

using namespace korva;
using Combo = SelectionScreen::Combo;

namespace {

// Runs one step for each modal window as it comes to the top.
class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::deque<Step> steps) : m_steps(std::move(steps)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal || modal == m_last || m_steps.empty())
                return;
            m_last = modal;
            Step step = std::move(m_steps.front());
            m_steps.pop_front();
            step(modal);
        });
        m_timer.start(5);
    }
    bool finished() const { return m_steps.empty(); }

private:
    std::deque<Step> m_steps;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

// The window a step expects on top; a different one fails the test with both names instead of
// crashing it.
template <typename T> T* as(QWidget* w) {
    auto* t = qobject_cast<T*>(w);
    if (!t)
        QTest::qFail(
            qPrintable(QString("expected %1 on top, found %2")
                           .arg(T::staticMetaObject.className(), w->metaObject()->className())),
            __FILE__, __LINE__);
    return t;
}

QStringList items(QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

void choose(QComboBox* box, const QString& text) {
    int i = box->findText(text);
    QVERIFY2(i >= 0, qPrintable(text));
    box->setCurrentIndex(i);
    emit box->activated(i);
}

// Buttons that open a modal window are clicked from a fresh event, so each step returns before
// the next window runs.
void clickLater(QAbstractButton* b) {
    QTimer::singleShot(0, b, [b] { b->click(); });
}

// The desktop program over the demo printer, on its selection screen with model chosen (the
// preselected one when empty).
struct Session {
    Session(DemoPrinter& demo, const QString& model)
        : app(clock, prompter, 0x0409, demo.roots(), &demo), selection(app.makeSelection()) {
        selection->show();
        selection->initialise(0x0409, FileVersion{1, 0, 0, 3});
        if (!model.isEmpty())
            choose(selection->combo(Combo::Device), model);
    }

    // OK on the selection screen, each modal window that follows answered by one step; true
    // when every step ran.
    bool run(std::deque<ModalScript::Step> steps) {
        ModalScript script(std::move(steps));
        QTest::mouseClick(selection->okButton(), Qt::LeftButton);
        return script.finished();
    }

    RealClock clock;
    RecordingPrompter prompter;
    DesktopApp app;
    std::unique_ptr<SelectionDialog> selection;
};

} // namespace

class DesktopAppTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_oldCwd;
    DemoPrinter m_demo;

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        // The demo printer answers network searches; keep them on a loopback of our own.
        korva::test::enterLoopbackNamespace();
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        std::string error;
        QVERIFY2(m_demo.start("KORVA40U-II", error), error.c_str());
    }
    void cleanupTestCase() { QDir::setCurrent(m_oldCwd); }

    void demoPortsAreWhatTheSelectionOffers() {
        Session session(m_demo, "");
        SelectionDialog* selection = session.selection.get();
        QComboBox* device = selection->combo(Combo::Device);
        // The demo printer's USB interface is found and preselected; its serial and parallel
        // stand-ins bring the S and P models into the list.
        QCOMPARE(device->currentText(), QString("KORVA40U-II"));
        QVERIFY(selection->okButton()->isEnabled());
        QVERIFY(items(device).contains("KORVA40S"));
        QVERIFY(items(device).contains("KORVA40P"));

        choose(device, "KORVA40S");
        QCOMPARE(selection->combo(Combo::Port)->currentText(),
                 QString::fromStdString(m_demo.serialPath()));
        choose(device, "KORVA40P");
        QCOMPARE(selection->combo(Combo::Port)->currentText(),
                 QString::fromStdString(m_demo.parallelPortName()));
        choose(device, "KORVA40U-I");
        QCOMPARE(selection->combo(Combo::Port)->currentText(),
                 QString::fromStdString(m_demo.serialPath()));
        QVERIFY(session.prompter.messages().empty());
    }

    void okRunsTheNetworkScreenThenTheMenu() {
        Session session(m_demo, "KORVA40E-II");
        QString networkTitle, summary;
        bool userSetupEnabled = false;
        QVERIFY(session.run({[&](QWidget* w) {
                                 auto* network = qobject_cast<NetworkLinkDialog*>(w);
                                 QVERIFY(network);
                                 networkTitle = network->windowTitle();
                                 QTest::mouseClick(network->okButton(), Qt::LeftButton);
                             },
                             [&](QWidget* w) {
                                 auto* menu = qobject_cast<MainMenuDialog*>(w);
                                 QVERIFY(menu);
                                 summary = menu->summaryLabel()->text();
                                 userSetupEnabled = menu->userSetupButton()->isEnabled();
                                 QTest::mouseClick(menu->backButton(), Qt::LeftButton);
                             }}));
        QCOMPARE(networkTitle, QString("Ethernet-II Network"));
        QCOMPARE(summary, QString("KORVA40 - ETHERNET_II"));
        QVERIFY(userSetupEnabled);
        QCOMPARE(session.app.context().ethernet.acceptedPort, m_demo.tcpPort());
        QVERIFY(session.prompter.messages().empty());
        QVERIFY(session.selection->isVisible()); // back on the selection screen
    }

    void networkSettingFindsTheDemoPrinterOnLoopback() {
        Session session(m_demo, "KORVA40E-II");
        QVERIFY(korva::test::isLoopbackAddress(session.app.netLinkOptions().broadcast));
        QVERIFY(korva::test::isLoopbackAddress(session.app.netLinkOptions().bindAddress));
        bool buttonEnabled = false;
        QString title, mac;
        QVERIFY(session.run({[&](QWidget* w) {
                                 auto* network = qobject_cast<NetworkLinkDialog*>(w);
                                 QVERIFY(network);
                                 buttonEnabled = network->firstButton()->isEnabled();
                                 // The settings window runs modally from the click: off this
                                 // timer's call, so the script can step into it.
                                 QTimer::singleShot(0, network, [network] {
                                     QTest::mouseClick(network->firstButton(), Qt::LeftButton);
                                     QTest::mouseClick(network->findChild<QPushButton*>("cancel"),
                                                       Qt::LeftButton);
                                 });
                             },
                             [&](QWidget* w) {
                                 auto* settings = qobject_cast<NetSettingDialog*>(w);
                                 QVERIFY(settings);
                                 title = settings->windowTitle();
                                 QTest::mouseClick(settings->searchButton(), Qt::LeftButton);
                                 QTRY_VERIFY_WITH_TIMEOUT(!settings->screen().busy(), 10000);
                                 if (settings->list()->rowCount() == 1)
                                     mac = settings->list()->item(0, 4)->text();
                                 QTest::mouseClick(settings->exitButton(), Qt::LeftButton);
                             }}));
        QVERIFY(buttonEnabled);
        QCOMPARE(title, QString("Ethernet-II Network Setting"));
        QCOMPARE(mac, QString("00:1A:2B:3C:4D:5E"));
        QCOMPARE(session.prompter.messages(),
                 std::vector<std::string>{"The printer has finished searching."});
    }

    void userSetupOverTheNetworkFromTheMenu() {
        Session session(m_demo, "KORVA40E-II");
        bool answered = false;
        QString model;
        QVERIFY(session.run({[&](QWidget* w) {
                                 if (auto* d = as<NetworkLinkDialog>(w))
                                     clickLater(d->okButton());
                             },
                             [&](QWidget* w) {
                                 if (auto* d = as<MainMenuDialog>(w))
                                     clickLater(d->userSetupButton());
                             },
                             [&](QWidget* w) {
                                 auto* setup = qobject_cast<UserSetupDialog*>(w);
                                 QVERIFY(setup);
                                 model = setup->findChild<QLabel*>("model")->text();
                                 setup->getValueButton()->click();
                                 QElapsedTimer t;
                                 t.start();
                                 while (!setup->screen().received(SetSetupCode) &&
                                        t.elapsed() < 5000)
                                     QTest::qWait(5);
                                 answered = setup->screen().received(SetSetupCode);
                                 clickLater(setup->exitButton());
                             },
                             [&](QWidget* w) {
                                 if (auto* d = as<MainMenuDialog>(w))
                                     clickLater(d->backButton());
                             }}));
        QVERIFY(answered);
        QCOMPARE(model, QString("KORVA40 - ETHERNET_II"));
        QCOMPARE(session.app.context().ports.m_ReceiveMode, 2);
        QVERIFY(session.prompter.messages().empty());
    }

    // "Logo Download" on the main menu opens the logo tool over the demo printer's serial link,
    // on its fifth page; Cancel goes back to the menu.
    void logoToolFromTheMenu() {
        Session session(m_demo, "KORVA40S");
        bool logoEnabled = false;
        QString title, port;
        int pages = 0, page = -1;
        QVERIFY(session.run({[&](QWidget* w) {
                                 auto* menu = qobject_cast<MainMenuDialog*>(w);
                                 QVERIFY(menu);
                                 logoEnabled = menu->logoButton()->isEnabled();
                                 clickLater(menu->logoButton());
                             },
                             [&](QWidget* w) {
                                 auto* sheet = qobject_cast<LogoSheetDialog*>(w);
                                 QVERIFY(sheet && sheet->tabs());
                                 title = sheet->windowTitle();
                                 pages = sheet->tabs()->count();
                                 page = sheet->tabs()->currentIndex();
                                 port = QString::fromStdString(sheet->sheet().portName());
                                 clickLater(sheet->cancelButton());
                             },
                             [&](QWidget* w) {
                                 if (auto* d = as<MainMenuDialog>(w))
                                     clickLater(d->backButton());
                             }}));
        QVERIFY(logoEnabled);
        QCOMPARE(title, QString("KORVASet : Tavel Image Logo Setup"));
        QCOMPARE(pages, 5);
        QCOMPARE(page, int(LogoSheetDialog::SetupPage));
        QCOMPARE(port, QString::fromStdString(m_demo.serialPath()));
        QVERIFY(session.prompter.messages().empty());
    }
};

QTEST_MAIN(DesktopAppTest)
#include "DesktopAppTest.moc"
