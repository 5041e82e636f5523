#pragma once
// The framed preview area of the logo tool's "Preview Bitmap" page: the selected bitmap file in
// its own colours, drawn from the top-left corner at the size the preview geometry gives for
// the frame and the chosen quality. Without a picture the area is blank.
#include "logo/PreviewGeometry.h"
#include "logo/PreviewPicture.h"

#include <QFrame>
#include <QImage>

namespace korva {

class LogoPreview : public QFrame {
    Q_OBJECT
public:
    explicit LogoPreview(QWidget* parent = nullptr);

    // An empty picture clears.
    void setPicture(const PreviewPicture& picture);
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
    QImage m_image; // the bitmap's pixels
    PreviewQuality m_quality = PreviewQuality::Normal;
};

} // namespace korva
