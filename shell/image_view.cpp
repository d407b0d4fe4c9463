#include "shell/image_view.h"

#include <QPainter>

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
    FImage = image;
    const int longSide = std::max(image.width(), image.height());
    FPreview = longSide > PreviewLongSide
                   ? image.scaled(
                         image.size().scaled(PreviewLongSide, PreviewLongSide, Qt::KeepAspectRatio),
                         Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                   : image;
    FScaled = QPixmap();
    update();
}

QRect TImageView::PictureRect() const {
    return FitCentred(FImage.size(), size());
}

void TImageView::resizeEvent(QResizeEvent*) {
    FScaled = QPixmap();
}

void TImageView::paintEvent(QPaintEvent*) {
    if (FPreview.isNull())
        return;
    const QRect target = PictureRect();
    if (target.isEmpty())
        return;
    if (FScaled.size() != target.size())
        FScaled = QPixmap::fromImage(
            FPreview.scaled(target.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    QPainter(this).drawPixmap(target.topLeft(), FScaled);
}

} // namespace tonalyx
