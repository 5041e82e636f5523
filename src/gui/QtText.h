#pragma once
// Text conversions between the core (UTF-8 std::string, CR LF line ends as the system writes
// them) and Qt.
#include <QComboBox>
#include <QSignalBlocker>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace korva {

inline QString qt(const std::string& s) {
    return QString::fromStdString(s);
}

// Message texts use CR LF; a message box wants plain LF.
inline QString qtMessage(const std::string& s) {
    QString t = QString::fromStdString(s);
    t.replace("\r\n", "\n");
    return t;
}

// Shows a controller's list in a drop-down without firing change signals; the items are
// replaced only when they differ, so an open list does not flicker on every refresh.
inline void showComboItems(QComboBox* box, const std::vector<std::string>& items, int selected) {
    QSignalBlocker block(box);
    QStringList wanted;
    for (const std::string& s : items)
        wanted << qt(s);
    QStringList current;
    for (int i = 0; i < box->count(); ++i)
        current << box->itemText(i);
    if (current != wanted) {
        box->clear();
        box->addItems(wanted);
    }
    box->setCurrentIndex(selected);
}

} // namespace korva
