#pragma once
// The framed preview area of the logo tool's "Preview Bitmap" page: the selected bitmap as the
// printer would print it (the converted dots, black and white or the six gray levels), drawn
// from the top-left corner at the size the preview geometry gives for the frame and the
// chosen quality. Without a picture the area is blank.
#include "logo/DotPicture.h"
#include "logo/PreviewGeometry.h"

#include <QFrame>
#include <QImage>

namespace korva {

class LogoPreview : public QFrame {
    Q_OBJECT
public:
    explicit LogoPreview(QWidget* parent = nullptr);

    // dots: the converted image (W8 x H8); bitmapWidth x bitmapHeight: the bitmap's own size,
    // the part of the dots that is picture rather than padding. An empty picture clears.
    void setPicture(const DotPicture& dots, int bitmapWidth, int bitmapHeight);
    void clearPicture();
    void setQuality(PreviewQuality quality);

    bool hasPicture() const { return !m_image.isNull(); }
    PreviewQuality quality() const { return m_quality; }
    // Where the picture is drawn, in widget coordinates (empty without a picture).
    QRect drawnRect() const;

    QSize sizeHint() const override { return {300, 220}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image; // the picture part of the dots, one gray pixel per dot
    PreviewQuality m_quality = PreviewQuality::Normal;
};

} // namespace korva
