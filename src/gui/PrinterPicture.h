#pragma once
// The picture of the KORVA30 family in the user setup screen's New Option group: a compact
// receipt printer with its paper cover, cutter slot and feed button, drawn with QPainter so it
// scales with the window.
#include <QWidget>

namespace korva {

class PrinterPicture : public QWidget {
    Q_OBJECT
public:
    explicit PrinterPicture(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {170, 130}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace korva
