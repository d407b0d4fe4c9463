// One histogram's image control as the engine's target: a picture of the panel's own, with
// its background and the part of it each drawing changed. Used on one thread, its owner's.
#pragma once

#include "render.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>

#include <functional>

namespace tonalyx {

// Whether a 32-bit picture of this size can be painted: the raster painter addresses a
// picture's bytes with int offsets, so one of more than 2 GiB is refused before it is
// allocated, however much memory there is.
bool PaintableSize(QSize size);

// The image control of one histogram (imRGB_RGB … imLAB_B). Its picture is one pixel
// narrower and one pixel lower than the control and is shown at the control's top-left;
// the rest of the control shows the background colour. The picture keeps its size until
// ResizePicture, so between two relayouts it may not match the control.
class THistImage final : public THistTarget {
  public:
    explicit THistImage(const QColor& background);

    void SetControlSize(QSize size);
    QSize ControlSize() const { return FControl; }
    // The picture at (control width − 1) × (control height − 1), filled with the
    // background; left as it is when it has that size already. A picture that cannot be
    // painted (PaintableSize) or allocated is left null, and Made says so.
    void ResizePicture();
    const QImage& Picture() const { return FPicture; }
    // Whether the picture has the memory its last ResizePicture asked for.
    bool Made() const { return !FMissing; }
    QColor Background() const { return FBackground; }
    // Told of every change of the picture, with the part that changed in picture pixels.
    void SetChanged(std::function<void(const QRect&)> changed) { FChanged = std::move(changed); }

    int ControlWidth() const override { return FControl.width(); }
    int ControlHeight() const override { return FControl.height(); }
    void Clear() override;
    void SetPen(TRgb colour) override { FPen = qRgb(colour.r, colour.g, colour.b); }
    void VerticalLine(int x, int yFrom, int yTo) override;

  private:
    void Changed(const QRect& part) const;

    QColor FBackground;
    QRgb FPen;
    QSize FControl;
    QImage FPicture;
    bool FMissing = false;
    std::function<void(const QRect&)> FChanged;
};

} // namespace tonalyx
