#pragma once
// Sample logo bitmaps for demo mode and the screenshot tour, drawn at run time: a wide
// 24-bit word mark, an 8-bit gray badge with soft shading (it shows what gray printing does)
// and a 1-bit "thank you" line. Each is a real BMP file the logo tool loads like any other.
#include <QString>
#include <QStringList>

namespace korva {

// Writes the samples into folder (created when missing); returns their paths in the order
// above, or an empty list when a file could not be written.
QStringList writeDemoLogos(const QString& folder);

} // namespace korva
