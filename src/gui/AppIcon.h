#pragma once
// The program icon, drawn at run time: a receipt printer with a paper slip.
#include <QIcon>

namespace korva {

QIcon appIcon();

} // namespace korva
