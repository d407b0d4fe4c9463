#include "display_copy.h"

#include "pictures_log.h"
#include "qt_raster.h"
#include "reduced_copy.h"

#include <QTransform>

#include <algorithm>

namespace tonalyx {

namespace {

QImage Rotated(const QImage& image, int degrees) {
    // Quarter turns are exact: Qt moves the pixels without resampling.
    return image.transformed(QTransform().rotate(degrees));
}

// The stored picture turned as the Exif orientation says (the standard's values: 2 mirrored,
// 3 upside down, 6 a quarter turn clockwise, 8 one anticlockwise, 5 and 7 transposed).
QImage Oriented(const QImage& image, int orientation) {
    switch (orientation) {
    case 2:
        return image.mirrored(true, false);
    case 3:
        return image.mirrored(true, true);
    case 4:
        return image.mirrored(false, true);
    case 5:
        return Rotated(image, 90).mirrored(true, false);
    case 6:
        return Rotated(image, 90);
    case 7:
        return Rotated(image, 90).mirrored(false, true);
    case 8:
        return Rotated(image, 270);
    default:
        return image;
    }
}

} // namespace

TDisplayForm::TDisplayForm(const TPictureMeta& meta, const QString& path)
    : FOrientation(meta.Orientation >= 1 && meta.Orientation <= 8 ? meta.Orientation : 1) {
    TOutcome<TColourSpace> space = TColourSpace::Of(meta);
    if (!space.Ok()) {
        qCWarning(PicturesLog).noquote()
            << "colour profile ignored, the values are shown as stored:" << path
            << QString::fromStdString(DescribeFailure(space.Error()));
        return;
    }
    FSpace = std::move(space).Value();
    FName = QString::fromStdString(FSpace.Name());
}

QSize TDisplayForm::ShownSize(QSize stored) const {
    return OrientationSwapsSides(FOrientation) ? stored.transposed() : stored;
}

QImage TDisplayForm::Apply(const QImage& image) const {
    if (image.isNull() || (FOrientation == 1 && !FSpace.Converts()))
        return image;
    QImage shown = image;
    if (FSpace.Converts()) {
        const QImage stored = image.format() == QImage::Format_BGR888
                                  ? image
                                  : image.convertToFormat(QImage::Format_BGR888);
        shown = QImage(stored.size(), QImage::Format_BGR888);
        if (shown.isNull()) { // out of memory: the stored values, rather than nothing
            shown = stored;
        } else {
            FSpace.ToSrgb(RasterOf(stored), shown.bits(), shown.bytesPerLine());
            // A reduced copy stays in the format the view scales fastest.
            if (image.format() != QImage::Format_BGR888)
                shown = shown.convertToFormat(image.format());
            // The colours are converted, the alpha is the picture's.
            if (image.hasAlphaChannel())
                shown.setAlphaChannel(image.convertToFormat(QImage::Format_Alpha8));
        }
    }
    return Oriented(shown, FOrientation);
}

QImage TDisplayForm::Upright(const QImage& image) const {
    return Oriented(image, FOrientation);
}

QPoint TDisplayForm::StoredPoint(QPoint shown, QSize stored) const {
    // The inverse of Oriented: where each turn or mirror took the stored pixel from.
    const int x = shown.x(), y = shown.y(), w = stored.width(), h = stored.height();
    switch (FOrientation) {
    case 2:
        return {w - 1 - x, y};
    case 3:
        return {w - 1 - x, h - 1 - y};
    case 4:
        return {x, h - 1 - y};
    case 5:
        return {y, x};
    case 6:
        return {y, h - 1 - x};
    case 7:
        return {w - 1 - y, h - 1 - x};
    case 8:
        return {w - 1 - y, x};
    default:
        return shown;
    }
}

std::optional<QPoint> StoredPixelAt(QPointF pos, const QRect& target, QSize stored,
                                    const TDisplayForm& form) {
    if (target.isEmpty() || stored.isEmpty())
        return std::nullopt;
    const double fx = (pos.x() - target.left()) / target.width(),
                 fy = (pos.y() - target.top()) / target.height();
    if (fx < 0 || fy < 0 || fx >= 1 || fy >= 1)
        return std::nullopt;
    const QSize shown = form.ShownSize(stored);
    const QPoint upright(std::min(static_cast<int>(fx * shown.width()), shown.width() - 1),
                         std::min(static_cast<int>(fy * shown.height()), shown.height() - 1));
    return form.StoredPoint(upright, stored);
}

QImage DisplayCopy(const QImage& image, int previewSide, const TDisplayForm& form) {
    const QImage reduced = TRowReducer::Reduce(RasterOf(image), previewSide);
    return form.Apply(reduced.isNull() ? image : reduced);
}

QImage DisplayCopy(const TPictureRef& picture, int previewSide, const TDisplayForm& form) {
    const TRasterView view = picture ? picture->View() : TRasterView{};
    if (!view.Alpha)
        return DisplayCopy(PictureImage(picture), previewSide, form);
    QImage copy = TRowReducer::Reduce(view, previewSide);
    if (copy.isNull()) { // no larger than the side: its pixels, with their alpha
        copy = QImage(view.Width, view.Height, QImage::Format_ARGB32);
        for (int y = 0; y < view.Height && !copy.isNull(); ++y) {
            const std::uint8_t* px = view.Row(y);
            const std::uint8_t* alpha = view.AlphaRow(y);
            auto* out = reinterpret_cast<std::uint32_t*>(copy.scanLine(y));
            for (int x = 0; x < view.Width; ++x, px += 3)
                out[x] = std::uint32_t{alpha[x]} << 24 | std::uint32_t{px[2]} << 16 |
                         std::uint32_t{px[1]} << 8 | px[0];
        }
    }
    return form.Apply(copy);
}

QSize DisplayCopySize(QSize image, int previewSide, const TDisplayForm& form) {
    return form.ShownSize(ReducedCopySize(image, previewSide));
}

} // namespace tonalyx
