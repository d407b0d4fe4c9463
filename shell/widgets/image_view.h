// imMain: the current image, centred, proportional and fitted to the panel.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

class QPainter;

namespace tonalyx {

class TImageView final : public QWidget {
    Q_OBJECT
  public:
    explicit TImageView(QWidget* parent);

    void SetImage(const QImage& image);
    // The same with the copy shown already made (by ReducedCopy or DisplayCopy, for
    // PreviewSide()): reduced, and maybe turned upright and converted to sRGB.
    void SetImage(const QImage& image, const QImage& preview);
    // The long side of the reduced copy of large pictures on this view's screen.
    int PreviewSide() const;
    const QImage& Image() const { return FImage; }
    // Painted over the picture, stretched to it pixel for pixel without smoothing (the
    // clipped pixels); null for none. A new picture drops it.
    void SetOverlay(const QImage& overlay);
    const QImage& Overlay() const { return FOverlay; }
    // Where the picture lands in the widget for its current size, in the shown copy's
    // proportions.
    QRect PictureRect() const;
    // A rectangle drawn on the picture (the region counted), as shares of the shown picture's
    // width and height (0..1); empty for none. Outlined with handles at its corners and the
    // middles of its sides, the picture around it dimmed. A new picture drops it.
    void SetSelection(const QRectF& shares);
    const QRectF& Selection() const { return FSelection; }
    // The selection where it lands in the widget for its current size; empty for none.
    QRectF SelectionRect() const;
    // The half side of a handle, in the widget's pixels.
    static constexpr int HandleRadius = 4;

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    void PaintSelection(QPainter& p, const QRect& target) const;

    // Large pictures are reduced once, smoothly, to about the screen's size; every
    // resize then scales that preview, so a 24-megapixel image resizes as fast as a small one.
    static constexpr int PreviewLongSide = 2560;

    QImage FImage;   // the full picture, as counted
    QImage FPreview; // the picture as shown: reduced, upright, in sRGB
    QPixmap FScaled; // the preview at the size last painted
    QImage FOverlay;
    QPixmap FOverlayScaled; // the overlay at the size last painted
    QRectF FSelection;
};

// The largest rectangle of picture's proportions that fits area, centred in it.
QRect FitCentred(QSize picture, QSize area);

} // namespace tonalyx
