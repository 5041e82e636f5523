#pragma once
// The program icon, drawn at run time: a receipt printer with a paper slip.
#include <QIcon>
#include <QPixmap>

namespace korva {

QIcon appIcon();

// The icon at one size (size x size pixels, transparent background); also the source of the
// installed theme icons.
QPixmap appIconPixmap(int size);

} // namespace korva
