#include "display_copy.h"

#include "pictures_log.h"
#include "qt_raster.h"
#include "reduced_copy.h"

#include <QTransform>

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
        }
    }
    return Oriented(shown, FOrientation);
}

QImage DisplayCopy(const QImage& image, int previewSide, const TDisplayForm& form) {
    const QImage reduced = TRowReducer::Reduce(RasterOf(image), previewSide);
    return form.Apply(reduced.isNull() ? image : reduced);
}

QSize DisplayCopySize(QSize image, int previewSide, const TDisplayForm& form) {
    return form.ShownSize(ReducedCopySize(image, previewSide));
}

} // namespace tonalyx
