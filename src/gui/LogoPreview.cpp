#include "gui/LogoPreview.h"

#include <QPainter>

namespace korva {

LogoPreview::LogoPreview(QWidget* parent) : QFrame(parent) {
    setObjectName("preview");
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setMinimumSize(200, 140);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
}

void LogoPreview::setPicture(const PreviewPicture& picture) {
    if (picture.empty()) {
        clearPicture();
        return;
    }
    QImage image(picture.width, picture.height, QImage::Format_RGB32);
    for (int y = 0; y < picture.height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < picture.width; ++x)
            line[x] = 0xFF000000u | picture.at(x, y);
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
    // Pixels are stretched without smoothing, so each stays a crisp block.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(target, m_image);
}

} // namespace korva
