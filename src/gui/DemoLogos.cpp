#include "gui/DemoLogos.h"

#include <QDir>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace korva {

namespace {

QFont boldFont(int pixelSize) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(pixelSize);
    f.setBold(true);
    return f;
}

QImage wordMark() {
    QImage image(360, 96, QImage::Format_RGB888);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // A receipt roll beside the name.
    p.setPen(QPen(Qt::black, 4));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(12, 18, 52, 52));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(30, 36, 16, 16));
    QPainterPath paper;
    paper.moveTo(38, 70);
    paper.lineTo(88, 70);
    paper.lineTo(88, 86);
    for (int x = 88; x > 38; x -= 8) {
        paper.lineTo(x - 4, 80);
        paper.lineTo(x - 8, 86);
    }
    paper.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(paper);
    p.setPen(Qt::black);
    p.setFont(boldFont(52));
    p.drawText(QRect(96, 8, 260, 64), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KORVA"));
    p.setFont(boldFont(15));
    p.drawText(QRect(100, 68, 256, 22), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("THERMAL RECEIPT PRINTERS"));
    return image;
}

QImage grayBadge() {
    QImage rgb(160, 160, QImage::Format_RGB888);
    rgb.fill(Qt::white);
    QPainter p(&rgb);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient shade(QPointF(60, 55), 95);
    shade.setColorAt(0, QColor(255, 255, 255));
    shade.setColorAt(1, QColor(150, 150, 150));
    p.setPen(QPen(Qt::black, 5));
    p.setBrush(shade);
    p.drawEllipse(QRectF(8, 8, 144, 144));
    p.setPen(Qt::black);
    p.setFont(boldFont(40));
    p.drawText(QRect(8, 40, 144, 50), Qt::AlignCenter, QStringLiteral("Tavel"));
    QLinearGradient bar(20, 0, 140, 0);
    bar.setColorAt(0, Qt::white);
    bar.setColorAt(1, Qt::black);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(bar);
    p.drawRect(QRectF(30, 100, 100, 16));
    p.end();
    return rgb.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_Indexed8);
}

QImage thankYou() {
    QImage rgb(320, 56, QImage::Format_RGB888);
    rgb.fill(Qt::white);
    QPainter p(&rgb);
    p.setPen(Qt::black);
    p.setFont(boldFont(34));
    p.drawText(rgb.rect(), Qt::AlignCenter, QStringLiteral("Thank you!"));
    p.end();
    return rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

} // namespace

QStringList writeDemoLogos(const QString& folder) {
    if (!QDir().mkpath(folder))
        return {};
    const std::pair<QString, QImage> samples[] = {{QStringLiteral("korva-logo.bmp"), wordMark()},
                                                  {QStringLiteral("tavel-badge.bmp"), grayBadge()},
                                                  {QStringLiteral("thank-you.bmp"), thankYou()}};
    QStringList paths;
    for (const auto& [name, image] : samples) {
        const QString path = QDir(folder).filePath(name);
        if (!image.save(path, "BMP"))
            return {};
        paths << path;
    }
    return paths;
}

} // namespace korva
