// The "Print to File" dialog and the message boxes of the desktop prompter, driven the way a
// user answers them: each modal window is found when it opens and clicked or typed into.
#include "base/Clock.h"
#include "base/ErrorLog.h"
#include "base/MessageCatalogue.h"
#include "comm/CPorts.h"
#include "gui/PrintToFileDialog.h"
#include "gui/QtPrompter.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <deque>
#include <functional>

using namespace korva;

namespace {

// Answers the modal windows as they open, in order: each step gets the window on top.
class ModalScript : public QObject {
public:
    using Step = std::function<void(QWidget*)>;
    explicit ModalScript(std::deque<Step> steps) : m_steps(std::move(steps)) {
        connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
        m_timer.start(5);
    }
    bool finished() const { return m_steps.empty(); }
    std::vector<QString> seen; // window titles or message texts, in order

private:
    void poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last || m_steps.empty())
            return;
        m_last = modal;
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            seen.push_back(box->text());
        else
            seen.push_back(modal->windowTitle());
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(modal);
    }
    std::deque<Step> m_steps;
    QTimer m_timer;
    QPointer<QWidget> m_last;
};

void typeAndOk(QWidget* w, const QString& text) {
    auto* dialog = qobject_cast<PrintToFileDialog*>(w);
    QVERIFY(dialog);
    QTest::keyClicks(dialog->edit(), text);
    QTest::mouseClick(dialog->findChild<QPushButton*>("ok"), Qt::LeftButton);
}

void clickButton(QWidget* w, QMessageBox::StandardButton which) {
    auto* box = qobject_cast<QMessageBox*>(w);
    QVERIFY(box);
    QTest::mouseClick(box->button(which), Qt::LeftButton);
}

} // namespace

class PrintToFileTest : public QObject {
    Q_OBJECT
private slots:
    void theDialogHasItsLabelEditAndOneButton() {
        PrintToFileDialog d("Print to File", "Input the output file name");
        QCOMPARE(d.windowTitle(), QString("Print to File"));
        QCOMPARE(d.findChildren<QPushButton*>().size(), qsizetype(1));
        QCOMPARE(d.findChild<QLabel*>()->text(), QString("Input the output file name"));
        QVERIFY(d.edit() != nullptr);
    }

    void inputTextReturnsWhatWasTypedOrNothing() {
        QtPrompter prompter(false);
        ModalScript typed({[](QWidget* w) { typeAndOk(w, "receipt.prn"); }});
        QCOMPARE(prompter.inputText("Print to File", "Input the output file name"),
                 std::optional<std::string>("receipt.prn"));
        ModalScript closed({[](QWidget* w) { w->close(); }});
        QCOMPARE(prompter.inputText("Print to File", "Input the output file name"),
                 std::optional<std::string>());
    }

    void anEmptyNameIsAskedAgainThenTheFileIsWritten() {
        QTemporaryDir dir;
        QString path = dir.filePath("out.prn");
        ErrorLog log;
        MessageCatalogue catalogue;
        QtPrompter prompter(false);
        VirtualClock clock;
        CPorts ports(log, catalogue, prompter, clock);
        ports.m_PortName = "FILE";
        ModalScript script({[](QWidget* w) { typeAndOk(w, ""); },
                            [](QWidget* w) { clickButton(w, QMessageBox::Ok); },
                            [path](QWidget* w) { typeAndOk(w, path); }});
        QCOMPARE(ports.Open(), 1);
        QVERIFY(script.finished());
        QCOMPARE(script.seen, (std::vector<QString>{"Print to File", "Input the output file name!",
                                                    "Print to File"}));
        QCOMPARE(QString::fromStdString(ports.m_PortName), path);
        const std::uint8_t bytes[] = {0x1B, 0x40};
        QCOMPARE(ports.Write(bytes, 2), 2);
        ports.Close();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("\x1B\x40", 2));
    }

    void messageBoxesAnswerWithTheirButtons() {
        QtPrompter english(false);
        ModalScript yes({[](QWidget* w) { clickButton(w, QMessageBox::Yes); }});
        QCOMPARE(english.message("Do you want to change the Network Settings?.", "Notice",
                                 Icon::Question, Buttons::YesNo),
                 Answer::Yes);
        ModalScript no({[](QWidget* w) { clickButton(w, QMessageBox::No); }});
        QCOMPARE(english.message("Sure?", "Notice", Icon::Question, Buttons::YesNo), Answer::No);

        QtPrompter korean(true);
        QString yesText;
        ModalScript ko({[&yesText](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            yesText = box->button(QMessageBox::Yes)->text();
            QCOMPARE(box->windowTitle(), QString("알림"));
            QCOMPARE(box->text(), QString("첫 줄\n둘째 줄"));
            clickButton(w, QMessageBox::Yes);
        }});
        QCOMPARE(korean.message("첫 줄\r\n둘째 줄", "알림", Icon::Question, Buttons::YesNo),
                 Answer::Yes);
        QCOMPARE(yesText, QString("예(&Y)"));
    }
};

QTEST_MAIN(PrintToFileTest)
#include "PrintToFileTest.moc"
