#include "gui/AppIcon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace korva {

QPixmap appIconPixmap(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);

    // Paper slip coming out of the top, with a torn edge and printed lines.
    QPainterPath slip;
    slip.moveTo(18, 26);
    slip.lineTo(18, 4);
    for (int x = 18; x < 46; x += 4) {
        slip.lineTo(x + 2, 2);
        slip.lineTo(x + 4, 4);
    }
    slip.lineTo(46, 26);
    slip.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 90), 1.2));
    p.setBrush(Qt::white);
    p.drawPath(slip);
    p.setPen(QPen(QColor(60, 60, 60), 1.6));
    for (int y = 9; y <= 21; y += 4)
        p.drawLine(QPointF(22, y), QPointF(y == 21 ? 34 : 42, y));

    // Printer body.
    QLinearGradient body(0, 24, 0, 60);
    body.setColorAt(0, QColor(70, 110, 170));
    body.setColorAt(1, QColor(30, 55, 100));
    p.setPen(QPen(QColor(20, 35, 70), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(6, 24, 52, 34), 6, 6);
    // Paper exit slot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(15, 25, 50));
    p.drawRoundedRect(QRectF(14, 27, 36, 4), 2, 2);
    // The family letter.
    p.setPen(Qt::white);
    QFont f;
    f.setBold(true);
    f.setPixelSize(20);
    p.setFont(f);
    p.drawText(QRectF(6, 32, 40, 26), Qt::AlignCenter, QStringLiteral("K"));
    // Status lamp.
    p.setBrush(QColor(90, 220, 110));
    p.setPen(QPen(QColor(20, 90, 40), 1));
    p.drawEllipse(QPointF(48, 46), 3.5, 3.5);
    return pm;
}

QIcon appIcon() {
    QIcon icon;
    for (int s : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(appIconPixmap(s));
    return icon;
}

} // namespace korva
