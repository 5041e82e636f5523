#include "gui/PrinterPicture.h"

#include <QPainter>
#include <QPainterPath>

namespace korva {

PrinterPicture::PrinterPicture(QWidget* parent) : QWidget(parent) {
    setObjectName("printerPicture");
    setMinimumSize(150, 110);
}

void PrinterPicture::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    // Draw in a 170 x 130 box, centred and scaled to fit.
    const double s = std::min(width() / 170.0, height() / 130.0);
    p.translate((width() - 170 * s) / 2, (height() - 130 * s) / 2);
    p.scale(s, s);

    // Shadow.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 40));
    p.drawEllipse(QRectF(18, 112, 134, 14));

    // Receipt coming out of the cutter slot.
    QPainterPath receipt;
    receipt.moveTo(52, 40);
    receipt.lineTo(50, 8);
    for (int x = 50; x < 118; x += 6) {
        receipt.lineTo(x + 3, 5);
        receipt.lineTo(x + 6, 8);
    }
    receipt.lineTo(118, 40);
    receipt.closeSubpath();
    p.setPen(QPen(QColor(120, 120, 120), 1));
    p.setBrush(QColor(252, 252, 248));
    p.drawPath(receipt);
    p.setPen(QPen(QColor(80, 80, 80), 1.5));
    for (int y = 14; y <= 30; y += 5)
        p.drawLine(QPointF(58, y), QPointF(y == 29 ? 90 : 110, y));

    // Body: a rounded block, lighter on the top cover.
    QLinearGradient body(0, 36, 0, 116);
    body.setColorAt(0, QColor(78, 82, 90));
    body.setColorAt(1, QColor(38, 40, 46));
    p.setPen(QPen(QColor(20, 20, 24), 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(22, 36, 126, 80), 12, 12);
    QLinearGradient cover(0, 36, 0, 70);
    cover.setColorAt(0, QColor(120, 124, 134));
    cover.setColorAt(1, QColor(84, 88, 98));
    p.setBrush(cover);
    p.drawRoundedRect(QRectF(26, 40, 118, 30), 9, 9);
    // Cutter slot.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(14, 14, 18));
    p.drawRoundedRect(QRectF(46, 38, 78, 5), 2.5, 2.5);
    // Front panel with the feed button and lamps.
    p.setBrush(QColor(28, 30, 34));
    p.drawRoundedRect(QRectF(34, 82, 102, 24), 5, 5);
    p.setBrush(QColor(200, 200, 206));
    p.drawRoundedRect(QRectF(104, 87, 24, 14), 4, 4);
    p.setBrush(QColor(80, 220, 110));
    p.drawEllipse(QPointF(46, 94), 3.2, 3.2);
    p.setBrush(QColor(240, 170, 60));
    p.drawEllipse(QPointF(58, 94), 3.2, 3.2);
    // Name plate.
    p.setPen(QColor(230, 230, 235));
    QFont f = font();
    f.setBold(true);
    f.setPixelSize(11);
    p.setFont(f);
    p.drawText(QRectF(26, 70, 118, 12), Qt::AlignCenter, QStringLiteral("KORVA30"));
}

} // namespace korva
