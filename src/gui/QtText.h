#pragma once
// Text conversions between the core (UTF-8 std::string, CR LF line ends as the system writes
// them) and Qt.
#include <QString>
#include <string>

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

} // namespace korva
