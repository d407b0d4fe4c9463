// imMain: the current image, centred, proportional and fitted to the panel.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

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

  protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

  private:
    // Large pictures are reduced once, smoothly, to about the screen's size; every
    // resize then scales that preview, so a 24-megapixel image resizes as fast as a small one.
    static constexpr int PreviewLongSide = 2560;

    QImage FImage;   // the full picture, as counted
    QImage FPreview; // the picture as shown: reduced, upright, in sRGB
    QPixmap FScaled; // the preview at the size last painted
    QImage FOverlay;
    QPixmap FOverlayScaled; // the overlay at the size last painted
};

// The largest rectangle of picture's proportions that fits area, centred in it.
QRect FitCentred(QSize picture, QSize area);

} // namespace tonalyx
