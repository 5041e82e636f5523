#include "gui/QtPrompter.h"

#include "gui/PrintToFileDialog.h"
#include "gui/QtText.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

namespace korva {

namespace {

QMessageBox::Icon toQt(Icon icon) {
    switch (icon) {
    case Icon::Information:
        return QMessageBox::Information;
    case Icon::Exclamation:
        return QMessageBox::Warning;
    case Icon::Question:
        return QMessageBox::Question;
    case Icon::Stop:
        return QMessageBox::Critical;
    case Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// "Bitmap Files(*.bmp)|*.bmp|All Files(*.*)|*.*||" -> "Bitmap Files(*.bmp);;All Files(*.*)"
QString toQtFilter(const std::string& filter) {
    QStringList parts = qt(filter).split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty())
            break;
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        QString name = parts[i];
        out << (name.contains('(') ? name : name + " (" + patterns + ")");
    }
    return out.join(";;");
}

} // namespace

QWidget* QtPrompter::owner() {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    return QApplication::activeWindow();
}

Answer QtPrompter::message(const std::string& text, const std::string& caption, Icon icon,
                           Buttons buttons) {
    QCoreApplication* app = QCoreApplication::instance();
    if (app && QThread::currentThread() != app->thread()) {
        QString t = qtMessage(text), c = qt(caption);
        QMessageBox::Icon i = toQt(icon);
        QMetaObject::invokeMethod(
            app,
            [t, c, i] {
                auto* box = new QMessageBox(i, c, t, QMessageBox::Ok, owner());
                box->setAttribute(Qt::WA_DeleteOnClose);
                box->open();
            },
            Qt::QueuedConnection);
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }

    QMessageBox box(toQt(icon), qt(caption), qtMessage(text), QMessageBox::NoButton, owner());
    switch (buttons) {
    case Buttons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case Buttons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case Buttons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    }
    if (m_korean) {
        if (auto* b = box.button(QMessageBox::Yes))
            b->setText("예(&Y)");
        if (auto* b = box.button(QMessageBox::No))
            b->setText("아니요(&N)");
        if (auto* b = box.button(QMessageBox::Cancel))
            b->setText("취소");
        if (auto* b = box.button(QMessageBox::Ok))
            b->setText("확인");
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    case QMessageBox::Cancel:
        return Answer::Cancel;
    default:
        return buttons == Buttons::YesNo ? Answer::No : Answer::Ok;
    }
}

std::vector<std::string> QtPrompter::openFiles(const FileDialog& dialog) {
    const std::string& start = dialog.initialPath.empty() ? m_startFolder : dialog.initialPath;
    QFileDialog fd(owner(), qt(dialog.title), qt(start), toQtFilter(dialog.filter));
    fd.setFileMode(dialog.multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    if (!dialog.defaultExt.empty())
        fd.setDefaultSuffix(qt(dialog.defaultExt).remove(0, dialog.defaultExt[0] == '.' ? 1 : 0));
    std::vector<std::string> chosen;
    if (fd.exec() != QDialog::Accepted)
        return chosen;
    for (const QString& f : fd.selectedFiles())
        chosen.push_back(f.toStdString());
    return chosen;
}

std::optional<std::string> QtPrompter::inputText(const std::string& title,
                                                 const std::string& label) {
    PrintToFileDialog dialog(qt(title), qt(label), owner());
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.text().toStdString();
}

} // namespace korva
