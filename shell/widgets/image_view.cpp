#include "image_view.h"

#include "reduced_copy.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tonalyx {

QRect FitCentred(QSize picture, QSize area) {
    if (picture.isEmpty() || area.isEmpty())
        return {};
    const QSize fitted = picture.scaled(area, Qt::KeepAspectRatio);
    return {(area.width() - fitted.width()) / 2, (area.height() - fitted.height()) / 2,
            fitted.width(), fitted.height()};
}

TImageView::TImageView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("imMain"));
    setAttribute(Qt::WA_TransparentForMouseEvents); // drops and clicks go to the panel
}

void TImageView::SetImage(const QImage& image) {
    SetImage(image, ReducedCopy(image, PreviewSide()));
}

void TImageView::SetImage(const QImage& image, const QImage& preview) {
    FImage = image;
    FPreview = preview;
    FScaled = QPixmap();
    FOverlay = QImage();
    FOverlayScaled = QPixmap();
    FSelection = QRectF();
    update();
}

void TImageView::SetSelection(const QRectF& shares) {
    FSelection = shares;
    update();
}

QRectF TImageView::SelectionRect() const {
    const QRect target = PictureRect();
    if (FSelection.isEmpty() || target.isEmpty())
        return {};
    return {target.left() + FSelection.left() * target.width(),
            target.top() + FSelection.top() * target.height(), FSelection.width() * target.width(),
            FSelection.height() * target.height()};
}

void TImageView::SetOverlay(const QImage& overlay) {
    FOverlay = overlay;
    FOverlayScaled = QPixmap();
    update();
}

int TImageView::PreviewSide() const {
    // On a high-density screen the preview keeps as many device pixels as a normal one.
    return static_cast<int>(std::ceil(PreviewLongSide * std::max(1.0, devicePixelRatioF())));
}

QRect TImageView::PictureRect() const {
    // The shown copy may be turned a quarter; its reduction changes its proportions by
    // less than a pixel.
    return FitCentred(FPreview.size(), size());
}

void TImageView::resizeEvent(QResizeEvent*) {
    FScaled = QPixmap();
    FOverlayScaled = QPixmap();
}

void TImageView::paintEvent(QPaintEvent*) {
    if (FPreview.isNull())
        return;
    const QRect target = PictureRect();
    if (target.isEmpty())
        return;
    // Scaled to device pixels, so the photo is sharp at a device pixel ratio above 1.
    const qreal ratio = devicePixelRatioF();
    const QSize device(static_cast<int>(std::lround(target.width() * ratio)),
                       static_cast<int>(std::lround(target.height() * ratio)));
    if (FScaled.size() != device || FScaled.devicePixelRatio() != ratio) {
        FScaled = QPixmap::fromImage(
            FPreview.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        FScaled.setDevicePixelRatio(ratio);
    }
    QPainter p(this);
    p.drawPixmap(target.topLeft(), FScaled);
    if (!FOverlay.isNull()) {
        if (FOverlayScaled.size() != device || FOverlayScaled.devicePixelRatio() != ratio) {
            // Nearest pixel: a clipped pixel shows at full strength, never blended away.
            FOverlayScaled = QPixmap::fromImage(
                FOverlay.scaled(device, Qt::IgnoreAspectRatio, Qt::FastTransformation));
            FOverlayScaled.setDevicePixelRatio(ratio);
        }
        p.drawPixmap(target.topLeft(), FOverlayScaled);
    }
    PaintSelection(p, target);
}

void TImageView::PaintSelection(QPainter& p, const QRect& target) const {
    const QRectF r = SelectionRect();
    if (r.isEmpty())
        return;
    // What is not counted is dimmed, so the region reads at a glance on any picture.
    QPainterPath outside;
    outside.addRect(QRectF(target));
    outside.addRect(r);
    p.fillPath(outside, QColor(0, 0, 0, 96));
    // Black under white dashes: visible on light and dark pixels alike.
    const QRectF line = r.adjusted(0.5, 0.5, -0.5, -0.5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(line);
    p.setPen(QPen(Qt::white, 1, Qt::DashLine));
    p.drawRect(line);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    const double xs[] = {r.left(), r.center().x(), r.right()};
    const double ys[] = {r.top(), r.center().y(), r.bottom()};
    for (double x : xs)
        for (double y : ys)
            if (x != xs[1] || y != ys[1])
                p.drawRect(QRectF(std::round(x) - HandleRadius + 0.5,
                                  std::round(y) - HandleRadius + 0.5, 2 * HandleRadius - 1,
                                  2 * HandleRadius - 1));
}

} // namespace tonalyx
