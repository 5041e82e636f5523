#include "gui/LogoPreview.h"

#include <QPainter>
#include <algorithm>

namespace korva {

LogoPreview::LogoPreview(QWidget* parent) : QFrame(parent) {
    setObjectName("preview");
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumSize(200, 140);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void LogoPreview::setPicture(const DotPicture& dots, int bitmapWidth, int bitmapHeight) {
    const int w = std::min(bitmapWidth, dots.width());
    const int h = std::min(bitmapHeight, dots.height());
    if (w <= 0 || h <= 0) {
        clearPicture();
        return;
    }
    QImage image(w, h, QImage::Format_Grayscale8);
    for (int y = 0; y < h; ++y) {
        uchar* line = image.scanLine(y);
        for (int x = 0; x < w; ++x)
            line[x] = dots.at(x, y);
    }
    m_image = std::move(image);
    update();
}

void LogoPreview::clearPicture() {
    m_image = QImage();
    update();
}

void LogoPreview::setQuality(PreviewQuality quality) {
    m_quality = quality;
    update();
}

QRect LogoPreview::drawnRect() const {
    if (m_image.isNull())
        return {};
    const QRect area = contentsRect();
    const PreviewSize base =
        previewBaseSize(area.width(), area.height(), m_image.width(), m_image.height());
    const PreviewSize size = previewDrawSize(base, m_quality);
    return QRect(area.topLeft(), QSize(size.width, size.height));
}

void LogoPreview::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    const QRect target = drawnRect();
    if (target.isEmpty())
        return;
    QPainter p(this);
    p.setClipRect(contentsRect());
    // Dots are stretched without smoothing, so each stays a crisp block as on paper.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, m_image);
}

} // namespace korva
